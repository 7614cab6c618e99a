// Folder rules, the tables-folder rule and the settings text rules. Input: a
// 16-bit header (numeric answers of the Windows calls), then zero-separated
// fields (paths and texts).
#include "FuzzInput.h"

#include <algorithm>

#include "app/PathRules.h"
#include "settings/SettingsRules.h"
#include "tables/TableRules.h"

static void CheckPath(const std::wstring& path)
{
    const std::wstring folder = FolderOfPath(path);
    FUZZ_CHECK(StartsWith(path, folder));
    FUZZ_CHECK(folder.size() == path.size() ? folder.empty()
                                            : (folder.empty() || IsPathSeparator(path[folder.size()])));

    const size_t root = PathRootLength(path);
    FUZZ_CHECK(root <= path.size());

    const std::wstring parent = ParentFolderOf(path);
    FUZZ_CHECK(StartsWith(path, parent));
    FUZZ_CHECK(parent.size() >= root);

    const std::vector<std::wstring> chain = FolderChainOf(path);
    FUZZ_CHECK(chain.empty() == path.empty());
    if (!chain.empty())
        FUZZ_CHECK(chain.back() == path);
    for (size_t i = 0; i + 1 < chain.size(); ++i)
        FUZZ_CHECK(chain[i].size() < chain[i + 1].size() && StartsWith(chain[i + 1], chain[i]));
}

static void CheckText(const std::wstring& text, uint16_t header)
{
    const bool whenTrue = ParseBoolText(text, true);
    const bool whenFalse = ParseBoolText(text, false);
    // A recognised form decides alone; the forms are short and never empty.
    if (whenTrue == whenFalse)
        FUZZ_CHECK(!text.empty() && text.size() <= 5);

    const int localeResult = static_cast<int16_t>(header);
    const std::wstring code = LanguageCodeFrom(localeResult, text.c_str());
    FUZZ_CHECK(code == (localeResult > 0 ? text : std::wstring(L"enu")));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint16_t header = static_cast<uint16_t>(data[0] | (data[1] << 8));
    std::vector<std::wstring> fields = FieldsOf(UnitsOf(data + 2, size - 2));
    fields.resize(std::max<size_t>(fields.size(), 2));

    for (const std::wstring& field : fields) {
        CheckPath(field);
        CheckText(field, header);
    }
    for (bool value : {false, true})
        FUZZ_CHECK(ParseBoolText(BoolText(value), !value) == value);

    const std::wstring& programFolder = fields[0];
    const std::wstring& tablesPath = fields[1];
    const std::wstring tables = ResolveTablesFolderFrom(programFolder, tablesPath);
    FUZZ_CHECK(tables.empty() == programFolder.empty());
    if (!tables.empty()) {
        FUZZ_CHECK(IsPathSeparator(tables.back()));
        if (tablesPath.empty())
            FUZZ_CHECK(tables == DefaultTablesFolder(programFolder));
    }

    const std::wstring settings = SettingsFilePathFrom(header, programFolder, tablesPath);
    FUZZ_CHECK(settings.empty() == (header < 1 || header >= kValueBufferUnits));
    if (!settings.empty())
        FUZZ_CHECK(StartsWith(settings, programFolder + L"\\") &&
                   settings.find(tablesPath, programFolder.size()) != std::wstring::npos);
    return 0;
}
