// What a braille table says about itself: the header lines at the top of a
// Liblouis table ("#+language:de", "#+type: literary", "#-index-name:
// German, contracted"). Pure text rules, no file system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TableHeader {
    std::vector<std::wstring> languages; // a table may serve several, in file order
    std::wstring region;                 // a language tag such as en-GB
    std::wstring type;                   // literary, computer or math, in lower case
    std::wstring contraction;            // no, partial or full, in lower case
    std::wstring dots;                   // 6 or 8
    std::wstring variant;
    std::wstring system;
    std::wstring version;
    std::wstring indexName; // the table's English name, as Liblouis indexes it

    // The header says what the table is.
    bool Describes() const { return !languages.empty() || !indexName.empty(); }
};

// The three lists of the tables dialog, and the tables chosen for a reader.
enum TableKind {
    LiteraryKind,
    ComputerKind,
    MathKind,
};

// The header gives that type.
bool HeaderTypeIs(const TableHeader& header, TableKind kind);

// How much of a table's beginning is read for its header. The Liblouis
// tables put theirs in the first three kilobytes, as UTF-8 or as UTF-16
// after a byte-order mark.
inline constexpr size_t kTableHeaderBytes = 4096;

// The header lines before the first rule: "#+key:value" and "#-key:value",
// blanks around the value dropped, keys in any case. Of a key given twice
// the first counts, but every language is kept.
TableHeader ParseTableHeader(std::wstring_view text);
