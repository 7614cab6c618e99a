#include "mainwindow/MainWindow.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStore.h"

std::wstring g_literaryTable;
std::wstring g_computerTable;
std::wstring g_mathTable;
std::wstring g_appliedLiteraryTable;
std::wstring g_appliedComputerTable;
std::wstring g_appliedMathTable;

static void SetCheck(HWND box, bool checked)
{
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void LoadMainWindowSettings()
{
    const std::wstring path = GetSettingsFilePath();
    if (path.empty())
        return;

    const std::wstring literaryTable = ReadSettingText(path, L"Liblouis", L"LiteraryTable", kDefaultLiteraryTable);
    const std::wstring computerTable =
        ReadSettingText(path, L"Liblouis", L"ComputerBrailleTable", kDefaultComputerTable);
    const std::wstring mathTable = ReadSettingText(path, L"Liblouis", L"MathTable", kDefaultMathTable);
    const std::wstring literaryText = ReadSettingText(path, L"Liblouis", L"DisplayLiteraryBraille", L"1");
    const std::wstring contractedText = ReadSettingText(path, L"Liblouis", L"UseContractedBrailleInput", L"0");
    const std::wstring visualizerText = ReadSettingText(path, L"Settings", L"ShowBrailleVisualizer", L"0");
    const std::wstring hybridText = ReadSettingText(path, L"Settings", L"HybridPrintAndBrailleMode", L"0");
    const std::wstring paddingText = ReadSettingText(path, L"Settings", L"BrailleLinePadding", kDefaultLinePadding);
    const std::wstring sixDotText = ReadSettingText(path, L"Settings", L"ForceSixDotBraille", kDefaultSixDot);

    // The names start out as applied: the start-up apply sends no tables.
    g_literaryTable = literaryTable;
    g_computerTable = computerTable;
    g_mathTable = mathTable;
    g_appliedLiteraryTable = literaryTable;
    g_appliedComputerTable = computerTable;
    g_appliedMathTable = mathTable;

    bool literary = ParseBoolText(literaryText, true);
    const bool contracted = ParseBoolText(contractedText, false);
    if (contracted)
        literary = true;
    SetCheck(g_hwndDisplayLiteraryBraille, literary);
    SetCheck(g_hwndUseContractedBrailleInput, contracted);
    SetCheck(g_hwndShowBrailleVisualizer, ParseBoolText(visualizerText, false));

    SetCheck(g_hwndHybridPrintAndBrailleMode, ParseBoolText(hybridText, false));
    if (g_hwndHybridPrintAndBrailleMode != nullptr) {
        if (g_hybridModeAvailable == 0)
            SetCheck(g_hwndHybridPrintAndBrailleMode, false);
        EnableWindow(g_hwndHybridPrintAndBrailleMode, g_hybridModeAvailable != 0);
    }

    if (g_hwndMultilineBraille != nullptr)
        SendMessageW(g_hwndMultilineBraille, CB_SETCURSEL, MultilineModeFrom(sixDotText, paddingText), 0);

    if (!literary)
        SetCheck(g_hwndUseContractedBrailleInput, false);
}
