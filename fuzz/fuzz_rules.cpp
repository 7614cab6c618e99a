// The rules that walk raw units or index strings, under AddressSanitizer and
// UndefinedBehaviorSanitizer. One input serves both readings: as a marking
// section (16-bit units as GetPrivateProfileSectionW returns them), and as a
// 16-bit GetEnvironmentVariableW answer followed by zero-separated paths.
#include "app/PathRules.h"
#include "marking/MarkingText.h"
#include "settings/SettingsRules.h"
#include "tables/TableRules.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <sstream>

// Checks hold whatever the build type, and stop the run so libFuzzer keeps the input.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : __builtin_trap())

static bool startsWith(const std::wstring& s, const std::wstring& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8"); // letters beyond ASCII, as the Windows program classifies them
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<wchar_t> units; // an exact-size copy, so that reading past the units given is caught
    for (size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    std::vector<wchar_t> used;
    for (const MarkingEntry& entry : ParseMarkingSection(units.empty() ? nullptr : units.data(), units.size())) {
        FUZZ_CHECK(!entry.key.empty() && (entry.key + entry.value).find(L'\0') == std::wstring::npos);
        const std::wstring label = SplitCamelCase(entry.key);
        std::wstring bareLabel = label, bareKey = entry.key; // splitting only adds spaces
        FUZZ_CHECK(std::erase(bareLabel, L' ') >= std::erase(bareKey, L' ') && bareLabel == bareKey);
        used.insert(used.end(), entry.value.begin(), entry.value.begin() + std::min<size_t>(entry.value.size(), 4));
        const size_t taken = used.size();
        const std::wstring keyed = AddAccessKey(label, used);
        // Either nothing changes, or one "&" and one new key go in, the one the "&" marks.
        FUZZ_CHECK(keyed == label ? used.size() == taken
                                  : keyed.size() == label.size() + 1 && used.size() == taken + 1 &&
                                        (label.find(L'&') != std::wstring::npos || AccessKeyOf(keyed) == used.back()));
    }
    std::vector<std::wstring> paths;
    std::wistringstream fields(units.size() > 1 ? std::wstring(units.begin() + 1, units.end()) : std::wstring());
    for (std::wstring path; std::getline(fields, path, L'\0');) paths.push_back(path);
    paths.resize(std::max<size_t>(paths.size(), 2));
    for (const std::wstring& path : paths) {
        const std::wstring parent = ParentFolderOf(path);
        FUZZ_CHECK(PathRootLength(path) <= parent.size() && startsWith(path, parent));
        const std::vector<std::wstring> chain = FolderChainOf(path); // each folder holds the next, down to the path
        FUZZ_CHECK(chain.empty() ? path.empty() : chain.back() == path);
        for (size_t i = 0; i + 1 < chain.size(); ++i)
            FUZZ_CHECK(chain[i].size() < chain[i + 1].size() && startsWith(chain[i + 1], chain[i]));
        AccessKeyOf(path);
    }
    const std::wstring tables = ResolveTablesFolderFrom(paths[0], paths[1]);
    FUZZ_CHECK(tables.empty() || (IsPathSeparator(tables.back()) && tables.find(paths[1]) != std::wstring::npos));
    const std::wstring settings = SettingsFilePathFrom(units.empty() ? 0 : units[0], paths[0], paths[1]);
    FUZZ_CHECK(settings.empty() ||
               (startsWith(settings, paths[0]) && settings.find(paths[1], paths[0].size()) != std::wstring::npos));
    return 0;
}
