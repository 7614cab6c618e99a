#include "tables/TablesDialog.h"

#include "mainwindow/MainWindow.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "tables/TableDiscovery.h"
#include "windowkit/ControlIds.h"
#include "windowkit/DialogFont.h"
#include "windowkit/DialogKeys.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/WindowParts.h"

#include <algorithm>
#include <string>
#include <vector>

BYTE g_tablesDialogClassRegistered = 0;

namespace {

struct TablesDialogState : ModalDialogState {
    HWND combos[3] = {}; // by TableKind
    // The file name of each item, in item order: what is stored and sent.
    std::vector<std::wstring> names[3];
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

// The catalog's list, then the current name last where the list lacks it,
// selected. The current name matches a file name as the file system
// compares them, in any letter case.
void FillTableCombo(HWND combo, std::vector<std::wstring>& names, const TableCatalog& catalog, TableKind kind,
                    const std::wstring& current)
{
    if (combo == nullptr)
        return;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const ShownTable& table : catalog.lists[kind]) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(table.shown.c_str()));
        names.push_back(table.name);
    }
    const auto same = [&](const std::wstring& name) { return SameKeyIgnoringCase(name, current); };
    size_t index = static_cast<size_t>(std::find_if(names.begin(), names.end(), same) - names.begin());
    if (index == names.size()) {
        const std::wstring shown = ShownNameOf(catalog, current);
        if (SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str())) < 0)
            return;
        names.push_back(current);
    }
    SendMessageW(combo, CB_SETCURSEL, index, 0);
}

void CreateTablesControls(HWND dialog)
{
    TablesDialogState& state = *ModalDialogStateOf<TablesDialogState>(dialog);
    const std::wstring literaryLabel = LoadResourceString(IDS_LITERARY_TABLE);
    const std::wstring computerLabel = LoadResourceString(IDS_COMPUTER_TABLE);
    const std::wstring mathLabel = LoadResourceString(IDS_MATH_TABLE);
    const std::wstring okText = LoadResourceString(IDS_OK);
    const std::wstring cancelText = LoadResourceString(IDS_CANCEL);

    // Each label right before its combo box: the label's access key and a
    // screen reader's name both belong to the combo box that follows.
    CreateChildControl(dialog, L"STATIC", literaryLabel, WS_CHILD | WS_VISIBLE, IDC_LITERARY_TABLE_LABEL);
    state.combos[LiteraryKind] =
        CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_LITERARY_TABLE);
    CreateChildControl(dialog, L"STATIC", computerLabel, WS_CHILD | WS_VISIBLE, IDC_COMPUTER_TABLE_LABEL);
    state.combos[ComputerKind] =
        CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_COMPUTER_TABLE);
    CreateChildControl(dialog, L"STATIC", mathLabel, WS_CHILD | WS_VISIBLE, IDC_MATH_TABLE_LABEL);
    state.combos[MathKind] = CreateChildControl(dialog, L"ComboBox", std::wstring(), kComboStyle, IDC_MATH_TABLE);
    CreateChildControl(dialog, L"BUTTON", okText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_TABLES_OK);
    CreateChildControl(dialog, L"BUTTON", cancelText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                       IDC_TABLES_CANCEL);

    // Without a settings file or a tables folder the lists hold the current names alone.
    const std::wstring settingsPath = GetSettingsFilePath();
    const std::wstring folder = settingsPath.empty() ? std::wstring() : ResolveTablesFolder(settingsPath);
    const TableCatalog catalog = folder.empty() ? TableCatalog() : BuildTableCatalog(folder);
    const std::wstring* current[] = {&g_literaryTable, &g_computerTable, &g_mathTable};
    for (TableKind kind : {LiteraryKind, ComputerKind, MathKind})
        FillTableCombo(state.combos[kind], state.names[kind], catalog, kind, *current[kind]);
    LayOutTablesDialog(dialog);

    if (state.combos[LiteraryKind] != nullptr)
        SetFocus(state.combos[LiteraryKind]);
}

// The file name of the selected item, or empty.
std::wstring SelectedName(HWND combo, const std::vector<std::wstring>& names)
{
    if (combo == nullptr)
        return std::wstring();
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= names.size())
        return std::wstring();
    return names[static_cast<size_t>(index)];
}

void AcceptTables(HWND dialog, TablesDialogState& state)
{
    g_literaryTable = SelectedName(state.combos[LiteraryKind], state.names[LiteraryKind]);
    g_computerTable = SelectedName(state.combos[ComputerKind], state.names[ComputerKind]);
    g_mathTable = SelectedName(state.combos[MathKind], state.names[MathKind]);
    state.accepted = 1;
    EndModalDialog(state.owner, dialog);
}

LRESULT CALLBACK TablesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    TablesDialogState* state = nullptr;
    LRESULT answer = 0;
    if (AnswerModalDialogMessage(dialog, message, wParam, lParam, {CreateTablesControls, LayOutTablesDialog}, state,
                                 answer))
        return answer;
    switch (message) {
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
    SettleTableChoice(owner); // the tables chosen for the reader's language show as current
    if (!g_tablesDialogClassRegistered) {
        if (!RegisterAppWindowClass(LUMIBREL_TABLES_DIALOG_CLASS, TablesDialogProc))
            return false;
        g_tablesDialogClassRegistered = 1;
    }
    TablesDialogState state;
    state.owner = owner;
    const std::wstring caption = LoadResourceString(IDS_TABLES_DIALOG_TITLE);
    const POINT place = CentredOverOwner(owner, kDialogWidth, kDialogHeight);
    HWND dialog = CreateWindowExW(
        WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | MirroredStyle(), LUMIBREL_TABLES_DIALOG_CLASS, caption.c_str(),
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, place.x, place.y, kDialogWidth, kDialogHeight, owner, nullptr,
        GetModuleHandleW(nullptr), static_cast<ModalDialogState*>(&state));
    if (dialog == nullptr)
        return false;
    RunModalLoop(owner, dialog, IDC_TABLES_OK, IDC_TABLES_CANCEL);
    return state.accepted != 0;
}
