#include "marking/MarkingCatalog.h"

#include "process/ProgramFolder.h"
#include "settings/SettingsStore.h"
#include "windowkit/DialogKeys.h"

std::vector<MarkingEntry> ReadMarkingSection(const std::wstring& filePath)
{
    // A section cut at the buffer's end could end inside a key or value, and
    // the dialog writes values back: so read again, larger, until it fits.
    // The platform answers size - 2 when the buffer was too small.
    std::vector<wchar_t> buffer(8192);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), L'\0');
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileSectionW(L"BrailleMarking", buffer.data(), size, filePath.c_str());
        if (length == 0)
            return {};
        if (length < size - 2 || size >= (1u << 26))
            return ParseMarkingSection(buffer.data(), length, SameKeyIgnoringCase);
        buffer.resize(static_cast<size_t>(size) * 4);
    }
}

MarkingCatalog LoadMarkingCatalog(const std::wstring& settingsPath)
{
    MarkingCatalog catalog;
    catalog.entries = ReadMarkingSection(settingsPath);
    if (!catalog.entries.empty())
        return catalog;
    // The keys are the component's, the same in every language: a language
    // without a list of its own takes the one that ships with the program.
    for (const std::wstring& languagePath : LanguageFilePathsFrom(GetProgramFolder(), UiLanguageCode())) {
        if (languagePath == settingsPath)
            continue;
        catalog.entries = ReadMarkingSection(languagePath);
        catalog.fromLanguageFile = !catalog.entries.empty();
        if (catalog.fromLanguageFile)
            break;
    }
    return catalog;
}
