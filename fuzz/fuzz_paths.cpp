// The path rules. Input: a 16-bit header (GetEnvironmentVariableW's answer), then zero-separated paths; the first
// two also stand for the program folder and a TablesPath value, or LOCALAPPDATA and a language code.
#include "FuzzInput.h"

#include "app/PathRules.h"
#include "settings/SettingsRules.h"
#include "tables/TableRules.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::vector<std::wstring> paths;
    std::wistringstream fields(UnitsOf(data + 2, size - 2));
    for (std::wstring path; std::getline(fields, path, L'\0');) paths.push_back(path);
    if (paths.size() < 2) paths.resize(2);
    for (const std::wstring& path : paths) {
        const std::wstring parent = ParentFolderOf(path);
        FUZZ_CHECK(PathRootLength(path) <= parent.size() && StartsWith(path, parent));
        // Each folder of the chain holds the next, down to the path itself.
        const std::vector<std::wstring> chain = FolderChainOf(path);
        FUZZ_CHECK(chain.empty() ? path.empty() : chain.back() == path);
        for (size_t i = 0; i + 1 < chain.size(); ++i)
            FUZZ_CHECK(chain[i].size() < chain[i + 1].size() && StartsWith(chain[i + 1], chain[i]));
    }
    const std::wstring tables = ResolveTablesFolderFrom(paths[0], paths[1]);
    FUZZ_CHECK(tables.empty() || (IsPathSeparator(tables.back()) && tables.find(paths[1]) != std::wstring::npos));
    const std::wstring settings = SettingsFilePathFrom(data[0] | (data[1] << 8), paths[0], paths[1]);
    FUZZ_CHECK(settings.empty() ||
               (StartsWith(settings, paths[0]) && settings.find(paths[1], paths[0].size()) != std::wstring::npos));
    return 0;
}
