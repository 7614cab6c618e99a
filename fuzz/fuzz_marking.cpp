// The marking section and its labels. Input: the section's 16-bit units as
// GetPrivateProfileSectionW returns them; each entry's key becomes a label
// that gets an access key, and each value's units are pre-claimed keys first.
#include "FuzzInput.h"

#include "marking/MarkingText.h"

#include <algorithm>
#include <clocale>
#include <cwctype>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Letters beyond ASCII, as the Windows program classifies them.
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

static void CheckLabel(const std::wstring& identifier, const std::wstring& label)
{
    // Only spaces are added, never first and never two for one unit.
    size_t k = 0;
    for (size_t i = 0; i < label.size(); ++i) {
        if (k < identifier.size() && label[i] == identifier[k])
            ++k;
        else
            FUZZ_CHECK(label[i] == L' ' && k > 0 && k < identifier.size() && std::iswupper(identifier[k]));
    }
    FUZZ_CHECK(k == identifier.size());
}

static void CheckAccessKey(const std::wstring& label, std::vector<wchar_t>& used)
{
    const std::vector<wchar_t> before = used;
    const std::wstring keyed = AddAccessKey(label, used);
    if (keyed == label) {
        FUZZ_CHECK(used == before);
        return;
    }
    FUZZ_CHECK(keyed.size() == label.size() + 1 && used.size() == before.size() + 1);
    const size_t at = std::mismatch(label.begin(), label.end(), keyed.begin()).first - label.begin();
    FUZZ_CHECK(keyed[at] == L'&' && keyed.compare(at + 1, std::wstring::npos, label, at) == 0);
    const wchar_t key = used.back();
    FUZZ_CHECK(std::equal(before.begin(), before.end(), used.begin()));
    FUZZ_CHECK(std::find(before.begin(), before.end(), key) == before.end());
    FUZZ_CHECK(key == static_cast<wchar_t>(std::towlower(label[at])));
    if (label.find(L'&') >= at)
        FUZZ_CHECK(AccessKeyOf(keyed) == key);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring units = UnitsOf(data, size);
    // An exact-size copy, so that reading past the units given is caught.
    const std::vector<wchar_t> buffer(units.begin(), units.end());
    const std::vector<MarkingEntry> entries =
        ParseMarkingSection(buffer.empty() ? nullptr : buffer.data(), buffer.size());
    // The shortest entry, "k=", and its zero.
    FUZZ_CHECK(entries.size() <= (units.size() + 1) / 3);

    std::vector<wchar_t> used;
    for (const MarkingEntry& entry : entries) {
        FUZZ_CHECK(!entry.key.empty() && entry.key.find(L'=') == std::wstring::npos);
        FUZZ_CHECK(entry.key.find(L'\0') == std::wstring::npos && entry.value.find(L'\0') == std::wstring::npos);
        const std::wstring label = SplitCamelCase(entry.key);
        CheckLabel(entry.key, label);
        for (size_t i = 0; i < entry.value.size() && i < 4; ++i)
            used.push_back(entry.value[i]);
        CheckAccessKey(label, used);
        AccessKeyOf(entry.value);
    }
    return 0;
}
