// The markable text attributes: the "BrailleMarking" section of the settings
// file, or, while that is empty, of the language file beside the program.
#pragma once

#include "marking/MarkingText.h"

#include <windows.h>
#include <string>
#include <vector>

// One attribute as the marking dialog shows it.
struct MarkingAttribute {
    std::wstring name;
    bool marked = false;
    HWND checkBox = nullptr;
};

struct MarkingCatalog {
    std::vector<MarkingEntry> entries;
    // The entries came from the language file: the settings file's section
    // is empty, and a write must carry the whole list into it.
    bool fromLanguageFile = false;
};

// The whole "BrailleMarking" section of the file, however long it is.
std::vector<MarkingEntry> ReadMarkingSection(const std::wstring& filePath);

MarkingCatalog LoadMarkingCatalog(const std::wstring& settingsPath);
