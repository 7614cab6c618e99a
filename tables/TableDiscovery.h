// Finds the braille tables of the tables folder, reads what their headers
// say, and loads them, named, into the tables dialog's combo boxes. Also the
// choice of tables by the reader's language.
#pragma once

#include "tables/TableChoice.h"
#include "tables/TableNames.h"

#include <windows.h>
#include <string>
#include <vector>

// The tables folder from the settings file's TablesPath, or the program
// folder's "tables" folder; empty when the program folder is unknown.
std::wstring ResolveTablesFolder(const std::wstring& settingsPath);

// The three lists of the tables dialog, each as shown and sorted.
struct TableCatalog {
    std::vector<ShownTable> lists[3]; // by TableKind
};

// The lists of the folder. A folder unchanged since the last call gives the
// same lists without reading anything but its listing.
TableCatalog BuildTableCatalog(const std::wstring& folder);

// What a list entry shows for the file: its name in the catalog, or the
// file name alone when the catalog does not know it.
std::wstring ShownNameOf(const TableCatalog& catalog, const std::wstring& name);

// The tables of the folder for a reader of that BCP 47 tag; the defaults
// where nothing matches. Reads the folder's listing and every header not
// read before (a header is kept while its file keeps its size and time):
// call it off the window's thread, and only for a folder that is known.
ChosenTables ChooseTablesFromFolder(const std::wstring& folder, const std::wstring& readerTag);
