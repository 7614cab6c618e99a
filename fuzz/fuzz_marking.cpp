// The marking section and its labels. Input: the section's 16-bit units as GetPrivateProfileSectionW returns them;
// each key becomes a label that gets an access key, after the first units of its value were taken as keys.
#include "FuzzInput.h"

#include "marking/MarkingText.h"

#include <algorithm>
#include <clocale>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Letters beyond ASCII, as the Windows program classifies them.
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = UnitsOf(data, size);
    // An exact-size copy, so that reading past the units given is caught.
    const std::vector<wchar_t> units(text.begin(), text.end());
    std::vector<wchar_t> used;
    for (const MarkingEntry& entry : ParseMarkingSection(units.empty() ? nullptr : units.data(), units.size())) {
        FUZZ_CHECK(!entry.key.empty() && (entry.key + entry.value).find(L'\0') == std::wstring::npos);
        const std::wstring label = SplitCamelCase(entry.key);
        // Splitting only adds spaces.
        std::wstring bareLabel = label, bareKey = entry.key;
        FUZZ_CHECK(std::erase(bareLabel, L' ') >= std::erase(bareKey, L' ') && bareLabel == bareKey);
        used.insert(used.end(), entry.value.begin(), entry.value.begin() + std::min<size_t>(entry.value.size(), 4));
        const size_t taken = used.size();
        const std::wstring keyed = AddAccessKey(label, used);
        // Either nothing changes, or one "&" and one new key go in, and that key is the one the "&" marks.
        FUZZ_CHECK(keyed == label ? used.size() == taken
                                  : keyed.size() == label.size() + 1 && used.size() == taken + 1 &&
                                        (label.find(L'&') != std::wstring::npos || AccessKeyOf(keyed) == used.back()));
        AccessKeyOf(entry.value);
    }
    AccessKeyOf(text);
    return 0;
}
