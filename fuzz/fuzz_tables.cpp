// Table-name rules. Input: a 16-bit header (bit 0: listed as a folder), then
// zero-separated fields: a keyword, then table names.
#include "FuzzInput.h"

#include "tables/TableRules.h"

#include <algorithm>
#include <string_view>

// Written apart from the rule on purpose, so that both must agree.
static bool ExpectedInCategory(const std::wstring& name, bool isDirectory, const std::vector<std::wstring>& keywords)
{
    std::wstring lowered;
    for (wchar_t c : name)
        lowered += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c | 0x20) : c;
    const std::wstring_view view(lowered);
    const bool tableEnding = std::any_of(std::begin(TableExtensions), std::end(TableExtensions),
                                         [&](const wchar_t* e) { return view.ends_with(e); });
    const bool keyword =
        std::any_of(keywords.begin(), keywords.end(), [&](const std::wstring& k) { return view.find(k) != view.npos; });
    return !isDirectory && tableEnding && keyword;
}

static bool UnitLess(const std::wstring& a, const std::wstring& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<uint16_t>(a[i]) < static_cast<uint16_t>(b[i]);
    return a.size() < b.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool isDirectory = (data[0] & 1) != 0;
    std::vector<std::wstring> names = FieldsOf(UnitsOf(data + 2, size - 2));
    const std::vector<std::wstring> ownKeywords{names[0]};

    for (const std::wstring& name : names) {
        const std::wstring lowered = LowerTableName(name);
        FUZZ_CHECK(lowered.size() == name.size() && LowerTableName(lowered) == lowered);
        FUZZ_CHECK(std::none_of(lowered.begin(), lowered.end(), [](wchar_t c) { return c >= L'A' && c <= L'Z'; }));
        for (const auto* keywords : {&LiteraryKeywords, &ComputerKeywords, &MathKeywords, &ownKeywords})
            FUZZ_CHECK(IsTableOfCategory(name, isDirectory, *keywords) ==
                       ExpectedInCategory(name, isDirectory, *keywords));
    }

    std::vector<std::wstring> sorted = names;
    SortTableNames(sorted);
    for (size_t i = 0; i + 1 < sorted.size(); ++i)
        FUZZ_CHECK(UnitLess(sorted[i], sorted[i + 1]));
    for (const std::wstring& name : names)
        FUZZ_CHECK(std::find(sorted.begin(), sorted.end(), name) != sorted.end());
    for (const std::wstring& name : sorted)
        FUZZ_CHECK(std::find(names.begin(), names.end(), name) != names.end());
    std::vector<std::wstring> again = sorted;
    SortTableNames(again);
    FUZZ_CHECK(again == sorted);
    return 0;
}
