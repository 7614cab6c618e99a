#include "tables/TablesDialog.h"

#include "app/ControlIds.h"
#include "app/DialogFont.h"
#include "app/DialogKeys.h"
#include "app/ResourceMessage.h"
#include "app/WindowParts.h"
#include "mainwindow/MainWindow.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "tables/TableDiscovery.h"

#include <string>
#include <vector>

BYTE g_tablesDialogClassRegistered = 0;

namespace {

struct TablesDialogState {
    HWND owner = nullptr;
    HWND literaryCombo = nullptr;
    HWND computerCombo = nullptr;
    HWND mathCombo = nullptr;
    HWND lastFocus = nullptr;
    BYTE accepted = 0;
};

constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;

// The dialog at 96 dpi, controls in creation order; a combo box's height is
// its height with the list dropped down.
constexpr int kDialogWidth = 400;
constexpr int kDialogHeight = 180;
constexpr ControlPlace kTablesLayout[] = {
    {IDC_LITERARY_TABLE_LABEL, 12, 16, 100, 20}, {IDC_LITERARY_TABLE, 116, 12, 250, 180},
    {IDC_COMPUTER_TABLE_LABEL, 12, 46, 100, 20}, {IDC_COMPUTER_TABLE, 116, 42, 250, 180},
    {IDC_MATH_TABLE_LABEL, 12, 76, 100, 20},     {IDC_MATH_TABLE, 116, 72, 250, 180},
    {IDC_TABLES_OK, 196, 108, 80, 26},           {IDC_TABLES_CANCEL, 286, 108, 80, 26},
};

void LayOutTablesDialog(HWND dialog)
{
    const LayoutScale scale = UseMessageFont(dialog, WindowDpi(dialog));
    PlaceControlsForTexts(dialog, kTablesLayout, scale, {kDialogWidth, kDialogHeight});
}

// Shows the current name selected, adding it last when the list lacks it.
void SelectCurrentName(HWND combo, const std::wstring& name)
{
    if (combo == nullptr)
        return;
    LRESULT index =
        SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR) {
        index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (index == CB_ERR || index == CB_ERRSPACE)
            return;
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CreateTablesControls(HWND dialog, TablesDialogState& state)
{
    const std::wstring literaryLabel = LoadResourceString(IDS_LITERARY_TABLE);
    const std::wstring computerLabel = LoadResourceString(IDS_COMPUTER_TABLE);
    const std::wstring mathLabel = LoadResourceString(IDS_MATH_TABLE);
    const std::wstring okText = LoadResourceString(IDS_OK);
    const std::wstring cancelText = LoadResourceString(IDS_CANCEL);

    // Each label right before its combo box: the label's access key and a
    // screen reader's name both belong to the combo box that follows.
    CreateChildControl(dialog, L"STATIC", literaryLabel, WS_CHILD | WS_VISIBLE, IDC_LITERARY_TABLE_LABEL);
    state.literaryCombo = CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_LITERARY_TABLE);
    CreateChildControl(dialog, L"STATIC", computerLabel, WS_CHILD | WS_VISIBLE, IDC_COMPUTER_TABLE_LABEL);
    state.computerCombo = CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_COMPUTER_TABLE);
    CreateChildControl(dialog, L"STATIC", mathLabel, WS_CHILD | WS_VISIBLE, IDC_MATH_TABLE_LABEL);
    state.mathCombo = CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_MATH_TABLE);
    CreateChildControl(dialog, L"BUTTON", okText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_TABLES_OK);
    CreateChildControl(dialog, L"BUTTON", cancelText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                       IDC_TABLES_CANCEL);
    LayOutTablesDialog(dialog);

    const std::wstring settingsPath = GetSettingsFilePath();
    if (!settingsPath.empty())
        FillTableCombos(settingsPath, state.literaryCombo, state.computerCombo, state.mathCombo);

    SelectCurrentName(state.literaryCombo, g_literaryTable);
    SelectCurrentName(state.computerCombo, g_computerTable);
    SelectCurrentName(state.mathCombo, g_mathTable);

    if (state.literaryCombo != nullptr)
        SetFocus(state.literaryCombo);
}

// The selected item's text, or empty. The buffer is sized from the item's
// length, so no item can overrun it.
std::wstring SelectedName(HWND combo)
{
    if (combo == nullptr)
        return std::wstring();
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return std::wstring();
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    if (SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data())) ==
        CB_ERR)
        return std::wstring();
    return std::wstring(buffer.data());
}

void AcceptTables(HWND dialog, TablesDialogState& state)
{
    g_literaryTable = SelectedName(state.literaryCombo);
    g_computerTable = SelectedName(state.computerCombo);
    g_mathTable = SelectedName(state.mathCombo);
    state.accepted = 1;
    EndModalDialog(state.owner, dialog);
}

LRESULT CALLBACK TablesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        KeepCreationState(dialog, lParam);
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
    TablesDialogState* state = CreationState<TablesDialogState>(dialog);
    if (state == nullptr)
        return DefWindowProcW(dialog, message, wParam, lParam);

    if (HandleModalDialogMessage(dialog, state->owner, state->lastFocus, message, wParam, lParam))
        return 0;
    LRESULT look = 0;
    if (HandleWindowLook(dialog, message, wParam, lParam, LayOutTablesDialog, look))
        return look;
    switch (message) {
    case WM_CREATE:
        CreateTablesControls(dialog, *state);
        CentreOverOwner(dialog);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            break;
        if (LOWORD(wParam) == IDC_TABLES_OK) {
            AcceptTables(dialog, *state);
            return 0;
        }
        if (LOWORD(wParam) == IDC_TABLES_CANCEL) {
            EndModalDialog(state->owner, dialog);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

} // namespace

bool ShowTablesDialog(HWND owner)
{
    if (!g_tablesDialogClassRegistered) {
        if (!RegisterAppWindowClass(LUMIBREL_TABLES_DIALOG_CLASS, TablesDialogProc))
            return false;
        g_tablesDialogClassRegistered = 1;
    }
    TablesDialogState state;
    state.owner = owner;
    const std::wstring caption = LoadResourceString(IDS_TABLES_DIALOG_TITLE);
    const POINT place = CentredOverOwner(owner, kDialogWidth, kDialogHeight);
    HWND dialog =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | MirroredStyle(), LUMIBREL_TABLES_DIALOG_CLASS,
                        caption.c_str(), WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, place.x, place.y,
                        kDialogWidth, kDialogHeight, owner, nullptr, GetModuleHandleW(nullptr), &state);
    if (dialog == nullptr)
        return false;
    RunModalLoop(owner, dialog, IDC_TABLES_OK, IDC_TABLES_CANCEL);
    return state.accepted != 0;
}
