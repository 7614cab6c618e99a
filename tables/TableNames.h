// How the tables dialog names a table: what it is, in the reader's language,
// then its file name ("German, contracted (de-g2.ctb)"); a table whose
// header says nothing by its file name alone. Pure rules: the platform's
// names of languages and its collation are handed in.
#pragma once

#include "tables/TableChoice.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The program's words for the kinds of table, from its string tables.
struct TableWords {
    std::wstring entry;     // "%1 (%2)": the description, then the file name
    std::wstring separator; // between the parts of a description
    std::wstring contracted;
    std::wstring partiallyContracted;
    std::wstring uncontracted;
    std::wstring computer;
    std::wstring math;
    std::wstring sixDots;
    std::wstring eightDots;
};

// The platform's name for a language tag, in the reader's language; empty
// when it knows none.
using LanguageNameFn = std::function<std::wstring(const std::wstring& tag)>;

// The tags to ask the platform for a table's language, best first: its
// region, where it names a country, then each language it serves; for a
// macrolanguage member the platform may not know ("cmn-CN"), also the tag of
// the language it belongs to.
std::vector<std::wstring> LanguageNameTags(const TableHeader& header);

// What each file is shown as, in the order given. Where descriptions would
// read the same, the variant is added, then the system, then the version,
// each where it tells them apart.
std::vector<std::wstring> ShownTableNames(const std::vector<TableFile>& files, const TableWords& words,
                                          const LanguageNameFn& nameOf);

// One entry of a list: what is shown, and the file name that is stored.
struct ShownTable {
    std::wstring shown;
    std::wstring name;
};

// Sorted by what is shown, by `less`, the user's collation; the same text,
// or every text where `less` is null, by file name in unit order.
using TextLessFn = bool (*)(std::wstring_view, std::wstring_view);
void SortShownTables(std::vector<ShownTable>& tables, TextLessFn less);
