// The window-system-free rules, row by row: what the end-to-end tests cannot
// reach cheaply (roots, separators, units beyond ASCII, buffer edges).
#include "marking/MarkingText.h"
#include "process/CommandLine.h"
#include "resources/resource.h"
#include "settings/PathRules.h"
#include "settings/SettingsRules.h"
#include "tables/TableNames.h"
#include "tables/TableRules.h"
#include "windowkit/DialogKeys.h"
#include "windowkit/LayoutRules.h"
#include "windowkit/TextRules.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

namespace {
using namespace std::literals;
using Text = const wchar_t*;
using Names = std::vector<std::wstring>;

TEST(SettingsRules, BooleanTextsMultilineLanguageCodeAndSettingsPath)
{
    const std::optional<bool> none;                        // the fallback
    const std::wstring_view on = L"onward"sv.substr(0, 2); // a view reads its own units only
    // clang-format off
    const std::pair<std::wstring_view, std::optional<bool>> texts[] = {{L"1", true}, {L"true", true}, {L"TRUE", true},
        {L"yes", true}, {L"YES", true}, {L"on", true}, {L"ON", true}, {L"0", false}, {L"false", false},
        {L"FALSE", false}, {L"no", false}, {L"NO", false}, {L"off", false}, {L"OFF", false}, {L"", none},
        {L"True", none}, {L"False", none}, {L" 1", none}, {L"01", none}, {L"1\0"sv, none}, {on, true}};
    // ForceSixDotBraille and BrailleLinePadding as stored, and the item they stand for.
    const std::tuple<Text, Text, MultilineBrailleMode> multiline[] = {{L"TRUE", L"0", MultilineMaxLines},
        {L"on", L"x", MultilineMaxLines}, {L"1", L"2", MultilineAuto}, {L"1", L"3", MultilineAuto},
        {L"0", L"1", MultilineAuto}, {L"0", L"2", MultilineAuto}, {L"false", L"3abc", MultilineDoubleLineSpacing}};
    // A file's first bytes and how it is stored: only FF FE is UTF-16 to the platform's profile functions.
    const std::pair<std::string_view, SettingsEncoding> encodings[] = {{"", SettingsEmpty},
        {"\xFF\xFE[", SettingsUnicode}, {"\xFE\xFF\0[", SettingsUtf16BigEndian}, {"\xEF\xBB\xBF[", SettingsUtf8},
        {"[S]\r\n", SettingsAnsi}, {"\xFF", SettingsAnsi}};
    // Marked bytes as text: a broken, cut or overlong sequence reads as U+FFFD.
    const std::pair<std::string_view, std::wstring_view> marked[] = {{"\xEF\xBB\xBF" "a\xC3\xA9", L"a\u00e9"},
        {"\xFF\xFE[\0\x2D\x4E"sv, L"[\u4E2D"}, {"\xFE\xFF\0[\x4E\x2D\0"sv, L"[\u4E2D"},
        {"\xF0\x9F\x98\x80\xE2\x82", L"\xD83D\xDE00\xFFFD"}, {"\xC0\xAF\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"}};
    const std::wstring longest = L"C:\\" + std::wstring(256, L'x');
    const std::wstring tail = L"\\Cellvane\\deu\\Cellvane.ini";
    // GetEnvironmentVariableW's answer: the units read, or the size needed with the terminator.
    const std::tuple<unsigned long, std::wstring, std::wstring> paths[] = {{7, L"C:\\Data", L"C:\\Data" + tail},
        {8, L"C:\\Data\\", L"C:\\Data\\" + tail}, {259, longest, longest + tail}, {261, longest + L"x", L""},
        {0, L"", L""}};
    // clang-format on
    for (const auto& [text, value] : texts)
        for (bool f : {false, true})
            EXPECT_EQ(ParseBoolText(text, f), value.value_or(f)) << std::wstring(text) << f;
    for (const auto& [sixDot, padding, mode] : multiline)
        EXPECT_EQ(MultilineModeFrom(sixDot, padding), mode) << sixDot << " " << padding;
    for (const auto& [bytes, encoding] : encodings)
        EXPECT_EQ(SettingsEncodingOf(bytes), encoding) << bytes;
    for (const auto& [bytes, text] : marked)
        EXPECT_EQ(DecodeMarkedText(bytes), text) << bytes;
    EXPECT_EQ(UnicodeFileBytes(L"[\u4E2D]"), "\xFF\xFE[\0\x2D\x4E]\0"s);
    EXPECT_EQ(BoolText(true) + std::wstring(BoolText(false)), L"10");
    EXPECT_EQ(LanguageCodeFrom(4, L"DEU") + LanguageCodeFrom(0, L"DEU") + LanguageCodeFrom(0, nullptr), L"DEUenuenu");
    for (const auto& [result, value, path] : paths)
        EXPECT_EQ(SettingsFilePathFrom(result, value, L"deu"), path) << result;
}

TEST(PathRules, RootsParentsAndFolderChains)
{
    // clang-format off
    const std::tuple<Text, size_t, Text> rows[] = { // path, root length, parent
        {L"", 0, L""}, {L"f", 0, L""}, {L"a\\\\f", 0, L"a"}, {L"C:f", 2, L"C:"}, {L"C:\\", 3, L"C:\\"},
        {L"C:\\\\f", 3, L"C:\\"}, {L"C:\\a/\\/f", 3, L"C:\\a"}, {L"/a/f", 1, L"/a"},
        {L"\\\\s\\h\\f", 6, L"\\\\s\\h\\"}, {L"//s/h", 5, L"//s/h"}, {L"\\\\srv", 5, L"\\\\srv"}};
    const std::pair<Text, Names> chains[] = {{L"C:/a//b", {L"C:/a", L"C:/a//b"}},
        {L"\\\\s\\h\\a\\b", {L"\\\\s\\h\\a", L"\\\\s\\h\\a\\b"}}, {L"a\\b", {L"a", L"a\\b"}},
        {L"C:\\", {L"C:\\"}}, {L"", {}}};
    // clang-format on
    for (const auto& [path, root, parent] : rows)
        EXPECT_EQ(std::pair(PathRootLength(path), ParentFolderOf(path)), std::pair(root, std::wstring(parent))) << path;
    for (const auto& [folder, chain] : chains)
        EXPECT_EQ(FolderChainOf(folder), chain) << folder;
}

// A table with header lines made from "key:value" words.
TableFile Described(Text name, Text words)
{
    std::wstring header;
    std::wistringstream in(words);
    for (std::wstring word; in >> word;)
        header += L"#+" + word + L"\n";
    return {name, ParseTableHeader(header)};
}

TEST(TableRules, FoldersListsAndOrder)
{
    // clang-format off
    const std::tuple<Text, Text, Text> folders[] = {{L"Z:\\p", L"", L"Z:\\p\\tables\\"}, {L"", L"C:\\x", L""},
        {L"Z:\\p", L"t", L"Z:\\p\\t\\"}, {L"Z:\\p", L"C:", L"C:\\"}, {L"Z:\\p", L"C:/x/", L"C:/x/"},
        {L"Z:\\p", L"\\\\s\\h", L"\\\\s\\h\\"}, {L"Z:\\p", L"//s/h", L"Z:\\p\\//s/h\\"}};
    // Name, a folder, its header, the lists: literary, computer, math.
    const std::tuple<Text, bool, Text, Text> entries[] = {
        {L"EN-US-G2.CTB", false, L"", L"l"}, {L"x.g1.uti", false, L"", L"l"}, {L"split.dis", false, L"", L"l"},
        {L"comp8.ctb", false, L"", L"c"}, {L"ueb-g1.ctb", false, L"", L"lm"}, {L"Nemeth.TBL", false, L"", L"m"},
        {L"de-g0.uti", false, L"", L""}, {L"g1.ctb.bak", false, L"", L""}, {L"g1_ctb", false, L"", L""},
        {L"g1.ctb", true, L"", L""}, {L"L\u0130T.ctb", false, L"", L""}, {L"cs.tbl", false, L"type:literary", L"l"},
        {L"x.txt", false, L"type:computer", L""}, {L"fr-bfu-comp6.utb", false, L"type:literary", L"lc"}};
    // clang-format on
    for (const auto& [program, value, folder] : folders)
        EXPECT_EQ(ResolveTablesFolderFrom(program, value), folder) << value;
    for (const auto& [name, directory, header, lists] : entries)
        for (TableKind kind : {LiteraryKind, ComputerKind, MathKind})
            EXPECT_EQ(IsListedAs(name, directory, Described(name, header).header, kind),
                      std::wstring(lists).find(L"lcm"[kind]) != std::wstring::npos)
                << name << kind;
    // Unsigned units: a surrogate pair sorts by its first unit, before private-use and full-width letters.
    std::vector<ShownTable> tables;
    for (Text name : {L"b", L"a_b", L"aB", L"a", L"B", L"_x", L"\uFF21", L"\uE000", L"\xD83D\xDE00", L"\u00e9", L"z"})
        tables.push_back({name, name});
    SortShownTables(tables, nullptr);
    Names names;
    for (const ShownTable& table : tables)
        names.push_back(table.name);
    EXPECT_EQ(names,
              (Names{L"B", L"_x", L"a", L"aB", L"a_b", L"b", L"z", L"\u00e9", L"\xD83D\xDE00", L"\uE000", L"\uFF21"}));
}

TEST(TableRules, HeadersTheReadersTablesAndWhatTheyAreShownAs)
{
    // As the tables write their headers: any spacing and case, up to the first rule.
    const TableHeader header = ParseTableHeader(DecodeMarkedText("\xEF\xBB\xBF# German\r\n#-index-name: German\r\n"
                                                                 "#+language:de\n#+Type : x\n#+TYPE: Literary \n"
                                                                 "#+language: de-CH\n#---\n\ninclude x\n#+dots:6\n"));
    EXPECT_EQ(header.languages, (Names{L"de", L"de-CH"}));
    EXPECT_EQ(header.type + L"|" + header.dots + L"|" + header.indexName, L"literary||German");
    // clang-format off
    const std::vector<TableFile> folder = {Described(L"de-g1.ctb", L"language:de type:literary contraction:partial"),
        Described(L"de-g2-detailed.ctb", L"language:de type:literary contraction:full variant:detailed"),
        Described(L"de-g2.ctb", L"language:de type:literary contraction:full"),
        Described(L"de-comp6.utb", L"language:de type:computer dots:6"),
        Described(L"de-de-comp6.ctb", L"language:de region:de-DE type:computer dots:6"),
        Described(L"de-ch-comp8.utb", L"language:de region:de-CH type:computer dots:8"),
        Described(L"sv-g0.utb", L"language:sv type:literary contraction:no"),
        Described(L"sv-g1.ctb", L"language:sv type:literary contraction:partial"),
        Described(L"sv-comp6.ctb", L"language:sv type:computer dots:6"),
        Described(L"sv-comp.ctb", L"language:sv type:computer"),
        Described(L"zhcn-g1.ctb", L"language:cmn region:cmn-CN type:literary"),
        Described(L"zh-tw.ctb", L"language:cmn region:cmn-TW type:literary"),
        Described(L"zh_HK.tbl", L"language:yue region:yue-HK type:literary"),
        Described(L"en_GB.tbl", L"language:en region:en-GB type:literary contraction:full"),
        Described(L"en-ueb-g2.ctb", L"language:en type:literary contraction:full"),
        Described(L"fr-bfu-g2.ctb", L"language:fr type:literary contraction:full"),
        Described(L"fr-g2.ctb", L"language:fr type:literary contraction:full"),
        Described(L"fr-math.ctb", L"language:fr type:math")};
    // The reader's language; the literary, computer and math tables chosen ("" keeps the default).
    const std::tuple<Text, Text, Text, Text> readers[] = {
        {L"de-DE", L"de-g2.ctb", L"de-de-comp6.ctb", L""}, {L"de-CH", L"de-g2.ctb", L"de-ch-comp8.utb", L""},
        {L"de", L"de-g2.ctb", L"de-ch-comp8.utb", L""}, {L"sv-FI", L"sv-g1.ctb", L"sv-comp.ctb", L""},
        {L"zh-CN", L"zhcn-g1.ctb", L"", L""}, {L"zh-TW", L"zh-tw.ctb", L"", L""}, {L"zh-HK", L"zh_HK.tbl", L"", L""},
        {L"en-GB", L"en_GB.tbl", L"", L""}, {L"en-AU", L"en-ueb-g2.ctb", L"", L""}, {L"en-US", L"", L"", L""},
        {L"fr-CA", L"fr-g2.ctb", L"", L"fr-math.ctb"}, {L"cs-CZ", L"", L"", L""}, {L"", L"", L"", L""}};
    // clang-format on
    const ChosenTables defaults = DefaultTables();
    for (const auto& [reader, literary, computer, math] : readers) {
        const ChosenTables chosen = ChooseTables(reader, folder);
        EXPECT_EQ(chosen.literary, *literary ? literary : defaults.literary) << reader;
        EXPECT_EQ(chosen.computer, *computer ? computer : defaults.computer) << reader;
        EXPECT_EQ(chosen.math, *math ? math : defaults.math) << reader;
    }
    // The platform names what it knows; a table that says nothing shows its file name.
    const TableWords words = {L"%1 (%2)", L", ", L"contracted", L"partial", L"none", L"computer", L"math", L"6", L"8"};
    const auto nameOf = [](const std::wstring& tag) {
        const std::map<std::wstring, std::wstring> known = {{L"de", L"Deutsch"}, {L"zh-CN", L"Chinese (China)"}};
        return known.contains(tag) ? known.at(tag) : L"";
    };
    // clang-format off
    std::vector<TableFile> shown = {folder[1], folder[2], folder[3], folder[10], Described(L"awa.tbl", L"language:awa"),
        Described(L"sv-g1.ctb", L"language:sv type:literary"), {L"plain.ctb", {}},
        Described(L"da-1993.ctb", L"language:da system:ddp version:1993"),
        Described(L"da.ctb", L"language:da system:ddp version:2022 region:en")};
    // clang-format on
    shown[4].header.indexName = L"Awadhi, uncontracted"; // in English: the name's first part only
    EXPECT_EQ(ShownTableNames(shown, words, nameOf),
              (Names{L"Deutsch, contracted, detailed (de-g2-detailed.ctb)", L"Deutsch, contracted (de-g2.ctb)",
                     L"Deutsch, computer, 6 (de-comp6.utb)", L"Chinese (China) (zhcn-g1.ctb)", L"Awadhi (awa.tbl)",
                     L"sv (sv-g1.ctb)", L"plain.ctb", L"da, 1993 (da-1993.ctb)", L"da, 2022 (da.ctb)"}));
}

TEST(MarkingText, SectionLabelsAndAccessKeys)
{
    using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;
    // A count short of the terminator ends the section as the terminator does; of
    // keys the same but for case, in any script, the first.
    const std::pair<std::wstring_view, Pairs> sections[] = {
        {L"Bold=1\0=x\0NoValue\0 Italic = 0 \0Underline=1=2\0Bold=0\0Empty=\0bOLD=1\0\u0416x=1\0\u0436X=0\0\0"sv,
         {{L"Bold", L"1"}, {L" Italic ", L" 0 "}, {L"Underline", L"1=2"}, {L"Empty", L""}, {L"\u0416x", L"1"}}},
        {L"a=1\0\0b=2\0\0"sv, {{L"a", L"1"}}},
        {L"a=1\0b=2"sv, {{L"a", L"1"}, {L"b", L"2"}}},
        {L"a=1\0b=2\0\0"sv.substr(0, 5), {{L"a", L"1"}}},
        {L"\0a=1\0\0"sv, {}}};
    for (const auto& [units, expected] : sections) {
        Pairs pairs;
        for (const auto& e : ParseMarkingSection(units.data(), units.size(), SameKeyIgnoringCase))
            pairs.emplace_back(e.key, e.value);
        EXPECT_EQ(pairs, expected) << std::wstring(units.substr(0, 8));
    }
    EXPECT_TRUE(ParseMarkingSection(nullptr, 10, SameKeyIgnoringCase).empty());
    // clang-format off
    const std::pair<Text, Text> splits[] = {{L"ABC", L"ABC"}, {L"MarkAsHTML", L"Mark As HTML"}, {L"AToZ", L"A To Z"},
        {L"Heading1Text", L"Heading1 Text"}, {L"", L""}};
    // In one run: each row sees the letters the rows before it took.
    const std::pair<Text, Text> keyed[] = {{L"Mark Bold", L"Mark &Bold"}, {L"Mark Bright", L"Mark B&right"},
        {L"Mark Italic", L"Mark &Italic"}, {L"Heading 1-2", L"Heading 1-2"}, {L" Strong Text", L" &Strong Text"},
        {L"Mark bRIB", L"Mark bRIB"}, {L"Mark  9Under", L"Mark  9&Under"}, {L"Mark \u0416ar", L"Mark &\u0416ar"},
        {L"Mark \u0436\u0443", L"Mark \u0436&\u0443"}};
    const std::pair<Text, std::optional<wchar_t>> keys[] = {{L"&&a &Bold", L'B'}, {L"a&&&b", L'b'}, {L"&1 x", L'1'},
        {L"Bold&", std::nullopt}, {L"&&", std::nullopt}, {L"", std::nullopt}};
    // clang-format on
    for (const auto& [identifier, label] : splits)
        EXPECT_EQ(SplitCamelCase(identifier), label) << identifier;
    std::vector<wchar_t> used;
    for (const auto& [label, withKey] : keyed)
        EXPECT_EQ(AddAccessKey(label, used, SameKeyIgnoringCase), withKey) << label;
    EXPECT_EQ(used, (std::vector<wchar_t>{L'B', L'r', L'I', L'S', L'U', L'\u0416', L'\u0443'}));
    for (const auto& [text, key] : keys)
        EXPECT_EQ(AccessKeyOf(text), key) << text;
    // The program's own names keep their keys, taken first; the others, and names without a key, are keyed in
    // order from the letters left.
    EXPECT_EQ(AttributeLabels({L"MarkFast", L"MarkBold", L"LinkText"}, {L"", L"&Fett markieren", L"Mark Links"},
                              SameKeyIgnoringCase),
              (Names{L"Mark F&ast", L"&Fett markieren", L"Mark &Links"}));
}

TEST(LayoutRules, ScalesRowsGrowthPlaceholdersLanguageFilesAndTheCommandLine)
{
    // dpi, LOGFONT height, a length at 96 dpi and scaled: the default text up to 9 points leaves the layout as it is.
    const std::tuple<int, int, int, int> scales[] = {{96, -11, 285, 285},  {96, -12, 520, 520},  {0, 0, 7, 7},
                                                     {144, -18, 285, 428}, {192, 24, 520, 1040}, {96, -16, 110, 160},
                                                     {192, -42, 30, 120},  {96, -12, -24, -24}};
    for (const auto& [dpi, font, length, scaled] : scales) {
        EXPECT_EQ(Scaled(length, LayoutScaleFor(dpi, font)), scaled) << dpi << " " << font;
        EXPECT_EQ(Unscaled(scaled, LayoutScaleFor(dpi, font)), length) << dpi << " " << font;
    }
    EXPECT_EQ(RowsThatFit(40, 700, 82, 24), 25u);
    EXPECT_EQ(RowsThatFit(40, 50, 82, 24), 1u);
    EXPECT_EQ(RowsThatFit(3, 700, 82, 24), 3u);
    EXPECT_EQ(FirstRowShowing(5, 2, 10), 2u);
    EXPECT_EQ(FirstRowShowing(5, 14, 10), 5u);
    EXPECT_EQ(FirstRowShowing(5, 15, 10), 6u);
    // clang-format off
    // Owner start and length, the window's length, the area's start and length.
    const std::tuple<int, int, int, int, int, int> centred[] = {{100, 520, 400, 0, 1024, 160},
        {900, 520, 400, 0, 1024, 624}, {-50, 100, 400, 0, 1024, 0}, {0, 100, 900, 1024, 800, 1024}};
    // Deltas in turn, with lines a notch and a page of 7: the rows each scrolls.
    const std::tuple<std::vector<int>, unsigned, std::vector<int>> wheels[] = {{{120, -240}, 3, {3, -6}},
        {{40, 40, 40, 40}, 3, {0, 0, 3, 0}}, {{60, -60, -60}, 1, {0, 0, -1}}, {{-120}, ~0u, {-7}}};
    // clang-format on
    for (const auto& [ownerStart, ownerLength, length, areaStart, areaLength, start] : centred)
        EXPECT_EQ(CentredStart(ownerStart, ownerLength, length, areaStart, areaLength), start) << ownerStart;
    for (const auto& [deltas, lines, rows] : wheels) {
        int pending = 0;
        std::vector<int> scrolled;
        for (int delta : deltas)
            scrolled.push_back(WheelRows(pending, delta, lines, 7));
        EXPECT_EQ(scrolled, rows) << deltas.size();
    }
    // Two labels of other widths in a column, each before a combo box of the next column (their heights count
    // their lists), and a button in a row of its own: the widths the texts need, how much wider the window may
    // grow (a combo box gives up what is too much), then each control's x and width, and how much wider it grows.
    const ControlPlace layout[] = {{1, 12, 16, 100, 20},
                                   {2, 116, 12, 250, 180},
                                   {3, 12, 46, 90, 20},
                                   {4, 116, 42, 250, 180},
                                   {5, 200, 80, 80, 26}};
    const std::tuple<std::vector<int>, int, std::vector<int>, int> grown[] = {
        {{0, 200, -1}, 999, {12, 100, 116, 250, 12, 90, 116, 250, 200, 80}, 0},
        {{0, 0, 130}, 999, {12, 100, 156, 250, 12, 130, 156, 250, 200, 80}, 40},
        {{0, 300, 0, 280}, 999, {12, 100, 116, 300, 12, 90, 116, 300, 200, 80}, 50},
        {{0, 400, 0, 0, 90}, 30, {12, 100, 116, 280, 12, 90, 116, 280, 200, 90}, 30}};
    for (const auto& [needed, most, places, extraWidth] : grown) {
        const GrownLayout result = GrowToFitWithin(layout, needed, {false, true, false, true, false}, most);
        std::vector<int> shown;
        for (const ControlPlace& place : result.places)
            shown.insert(shown.end(), {place.x, place.width});
        EXPECT_EQ(shown, places) << needed.size();
        EXPECT_EQ(result.extraWidth, extraWidth) << needed.size();
    }
    const std::wstring values[] = {L"Lumibrel", L"1.01"};
    const std::pair<Text, Text> patterns[] = {{L"%1 version %2", L"Lumibrel version 1.01"},
                                              {L"%2 \u7248 %1", L"1.01 \u7248 Lumibrel"},
                                              {L"100%% %3 %", L"100% %3 %"}};
    for (const auto& [pattern, filled] : patterns)
        EXPECT_EQ(FillPlaceholders(pattern, values), filled) << pattern;
    const std::pair<Text, bool> commandLines[] = {{L"", false},           {L"/signin", true},
                                                  {L"\"/SignIn\"", true}, {L"-x  /SIGNIN\t", true},
                                                  {L"/signin2", false},   {L"signin", false}};
    for (const auto& [arguments, signIn] : commandLines)
        EXPECT_EQ(IsSignInStart(arguments), signIn) << arguments;
    EXPECT_EQ(LanguageFilePathsFrom(L"C:\\P", L"DEU"),
              (Names{L"C:\\P\\DEU\\Cellvane.ini", L"C:\\P\\enu\\Cellvane.ini"}));
    EXPECT_EQ(LanguageFilePathsFrom(L"C:\\P", L"ENU"), Names{L"C:\\P\\ENU\\Cellvane.ini"});
    EXPECT_TRUE(LanguageFilePathsFrom(L"", L"DEU").empty());
}

// One string of one language in the built program, as the resource loader
// finds it: absent when the language's table lacks it.
std::optional<std::wstring> StringOf(HMODULE program, UINT id, LANGID language)
{
    HRSRC block = FindResourceExW(program, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    const wchar_t* unit = block ? static_cast<const wchar_t*>(LockResource(LoadResource(program, block))) : nullptr;
    if (unit == nullptr)
        return std::nullopt;
    for (UINT i = 0; i < id % 16; ++i)
        unit += 1 + *unit;
    if (*unit == 0)
        return std::nullopt;
    return std::wstring(unit + 1, *unit);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::set<LANGID>*>(found)->insert(language);
    return TRUE;
}

// The line breaks and placeholders of a text, in order.
std::wstring Placeholders(std::wstring_view text)
{
    std::wstring kept;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n')
            kept += L'\n';
        else if (text[i] == L'%' && i + 1 < text.size())
            kept += text.substr(i++, 2);
    }
    return kept;
}

TEST(Translations, EveryLanguageHasEveryTextAndEachWindowItsOwnTypableAccessKeys)
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = FolderOfPath(self) + L"\\Lumibrel.exe";
    HMODULE built = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(built, nullptr) << "no built program beside the tests";
    const std::shared_ptr<void> release(built, [](void* m) { FreeLibrary(static_cast<HMODULE>(m)); });
    const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    // Each language with the letters its usual keyboard types beyond a to z, unaltered; for Japanese and
    // Chinese, none: their keys are Latin letters in parentheses after the label.
    const std::map<LANGID, std::optional<std::wstring>> languages = {
        {english, L""},
        {MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL), L"\u00e4\u00f6\u00fc"},
        {MAKELANGID(LANG_FRENCH, SUBLANG_NEUTRAL), L""},
        {MAKELANGID(LANG_SPANISH, SUBLANG_NEUTRAL), L"\u00f1"},
        {MAKELANGID(LANG_ITALIAN, SUBLANG_NEUTRAL), L""},
        {MAKELANGID(LANG_DUTCH, SUBLANG_NEUTRAL), L""},
        {MAKELANGID(LANG_PORTUGUESE, SUBLANG_NEUTRAL), L""},
        {MAKELANGID(LANG_POLISH, SUBLANG_NEUTRAL), L""},
        {MAKELANGID(LANG_SWEDISH, SUBLANG_NEUTRAL), L"\u00e5\u00e4\u00f6"},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL), std::nullopt},
        {MAKELANGID(LANG_CHINESE, SUBLANG_NEUTRAL), std::nullopt},
        // the Arabic keyboard's own keys (not the lam-alef one, nor those under Shift)
        {MAKELANGID(LANG_ARABIC, SUBLANG_NEUTRAL),
         L"\u0636\u0635\u062b\u0642\u0641\u063a\u0639\u0647\u062e\u062d\u062c\u062f\u0634\u0633\u064a\u0628"
         L"\u0644\u0627\u062a\u0646\u0645\u0643\u0637\u0630\u0626\u0621\u0624\u0631\u0649\u0629\u0648\u0632"
         L"\u0638"}};
    std::set<LANGID> found;
    EnumResourceLanguagesW(built, RT_STRING, MAKEINTRESOURCEW(IDS_APP_TITLE / 16 + 1), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&found));
    std::set<LANGID> expected;
    for (const auto& language : languages)
        expected.insert(language.first);
    EXPECT_EQ(found, expected);
    // The texts each window shows together.
    const std::vector<std::vector<UINT>> windows = {
        {IDS_DISPLAY_LITERARY, IDS_CONTRACTED_INPUT, IDS_SET_TABLES, IDS_MARKING, IDS_MULTILINE_LABEL, IDS_HYBRID_MODE,
         IDS_SHOW_VISUALIZER, IDS_APPLY, IDS_OK, IDS_CANCEL, IDS_ABOUT, IDS_EXIT},
        {IDS_LITERARY_TABLE, IDS_COMPUTER_TABLE, IDS_MATH_TABLE, IDS_OK, IDS_CANCEL},
        {IDS_MARKING_PROMPT, IDS_OK, IDS_CANCEL, IDS_ATTR_MARK_BOLD, IDS_ATTR_MARK_ITALIC, IDS_ATTR_MARK_UNDERLINE,
         IDS_ATTR_MARK_STRIKETHROUGH, IDS_ATTR_MARK_SUPERSCRIPT, IDS_ATTR_MARK_SUBSCRIPT, IDS_ATTR_MARK_HIGHLIGHT,
         IDS_ATTR_MARK_SPELLING_ERRORS, IDS_ATTR_MARK_LINKS}};
    for (const auto& [language, letters] : languages) {
        SCOPED_TRACE(testing::Message() << "language " << std::hex << language);
        for (UINT id = IDS_APP_TITLE; id <= IDS_WARN_NAME_NOT_KEPT; ++id) {
            const std::optional<std::wstring> original = StringOf(built, id, english);
            const std::optional<std::wstring> text = StringOf(built, id, language);
            ASSERT_TRUE(original.has_value()) << id;
            ASSERT_TRUE(text.has_value()) << "missing " << id;
            EXPECT_EQ(Placeholders(*text), Placeholders(*original)) << id << " lost a line break or a placeholder";
            // An attribute's English name takes its key by the marking rule; a translation brings its own.
            const bool attribute = id >= IDS_ATTR_MARK_BOLD && id <= IDS_ATTR_MARK_LINKS;
            EXPECT_EQ(AccessKeyOf(*text).has_value(),
                      AccessKeyOf(*original).has_value() || (attribute && language != english))
                << id;
        }
        for (const std::vector<UINT>& ids : windows) {
            std::vector<wchar_t> taken;
            for (UINT id : ids) {
                const std::wstring text = StringOf(built, id, language).value_or(L"");
                const std::optional<wchar_t> key = AccessKeyOf(text);
                if (!key)
                    continue;
                const std::wstring_view typed(&*key, 1);
                for (const wchar_t& other : taken)
                    EXPECT_FALSE(SameKeyIgnoringCase({&other, 1}, typed)) << id << " takes a key taken in its window";
                taken.push_back(*key);
                bool typable = (*key | 0x20) >= L'a' && (*key | 0x20) <= L'z';
                for (const wchar_t& letter : letters.value_or(L""))
                    typable = typable || SameKeyIgnoringCase({&letter, 1}, typed);
                if (letters)
                    EXPECT_TRUE(typable) << id << ": " << std::wstring(typed) << " is not on the keyboard";
                else
                    EXPECT_NE(text.find(L"(&" + std::wstring(typed) + L")"), std::wstring::npos)
                        << id << ": no Latin letter in parentheses";
            }
        }
    }
}

} // namespace
