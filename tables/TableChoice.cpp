#include "tables/TableChoice.h"

#include "settings/SettingsRules.h"
#include "tables/TableRules.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace {

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

std::wstring AsciiUpper(std::wstring_view text)
{
    std::wstring upper(text);
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return upper;
}

// The languages a reader's language subtag stands for among the tables'.
std::vector<std::wstring> ReadersLanguages(const LanguageTag& reader)
{
    std::vector<std::wstring> languages = {reader.language};
    if (reader.language == L"zh")
        languages.push_back(reader.region == L"HK" || reader.region == L"MO" ? L"yue" : L"cmn");
    else if (reader.language == L"no")
        languages.insert(languages.end(), {L"nb", L"nn"});
    else if (reader.language == L"nb" || reader.language == L"nn")
        languages.push_back(L"no");
    return languages;
}

// Lower ranks come first: the reader's region, then any or none.
int RegionRank(const TableHeader& header, const LanguageTag& reader)
{
    const std::wstring region = ParseLanguageTag(header.region).region;
    return !region.empty() && region == reader.region ? 0 : 1;
}

// Of tables alike in all else, one for no region serves a reader of another
// region before one for a third.
bool ForAnotherRegion(const TableHeader& header, const LanguageTag& reader)
{
    const std::wstring region = ParseLanguageTag(header.region).region;
    return !region.empty() && region != reader.region;
}

int KindRank(const TableHeader& header, TableKind kind)
{
    if (kind == LiteraryKind) {
        const std::wstring_view order[] = {L"full", L"partial", L"no"};
        return static_cast<int>(std::find(std::begin(order), std::end(order), header.contraction) - std::begin(order));
    }
    if (kind == ComputerKind) {
        // A computer table that does not say is taken for the usual 8 dots.
        const std::wstring_view order[] = {L"8", L"", L"6"};
        return static_cast<int>(std::find(std::begin(order), std::end(order), header.dots) - std::begin(order));
    }
    return 0;
}

struct Rank {
    int region = 0;
    int kind = 0;
    bool variant = false;
    bool anotherRegion = false;
    size_t length = 0;
    std::wstring_view name;
};

Rank RankOf(const TableFile& file, TableKind kind, const LanguageTag& reader)
{
    return {RegionRank(file.header, reader),
            KindRank(file.header, kind),
            !file.header.variant.empty(),
            ForAnotherRegion(file.header, reader),
            file.name.size(),
            file.name};
}

bool Better(const Rank& a, const Rank& b)
{
    const auto key = [](const Rank& r) { return std::tie(r.region, r.kind, r.variant, r.anotherRegion, r.length); };
    if (key(a) != key(b))
        return key(a) < key(b);
    return UnitOrderLess(a.name, b.name);
}

void Choose(std::wstring& chosen, TableKind kind, const LanguageTag& reader, const std::vector<TableFile>& files)
{
    std::optional<Rank> best;
    for (const TableFile& file : files) {
        if (!HeaderTypeIs(file.header, kind))
            continue;
        const auto isReaders = [&](const std::wstring& language) { return IsReadersLanguage(language, reader); };
        if (std::none_of(file.header.languages.begin(), file.header.languages.end(), isReaders))
            continue;
        const Rank rank = RankOf(file, kind, reader);
        if (!best || Better(rank, *best)) {
            best = rank;
            chosen = file.name;
        }
    }
}

} // namespace

LanguageTag ParseLanguageTag(std::wstring_view tag)
{
    LanguageTag parsed;
    bool first = true;
    while (!tag.empty()) {
        const size_t end = std::min(tag.find_first_of(L"-_"), tag.size());
        const std::wstring_view subtag = tag.substr(0, end);
        tag.remove_prefix(std::min(end + 1, tag.size()));
        if (first) {
            parsed.language = LowerTableName(std::wstring(subtag));
            first = false;
            continue;
        }
        const bool letters = std::all_of(subtag.begin(), subtag.end(), IsAsciiLetter);
        const bool digits = std::all_of(subtag.begin(), subtag.end(), IsAsciiDigit);
        if ((subtag.size() == 2 && letters) || (subtag.size() == 3 && digits)) {
            parsed.region = AsciiUpper(subtag);
            break;
        }
        if (!letters || subtag.size() > 4)
            break; // a variant or an extension: no region follows
    }
    return parsed;
}

bool IsReadersLanguage(std::wstring_view tableLanguage, const LanguageTag& reader)
{
    if (reader.language.empty())
        return false;
    const std::wstring language = ParseLanguageTag(tableLanguage).language;
    const std::vector<std::wstring> languages = ReadersLanguages(reader);
    return std::find(languages.begin(), languages.end(), language) != languages.end();
}

bool DefaultsServe(std::wstring_view readerTag)
{
    const LanguageTag reader = ParseLanguageTag(readerTag);
    return reader.language == L"en" && reader.region == L"US";
}

ChosenTables DefaultTables()
{
    return {kDefaultLiteraryTable, kDefaultComputerTable, kDefaultMathTable};
}

ChosenTables ChooseTables(std::wstring_view readerTag, const std::vector<TableFile>& files)
{
    ChosenTables chosen = DefaultTables();
    if (DefaultsServe(readerTag))
        return chosen;
    const LanguageTag reader = ParseLanguageTag(readerTag);
    Choose(chosen.literary, LiteraryKind, reader, files);
    Choose(chosen.computer, ComputerKind, reader, files);
    Choose(chosen.math, MathKind, reader, files);
    return chosen;
}
