#include "tables/TableNames.h"

#include "tables/TableRules.h"
#include "windowkit/TextRules.h"

#include <algorithm>

namespace {

// The language a macrolanguage member belongs to, whose tag the platform knows.
std::wstring AsPlatformKnowsIt(const std::wstring& tag)
{
    const LanguageTag parsed = ParseLanguageTag(tag);
    if (parsed.language != L"cmn" && parsed.language != L"yue")
        return std::wstring();
    return L"zh" + tag.substr(parsed.language.size());
}

std::wstring LanguageName(const TableHeader& header, const LanguageNameFn& nameOf)
{
    for (const std::wstring& tag : LanguageNameTags(header))
        if (std::wstring name = nameOf(tag); !name.empty())
            return name;
    // The English index name begins with the language, up to its first comma.
    if (const std::wstring named = header.indexName.substr(0, header.indexName.find(L',')); !named.empty())
        return named;
    return header.languages.empty() ? std::wstring() : header.languages.front();
}

std::wstring KindOf(const TableHeader& header, const TableWords& words)
{
    if (header.type == L"literary") {
        if (header.contraction == L"full")
            return words.contracted;
        if (header.contraction == L"partial")
            return words.partiallyContracted;
        if (header.contraction == L"no")
            return words.uncontracted;
        return std::wstring();
    }
    if (header.type == L"computer")
        return words.computer;
    return header.type == L"math" ? words.math : std::wstring();
}

std::wstring Describe(const TableHeader& header, const TableWords& words, const LanguageNameFn& nameOf)
{
    if (!header.Describes())
        return std::wstring();
    std::wstring description = LanguageName(header, nameOf);
    const std::wstring dots = header.dots == L"6" ? words.sixDots : header.dots == L"8" ? words.eightDots : L"";
    for (const std::wstring& part : {KindOf(header, words), dots})
        if (!part.empty())
            description += words.separator + part;
    return description;
}

// "for-source-code" reads as "for source code".
std::wstring Spoken(std::wstring value)
{
    std::replace(value.begin(), value.end(), L'-', L' ');
    std::replace(value.begin(), value.end(), L'_', L' ');
    return value;
}

} // namespace

std::vector<std::wstring> LanguageNameTags(const TableHeader& header)
{
    std::vector<std::wstring> tags;
    const auto add = [&](const std::wstring& tag) {
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
            tags.push_back(tag);
    };
    // A region that names no country ("en" for a Greek table as used by
    // English readers) does not name the table's language.
    if (!ParseLanguageTag(header.region).region.empty()) {
        add(header.region);
        add(AsPlatformKnowsIt(header.region));
    }
    for (const std::wstring& language : header.languages) {
        add(language);
        add(AsPlatformKnowsIt(language));
    }
    return tags;
}

std::vector<std::wstring> ShownTableNames(const std::vector<TableFile>& files, const TableWords& words,
                                          const LanguageNameFn& nameOf)
{
    std::vector<std::wstring> descriptions;
    for (const TableFile& file : files)
        descriptions.push_back(Describe(file.header, words, nameOf));
    // A detail is added only where it tells apart entries that read the same.
    for (std::wstring TableHeader::*detail : {&TableHeader::variant, &TableHeader::system, &TableHeader::version}) {
        const std::vector<std::wstring> before = descriptions;
        for (size_t i = 0; i < files.size(); ++i) {
            const std::wstring& told = files[i].header.*detail;
            bool differs = false;
            for (size_t j = 0; j < files.size(); ++j)
                differs = differs || (j != i && before[j] == before[i] && files[j].header.*detail != told);
            if (!told.empty() && !before[i].empty() && differs)
                descriptions[i] += words.separator + Spoken(told);
        }
    }
    std::vector<std::wstring> shown;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::wstring values[] = {descriptions[i], files[i].name};
        shown.push_back(descriptions[i].empty() ? files[i].name : FillPlaceholders(words.entry, values));
    }
    return shown;
}

void SortShownTables(std::vector<ShownTable>& tables, TextLessFn less)
{
    // Positions are sorted rather than the entries: less to move, and less code.
    std::vector<size_t> order(tables.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (less != nullptr && less(tables[a].shown, tables[b].shown))
            return true;
        if (less != nullptr && less(tables[b].shown, tables[a].shown))
            return false;
        return UnitOrderLess(tables[a].name, tables[b].name);
    });
    std::vector<ShownTable> sorted;
    sorted.reserve(tables.size());
    for (size_t i : order)
        sorted.push_back(std::move(tables[i]));
    tables = std::move(sorted);
}
