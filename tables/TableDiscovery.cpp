#include "tables/TableDiscovery.h"

#include "process/ProgramFolder.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "tables/TableRules.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/TextRules.h"

#include <map>
#include <mutex>

namespace {

struct ListedFile {
    std::wstring name;
    bool isDirectory = false;
    ULONGLONG size = 0;
    ULONGLONG written = 0;

    bool operator==(const ListedFile&) const = default;
};

std::vector<ListedFile> ListFolder(const std::wstring& folder)
{
    std::vector<ListedFile> listed;
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return listed;
    do {
        const auto join = [](DWORD high, DWORD low) { return (static_cast<ULONGLONG>(high) << 32) | low; };
        listed.push_back({entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                          join(entry.nFileSizeHigh, entry.nFileSizeLow),
                          join(entry.ftLastWriteTime.dwHighDateTime, entry.ftLastWriteTime.dwLowDateTime)});
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return listed;
}

TableHeader ReadHeader(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return TableHeader();
    std::string bytes(kTableHeaderBytes, '\0');
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        got = 0;
    CloseHandle(file);
    bytes.resize(got);
    return ParseTableHeader(DecodeMarkedText(bytes));
}

// Headers by path, each with the size and time of the file it was read
// from. Shared by the dialog and the choice made at start-up.
struct HeaderCache {
    std::mutex lock;
    std::map<std::wstring, std::pair<ListedFile, TableHeader>> headers;
};

HeaderCache& Headers()
{
    static HeaderCache& cache = *new HeaderCache; // a choice thread may outlive the statics
    return cache;
}

TableHeader CachedHeader(const std::wstring& folder, const ListedFile& listed)
{
    const std::wstring path = folder + listed.name;
    HeaderCache& cache = Headers();
    {
        std::lock_guard<std::mutex> guard(cache.lock);
        const auto found = cache.headers.find(path);
        if (found != cache.headers.end() && found->second.first == listed)
            return found->second.second;
    }
    TableHeader header = ReadHeader(path);
    std::lock_guard<std::mutex> guard(cache.lock);
    cache.headers[path] = {listed, header};
    return header;
}

std::vector<TableFile> TableFilesOf(const std::wstring& folder, const std::vector<ListedFile>& listed)
{
    std::vector<TableFile> files;
    for (const ListedFile& entry : listed)
        if (!entry.isDirectory && IsTableFileName(LowerTableName(entry.name)))
            files.push_back({entry.name, CachedHeader(folder, entry)});
    return files;
}

TableWords LoadTableWords()
{
    return {LoadResourceString(IDS_TABLE_ENTRY),        LoadResourceString(IDS_TABLE_SEPARATOR),
            LoadResourceString(IDS_TABLE_CONTRACTED),   LoadResourceString(IDS_TABLE_PARTIALLY_CONTRACTED),
            LoadResourceString(IDS_TABLE_UNCONTRACTED), LoadResourceString(IDS_TABLE_COMPUTER),
            LoadResourceString(IDS_TABLE_MATH),         LoadResourceString(IDS_TABLE_SIX_DOTS),
            LoadResourceString(IDS_TABLE_EIGHT_DOTS)};
}

// The platform's name of the language, in the reader's language. A table
// in the reader's own language takes the name that language gives itself,
// which is its name in the reader's language on any system.
std::wstring PlatformLanguageName(const std::wstring& tag, const LanguageTag& reader)
{
    if (LocaleNameToLCID(tag.c_str(), 0) == 0)
        return std::wstring();
    const LCTYPE kind = IsReadersLanguage(tag, reader) ? LOCALE_SNATIVEDISPLAYNAME : LOCALE_SLOCALIZEDDISPLAYNAME;
    wchar_t name[LOCALE_NAME_MAX_LENGTH * 2] = {};
    if (GetLocaleInfoEx(tag.c_str(), kind, name, LOCALE_NAME_MAX_LENGTH * 2) <= 0)
        return std::wstring();
    // "français", "čeština": a list entry begins with a capital, where the script has them.
    if (!IS_SURROGATE_PAIR(name[0], name[1]))
        LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_UPPERCASE, name, 1, name, 1, nullptr, nullptr, 0);
    return name;
}

bool CollatesBefore(std::wstring_view a, std::wstring_view b)
{
    return CompareStringEx(LOCALE_NAME_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()), nullptr, nullptr, 0) == CSTR_LESS_THAN;
}

std::vector<ShownTable> ShownList(const std::vector<TableFile>& files, const TableWords& words,
                                  const LanguageNameFn& nameOf)
{
    const std::vector<std::wstring> shown = ShownTableNames(files, words, nameOf);
    std::vector<ShownTable> list;
    bool described = false;
    for (size_t i = 0; i < files.size(); ++i) {
        list.push_back({shown[i], files[i].name});
        described = described || files[i].header.Describes();
    }
    // A folder that describes none of its tables lists them by name, unit by unit.
    SortShownTables(list, described ? CollatesBefore : nullptr);
    return list;
}

// The last catalog with the listing it was made from.
struct CatalogCache {
    std::wstring folder;
    std::vector<ListedFile> listed;
    TableCatalog catalog;
};

} // namespace

std::wstring ResolveTablesFolder(const std::wstring& settingsPath)
{
    const std::wstring programFolder = GetProgramFolder();
    if (programFolder.empty())
        return std::wstring();
    const std::wstring defaultFolder = DefaultTablesFolder(programFolder);
    const std::wstring value = ReadSettingText(settingsPath, L"Liblouis", L"TablesPath", defaultFolder.c_str());
    return ResolveTablesFolderFrom(programFolder, value);
}

TableCatalog BuildTableCatalog(const std::wstring& folder)
{
    static CatalogCache last;
    std::vector<ListedFile> listed = ListFolder(folder);
    if (folder == last.folder && listed == last.listed)
        return last.catalog;

    const std::vector<TableFile> files = TableFilesOf(folder, listed);
    const TableWords words = LoadTableWords();
    const LanguageTag reader = ParseLanguageTag(UiLanguageTag());
    const LanguageNameFn nameOf = [&](const std::wstring& tag) { return PlatformLanguageName(tag, reader); };
    TableCatalog catalog;
    for (TableKind kind : {LiteraryKind, ComputerKind, MathKind}) {
        std::vector<TableFile> ofKind;
        for (const TableFile& file : files)
            if (IsListedAs(file.name, false, file.header, kind))
                ofKind.push_back(file);
        catalog.lists[kind] = ShownList(ofKind, words, nameOf);
    }
    last = {folder, std::move(listed), catalog};
    return catalog;
}

std::wstring ShownNameOf(const TableCatalog& catalog, const std::wstring& name)
{
    for (const std::vector<ShownTable>& list : catalog.lists)
        for (const ShownTable& table : list)
            if (table.name == name)
                return table.shown;
    return name;
}

ChosenTables ChooseTablesFromFolder(const std::wstring& folder, const std::wstring& readerTag)
{
    return ChooseTables(readerTag, TableFilesOf(folder, ListFolder(folder)));
}
