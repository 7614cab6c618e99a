#include "mainwindow/MainWindow.h"
#include "resources/resource.h"
#include "windowkit/ControlIds.h"
#include "windowkit/DialogFont.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/WindowParts.h"

HWND g_hwndDisplayLiteraryBraille = nullptr;
HWND g_hwndUseContractedBrailleInput = nullptr;
HWND g_hwndShowBrailleVisualizer = nullptr;
HWND g_hwndHybridPrintAndBrailleMode = nullptr;
HWND g_hwndSetTables = nullptr;
HWND g_hwndMarking = nullptr;
HWND g_hwndMultilineBraille = nullptr;
HWND g_hwndApply = nullptr;
HWND g_hwndOk = nullptr;
HWND g_hwndCancel = nullptr;
HWND g_hwndAbout = nullptr;
HWND g_hwndExit = nullptr;

namespace {

constexpr DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kPushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;

// The window at 96 dpi, controls in creation order; the combo box's height
// is its height with the list dropped down.
constexpr int kWindowWidth = 520;
constexpr int kWindowHeight = 285;
constexpr ControlPlace kMainLayout[] = {
    {IDC_DISPLAY_LITERARY_BRAILLE, 12, 22, 220, 24},
    {IDC_USE_CONTRACTED_BRAILLE_INPUT, 12, 50, 220, 24},
    {IDC_SET_TABLES, 12, 78, 130, 26},
    {IDC_MARKING, 12, 108, 130, 26},
    {IDC_STATIC, 150, 112, 120, 20},
    {IDC_MULTILINE_BRAILLE, 270, 108, 230, 400},
    {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, 12, 138, 260, 24},
    {IDC_SHOW_BRAILLE_VISUALIZER, 12, 166, 220, 24},
    {IDC_APPLY, 230, 206, 80, 26},
    {IDC_OK, 320, 206, 80, 26},
    {IDC_CANCEL, 410, 206, 80, 26},
    {IDC_ABOUT, 50, 206, 80, 26},
    {IDC_EXIT, 140, 206, 80, 26},
};

} // namespace

void FillMultilineCombo(HWND combo)
{
    if (combo == nullptr)
        return;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (UINT id : {IDS_MULTILINE_AUTO, IDS_MULTILINE_MAX_LINES, IDS_MULTILINE_DOUBLE_SPACING}) {
        const std::wstring item = LoadResourceString(id);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageW(combo, CB_SETCURSEL, MultilineAuto, 0);
}

void CreateMainWindowControls(HWND window)
{
    const std::wstring literaryText = LoadResourceString(IDS_DISPLAY_LITERARY);
    const std::wstring contractedText = LoadResourceString(IDS_CONTRACTED_INPUT);
    const std::wstring setTablesText = LoadResourceString(IDS_SET_TABLES);
    const std::wstring markingText = LoadResourceString(IDS_MARKING);
    const std::wstring multilineText = LoadResourceString(IDS_MULTILINE_LABEL);
    const std::wstring hybridText = LoadResourceString(IDS_HYBRID_MODE);
    const std::wstring visualizerText = LoadResourceString(IDS_SHOW_VISUALIZER);
    const std::wstring applyText = LoadResourceString(IDS_APPLY);
    const std::wstring okText = LoadResourceString(IDS_OK);
    const std::wstring cancelText = LoadResourceString(IDS_CANCEL);
    const std::wstring aboutText = LoadResourceString(IDS_ABOUT);
    const std::wstring exitText = LoadResourceString(IDS_EXIT);

    // Creation order is the tab order. The label comes right before its combo
    // box, so its access key and a screen reader both lead to the combo box.
    g_hwndDisplayLiteraryBraille =
        CreateChildControl(window, L"BUTTON", literaryText, kCheckBoxStyle, IDC_DISPLAY_LITERARY_BRAILLE);
    g_hwndUseContractedBrailleInput =
        CreateChildControl(window, L"BUTTON", contractedText, kCheckBoxStyle, IDC_USE_CONTRACTED_BRAILLE_INPUT);
    g_hwndSetTables = CreateChildControl(window, L"BUTTON", setTablesText, kPushButtonStyle, IDC_SET_TABLES);
    g_hwndMarking = CreateChildControl(window, L"BUTTON", markingText, kPushButtonStyle, IDC_MARKING);
    CreateChildControl(window, L"STATIC", multilineText, kLabelStyle, IDC_STATIC);
    g_hwndMultilineBraille =
        CreateChildControl(window, L"ComboBox", std::wstring(), kComboStyle, IDC_MULTILINE_BRAILLE);
    FillMultilineCombo(g_hwndMultilineBraille);
    g_hwndHybridPrintAndBrailleMode =
        CreateChildControl(window, L"BUTTON", hybridText, kCheckBoxStyle, IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
    g_hwndShowBrailleVisualizer =
        CreateChildControl(window, L"BUTTON", visualizerText, kCheckBoxStyle, IDC_SHOW_BRAILLE_VISUALIZER);

    SendMessageW(g_hwndDisplayLiteraryBraille, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(g_hwndUseContractedBrailleInput, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(g_hwndHybridPrintAndBrailleMode, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(g_hwndShowBrailleVisualizer, BM_SETCHECK, BST_UNCHECKED, 0);

    LoadMainWindowSettings(window);

    g_hwndApply = CreateChildControl(window, L"BUTTON", applyText, kPushButtonStyle, IDC_APPLY);
    g_hwndOk = CreateChildControl(window, L"BUTTON", okText, kDefaultButtonStyle, IDC_OK);
    g_hwndCancel = CreateChildControl(window, L"BUTTON", cancelText, kPushButtonStyle, IDC_CANCEL);
    g_hwndAbout = CreateChildControl(window, L"BUTTON", aboutText, kPushButtonStyle, IDC_ABOUT);
    g_hwndExit = CreateChildControl(window, L"BUTTON", exitText, kPushButtonStyle, IDC_EXIT);
    LayOutMainWindow(window);
}

void LayOutMainWindow(HWND window)
{
    const LayoutScale scale = UseMessageFont(window, WindowDpi(window));
    PlaceControlsForTexts(window, kMainLayout, scale, {kWindowWidth, kWindowHeight});
}
