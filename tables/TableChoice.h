// Which tables of a folder are the reader's: by the language of the user
// interface, as the tables describe themselves. Pure rules, no file system.
#pragma once

#include "tables/TableHeaders.h"

#include <string>
#include <string_view>
#include <vector>

// What the choice compares of a BCP 47 tag ("de-CH", "zh-Hans-CN",
// "cmn-Hans"): the language subtag in lower case and the region subtag in
// upper case, empty when the tag has none.
struct LanguageTag {
    std::wstring language;
    std::wstring region;
};
LanguageTag ParseLanguageTag(std::wstring_view tag);

// Whether a table in that language (a header's language tag) is one for a
// reader of `reader`: the same language subtag, with the macrolanguages a
// reader's language stands for (Chinese is Mandarin, or Cantonese in Hong
// Kong and Macao; Norwegian is Bokmål and Nynorsk).
bool IsReadersLanguage(std::wstring_view tableLanguage, const LanguageTag& reader);

// Whether the defaults serve the reader as they are: they are US English
// tables, so for US English nothing is chosen and no table is read.
bool DefaultsServe(std::wstring_view readerTag);

struct TableFile {
    std::wstring name;
    TableHeader header;
};

struct ChosenTables {
    std::wstring literary;
    std::wstring computer;
    std::wstring math;
};

// The defaults of the settings file's table keys.
ChosenTables DefaultTables();

// The reader's literary, computer and math tables among the files, each kind
// that none matches left at its default. Tables of the reader's region come
// first; then a literary table with full contraction before partial before
// none, a computer one with 8 dots before 6 (one that does not say between);
// one without a variant before one with; one for no region before one for
// another; then the shorter file name, then the first in unit order.
ChosenTables ChooseTables(std::wstring_view readerTag, const std::vector<TableFile>& files);
