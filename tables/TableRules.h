// Table names: which files of the tables folder are braille tables, which
// list each belongs to, and their order. Pure string rules, no file system.
#pragma once

#include "tables/TableHeaders.h"

#include <string>
#include <string_view>
#include <vector>

extern const wchar_t* const TableExtensions[6];
extern const std::vector<std::wstring> LiteraryKeywords;
extern const std::vector<std::wstring> ComputerKeywords;
extern const std::vector<std::wstring> MathKeywords;

// The program folder followed by "\tables\".
std::wstring DefaultTablesFolder(const std::wstring& programFolder);

// The tables folder for a TablesPath value as read (the default folder is
// the read's default). Drive-letter and UNC values stay as they are, others
// are relative to the program folder; one separator is appended when the
// result lacks one. Empty when the program folder is unknown.
std::wstring ResolveTablesFolderFrom(const std::wstring& programFolder, const std::wstring& tablesPath);

// A-Z to a-z, every other unit unchanged, as the default C locale lowers.
std::wstring LowerTableName(const std::wstring& name);

// The lower-cased name ends with one of the table endings.
bool IsTableFileName(const std::wstring& loweredName);

// Some keyword occurs anywhere in the lower-cased name.
bool ContainsKeyword(const std::wstring& loweredName, const std::vector<std::wstring>& keywords);

// Whether a listing entry goes into the list of that kind: a table file
// whose name holds a keyword of the kind, or whose header gives its type.
bool IsListedAs(const std::wstring& name, bool isDirectory, const TableHeader& header, TableKind kind);

// Unit by unit as unsigned 16-bit units; a proper prefix first.
bool UnitOrderLess(std::wstring_view a, std::wstring_view b);
