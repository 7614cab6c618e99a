// The "BrailleMarking" section as text: its lines, and the check-box labels
// and access keys made from attribute identifiers. Pure string rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Whether two keys, or two access keys, are the same but for letter case,
// as the platform folds it in every script. The program passes
// SameKeyIgnoringCase (windowkit/DialogKeys.h).
using SameKeyFn = bool (*)(std::wstring_view, std::wstring_view);

// One key=value line of a "BrailleMarking" section, split at its first "=".
struct MarkingEntry {
    std::wstring key;
    std::wstring value;
};

// The lines of a section as GetPrivateProfileSectionW returns them: each
// ended by a zero unit, the whole ended by an empty line (or by the end of
// the units given). Lines without "=", or starting with "=", are dropped;
// nothing is trimmed. Of keys that are the same by sameKey only the first
// line is kept: the platform reads and writes that line alone, as if the
// later ones were not there.
std::vector<MarkingEntry> ParseMarkingSection(const wchar_t* units, size_t count, SameKeyFn sameKey);

// The language files that may hold the list, in the order they are tried:
// the user's language's, then the US English one that ships with the
// program. None without a program folder.
std::vector<std::wstring> LanguageFilePathsFrom(const std::wstring& programFolder, const std::wstring& languageCode);

// "BoldText" -> "Bold Text", "HTMLLink" -> "HTML Link", "Heading1Text" -> "Heading1 Text".
std::wstring SplitCamelCase(const std::wstring& identifier);

// The string table entry that names a text attribute the program knows
// (the shipped list's, MarkBold to MarkLinks, spelled as the component
// spells them) in the user's language; 0 for any other identifier.
unsigned AttributeNameId(std::wstring_view identifier);

// The check boxes' labels, in order: the program's name where it has one
// (named[i] not empty), else the identifier split at its capitals. A name
// that brings its own access key keeps it; every other label then takes one
// by AddAccessKey, in order, from the letters the others left.
std::vector<std::wstring> AttributeLabels(const std::vector<std::wstring>& identifiers,
                                          const std::vector<std::wstring>& named, SameKeyFn sameKey);

// Puts "&" before the first letter of the label's second word that is not
// the same by sameKey as a letter in used, and adds that letter to used.
// One-word labels and second words without a free letter stay unchanged.
std::wstring AddAccessKey(const std::wstring& label, std::vector<wchar_t>& used, SameKeyFn sameKey);
