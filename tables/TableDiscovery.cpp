#include "tables/TableDiscovery.h"

#include "app/ProgramFolder.h"
#include "settings/SettingsStore.h"

std::wstring ResolveTablesFolder(const std::wstring& settingsPath)
{
    const std::wstring programFolder = GetProgramFolder();
    if (programFolder.empty())
        return std::wstring();
    const std::wstring defaultFolder = DefaultTablesFolder(programFolder);
    const std::wstring value = ReadSettingText(settingsPath, L"Liblouis", L"TablesPath", defaultFolder.c_str());
    return ResolveTablesFolderFrom(programFolder, value);
}

std::vector<std::wstring> ListTableFiles(const std::wstring& folder, const std::vector<std::wstring>& keywords)
{
    std::vector<std::wstring> names;
    const std::wstring pattern = folder + L"*";
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (IsTableOfCategory(entry.cFileName, isDirectory, keywords))
            names.emplace_back(entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    SortTableNames(names);
    return names;
}

bool BuildTableCatalog(const std::wstring& settingsPath, TableCatalog& catalog)
{
    const std::wstring folder = ResolveTablesFolder(settingsPath);
    if (folder.empty())
        return false;
    catalog.literary = ListTableFiles(folder, LiteraryKeywords);
    catalog.computer = ListTableFiles(folder, ComputerKeywords);
    catalog.math = ListTableFiles(folder, MathKeywords);
    return true;
}

static void FillCombo(HWND combo, const std::vector<std::wstring>& names)
{
    if (combo == nullptr)
        return;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& name : names)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!names.empty())
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

void FillTableCombos(const std::wstring& settingsPath, HWND literaryCombo, HWND computerCombo, HWND mathCombo)
{
    TableCatalog catalog;
    if (!BuildTableCatalog(settingsPath, catalog))
        return;
    FillCombo(literaryCombo, catalog.literary);
    FillCombo(computerCombo, catalog.computer);
    FillCombo(mathCombo, catalog.math);
}
