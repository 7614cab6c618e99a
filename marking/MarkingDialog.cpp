#include "marking/MarkingDialog.h"

#include "app/ControlIds.h"
#include "app/DialogFont.h"
#include "app/DialogKeys.h"
#include "app/ResourceMessage.h"
#include "app/WindowParts.h"
#include "marking/MarkingCatalog.h"
#include "resources/resource.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStore.h"

#include <cwctype>
#include <string>
#include <vector>

BYTE g_markingDialogClassRegistered = 0;

namespace {

struct MarkingDialogState {
    HWND owner = nullptr;
    HWND dialog = nullptr;
    std::wstring settingsPath;
    std::vector<MarkingAttribute> attributes;
    // The value text each attribute had in the file it came from.
    std::vector<std::wstring> storedValues;
    bool fromLanguageFile = false;
    HWND lastFocus = nullptr;
    bool accepted = false;
};

constexpr int kDialogWidth = 380;
constexpr int kFirstCheckBoxY = 36;
constexpr int kRowHeight = 24;
constexpr int kBottomMargin = 12;

int ButtonRowY(size_t count)
{
    return kFirstCheckBoxY + kRowHeight * static_cast<int>(count) + 8;
}

void CreateMarkingControls(HWND dialog, MarkingDialogState& state)
{
    CreateChildControl(dialog, L"STATIC", LoadResourceString(IDS_MARKING_PROMPT), WS_CHILD | WS_VISIBLE, 12, 12, 340,
                       20, IDC_STATIC);

    std::vector<wchar_t> usedKeys;
    for (size_t i = 0; i < state.attributes.size(); ++i) {
        MarkingAttribute& attribute = state.attributes[i];
        const std::wstring label = AddAccessKey(SplitCamelCase(attribute.name), usedKeys);
        attribute.checkBox =
            CreateChildControl(dialog, L"BUTTON", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 12,
                               kFirstCheckBoxY + kRowHeight * static_cast<int>(i), 320, 22,
                               IDC_MARKING_FIRST_CHECKBOX + static_cast<int>(i));
        SendMessageW(attribute.checkBox, BM_SETCHECK, attribute.marked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    const int buttonY = ButtonRowY(state.attributes.size());
    CreateChildControl(dialog, L"BUTTON", LoadResourceString(IDS_OK),
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 180, buttonY, 80, 26, IDC_MARKING_OK);
    CreateChildControl(dialog, L"BUTTON", LoadResourceString(IDS_CANCEL),
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 270, buttonY, 80, 26, IDC_MARKING_CANCEL);
    UseMessageFont(dialog);

    if (!state.attributes.empty() && state.attributes[0].checkBox != nullptr)
        SetFocus(state.attributes[0].checkBox);
}

bool WriteMarkingValue(const MarkingDialogState& state, const std::wstring& key, const std::wstring& value)
{
    return EnsureSettingsFile(state.settingsPath) &&
           WritePrivateProfileStringW(L"BrailleMarking", key.c_str(), value.c_str(), state.settingsPath.c_str()) != 0;
}

// Carries the whole list over from the language file in one section write.
bool WriteMarkingSection(const MarkingDialogState& state, const std::vector<std::wstring>& values)
{
    std::wstring section;
    for (size_t i = 0; i < state.attributes.size(); ++i)
        section += state.attributes[i].name + L'=' + values[i] + L'\0';
    section += L'\0';
    return EnsureSettingsFile(state.settingsPath) &&
           WritePrivateProfileSectionW(L"BrailleMarking", section.c_str(), state.settingsPath.c_str()) != 0;
}

// Writes the changed attributes. While the list came from the language file
// the settings file has no section yet, and writing the changes alone would
// leave it holding only those: the next opening, and the display component
// reading the same file, would lose every other attribute. So then the
// whole list goes in, unchanged values copied as they stood.
void AcceptMarking(HWND dialog, MarkingDialogState& state)
{
    bool anyChange = false;
    std::vector<bool> changed;
    std::vector<std::wstring> values;
    for (size_t i = 0; i < state.attributes.size(); ++i) {
        const MarkingAttribute& attribute = state.attributes[i];
        const bool checked = SendMessageW(attribute.checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
        changed.push_back(checked != attribute.marked);
        values.push_back(changed.back() ? BoolText(checked) : state.storedValues[i]);
        anyChange = anyChange || changed.back();
    }

    // The display component may have written the section while the dialog
    // was open: its entries are kept, and only the changes go in.
    bool written = true;
    if (state.fromLanguageFile && anyChange && ReadMarkingSection(state.settingsPath).empty()) {
        written = WriteMarkingSection(state, values);
    } else {
        for (size_t i = 0; i < state.attributes.size() && written; ++i)
            if (changed[i])
                written = WriteMarkingValue(state, state.attributes[i].name, values[i]);
    }
    if (!written) {
        ShowResourceMessage(dialog, IDS_ERR_WRITE_MARKING, MB_OK | MB_ICONERROR);
        return;
    }
    state.accepted = true;
    EndModalDialog(state.owner, dialog);
}

// Alt+letter: the focus goes to the check box with that access key.
bool FocusByAccessKey(const MarkingDialogState& state, WPARAM character)
{
    const wchar_t typed = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(LOWORD(character))));
    for (const MarkingAttribute& attribute : state.attributes) {
        if (attribute.checkBox == nullptr)
            continue;
        wchar_t text[256] = {};
        GetWindowTextW(attribute.checkBox, text, 256);
        const std::optional<wchar_t> key = AccessKeyOf(text);
        if (key && *key == typed) {
            SetFocus(attribute.checkBox);
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK MarkingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        KeepCreationState(dialog, lParam);
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
    MarkingDialogState* state = CreationState<MarkingDialogState>(dialog);
    if (state == nullptr)
        return DefWindowProcW(dialog, message, wParam, lParam);

    if (HandleModalDialogMessage(dialog, state->owner, state->lastFocus, message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_CREATE:
        CreateMarkingControls(dialog, *state);
        return 0;
    case WM_SYSCHAR:
        if (FocusByAccessKey(*state, wParam))
            return 0;
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            break;
        if (LOWORD(wParam) == IDC_MARKING_CANCEL) {
            EndModalDialog(state->owner, dialog);
            return 0;
        }
        if (LOWORD(wParam) == IDC_MARKING_OK) {
            AcceptMarking(dialog, *state);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

} // namespace

bool ShowMarkingDialog(HWND owner)
{
    MarkingDialogState state;
    state.owner = owner;
    state.settingsPath = GetSettingsFilePath();
    if (state.settingsPath.empty()) {
        ShowResourceMessage(owner, IDS_ERR_SETTINGS_PATH, MB_OK | MB_ICONERROR);
        return false;
    }

    const MarkingCatalog catalog = LoadMarkingCatalog(state.settingsPath);
    state.fromLanguageFile = catalog.fromLanguageFile;
    for (const MarkingEntry& entry : catalog.entries) {
        MarkingAttribute attribute;
        attribute.name = entry.key;
        attribute.marked = ParseBoolText(entry.value, false);
        state.attributes.push_back(attribute);
        state.storedValues.push_back(entry.value);
    }
    if (state.attributes.empty())
        return false;

    if (!g_markingDialogClassRegistered) {
        if (!RegisterAppWindowClass(LUMIBREL_MARKING_DIALOG_CLASS, MarkingDialogProc))
            return false;
        g_markingDialogClassRegistered = 1;
    }

    const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;
    RECT frame = {0, 0, kDialogWidth, ButtonRowY(state.attributes.size()) + 26 + kBottomMargin};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const std::wstring title = LoadResourceString(IDS_MARKING_DIALOG_TITLE);
    HWND dialog =
        CreateWindowExW(exStyle, LUMIBREL_MARKING_DIALOG_CLASS, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                        kDialogWidth, frame.bottom - frame.top, owner, nullptr, GetModuleHandleW(nullptr), &state);
    if (dialog == nullptr)
        return false;
    state.dialog = dialog;
    RunModalLoop(owner, dialog, IDC_MARKING_OK, IDC_MARKING_CANCEL);
    return state.accepted;
}
