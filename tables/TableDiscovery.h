// Finds the braille table files of the tables folder and loads them into
// the tables dialog's combo boxes. Runs afresh at every opening.
#pragma once

#include "tables/TableRules.h"

#include <windows.h>
#include <string>
#include <vector>

// The tables folder from the settings file's TablesPath, or the program
// folder's "tables" folder; empty when the program folder is unknown.
std::wstring ResolveTablesFolder(const std::wstring& settingsPath);

// One pass over the folder: the table files of that keyword set, sorted,
// without repeats. Empty when the folder cannot be searched.
std::vector<std::wstring> ListTableFiles(const std::wstring& folder, const std::vector<std::wstring>& keywords);

// False when there is no tables folder to look in.
bool BuildTableCatalog(const std::wstring& settingsPath, TableCatalog& catalog);

// Each list into its combo box, first item selected; null handles skipped.
// With no tables folder the combo boxes are left as they are.
void FillTableCombos(const std::wstring& settingsPath, HWND literaryCombo, HWND computerCombo, HWND mathCombo);
