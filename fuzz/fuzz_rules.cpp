// The rules that walk raw units or index strings, under AddressSanitizer and
// UndefinedBehaviorSanitizer. One input serves three readings: as a marking
// section (16-bit units as GetPrivateProfileSectionW returns them); as a
// 16-bit GetEnvironmentVariableW answer followed by zero-separated paths; and
// as the first bytes of a braille table, whose header chooses and names it.
#include "marking/MarkingText.h"
#include "settings/PathRules.h"
#include "settings/SettingsRules.h"
#include "tables/TableNames.h"
#include "tables/TableRules.h"
#include "windowkit/TextRules.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <sstream>

// Checks hold whatever the build type, and stop the run so libFuzzer keeps the input.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : __builtin_trap())

// The platform's case folding is not at hand natively; the rules' walk over
// the units, which is what is fuzzed, is the same with any fold. Classified,
// as in the program, in the default locale.
bool SameKeyNatively(std::wstring_view a, std::wstring_view b)
{
    return std::ranges::equal(a, b, [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<wchar_t> units; // an exact-size copy, so that reading past the units given is caught
    for (size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    std::vector<wchar_t> used(units.begin(), units.begin() + std::min<size_t>(units.size(), 8)); // keys taken before
    for (const MarkingEntry& entry :
         ParseMarkingSection(units.empty() ? nullptr : units.data(), units.size(), SameKeyNatively)) {
        FUZZ_CHECK(!entry.key.empty() && (entry.key + entry.value).find(L'\0') == std::wstring::npos);
        AccessKeyOf(AddAccessKey(SplitCamelCase(entry.key), used, SameKeyNatively));
    }
    std::vector<std::wstring> paths;
    std::wistringstream fields(units.size() > 1 ? std::wstring(units.begin() + 1, units.end()) : std::wstring());
    for (std::wstring path; std::getline(fields, path, L'\0');)
        paths.push_back(path);
    paths.resize(std::max<size_t>(paths.size(), 2));
    for (const std::wstring& path : paths) {
        FUZZ_CHECK(PathRootLength(path) <= ParentFolderOf(path).size() && path.starts_with(ParentFolderOf(path)));
        const std::vector<std::wstring> chain = FolderChainOf(path); // down to the path itself
        FUZZ_CHECK(chain.empty() ? path.empty() : chain.back() == path);
    }
    ResolveTablesFolderFrom(paths[0], paths[1]);
    SettingsFilePathFrom(units.empty() ? 0 : units[0], paths[0], paths[1]);

    const TableFile table = {L"t.ctb", ParseTableHeader(DecodeMarkedText({reinterpret_cast<const char*>(data), size}))};
    for (const std::wstring& language : table.header.languages) {
        FUZZ_CHECK(!language.empty() && language.front() != L' ' && language.back() != L' ');
        const ChosenTables chosen = ChooseTables(language, {table});
        FUZZ_CHECK(chosen.literary == table.name || chosen.literary == DefaultTables().literary);
    }
    const TableWords words = {L"%1 (%2)", L", ", L"c", L"p", L"u", L"b", L"m", L"6", L"8"};
    const auto nameOf = [](const std::wstring& tag) { return ParseLanguageTag(tag).region; };
    FUZZ_CHECK(ShownTableNames({table, table}, words, nameOf).size() == 2);
    return 0;
}
