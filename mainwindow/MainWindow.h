// MainWindow: the program's one permanent window. Its controls' handles,
// the current and last-applied table names, and its window procedure.
#pragma once

#include "settings/SettingsRules.h"

#include <windows.h>
#include <string>

// Filled once during WM_CREATE; null when a control could not be made.
extern HWND g_hwndDisplayLiteraryBraille;
extern HWND g_hwndUseContractedBrailleInput;
extern HWND g_hwndShowBrailleVisualizer;
extern HWND g_hwndHybridPrintAndBrailleMode;
extern HWND g_hwndSetTables;
extern HWND g_hwndMarking;
extern HWND g_hwndMultilineBraille;
extern HWND g_hwndApply;
extern HWND g_hwndOk;
extern HWND g_hwndCancel;
extern HWND g_hwndAbout;
extern HWND g_hwndExit;

// Current table names (the tables dialog replaces them) and the names last
// handed to the API worker (the apply compares the two).
extern std::wstring g_literaryTable;
extern std::wstring g_computerTable;
extern std::wstring g_mathTable;
extern std::wstring g_appliedLiteraryTable;
extern std::wstring g_appliedComputerTable;
extern std::wstring g_appliedMathTable;

// 1 until the display component reports that it lacks hybrid mode.
extern BYTE g_hybridModeAvailable;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Builds the controls and loads the stored settings into them.
void CreateMainWindowControls(HWND window);

// Scales the controls, their font and the window for the window's dpi and
// the user's text size; at creation and when the dpi changes.
void LayOutMainWindow(HWND window);

// Empties the combo box and adds the three multiline items, "Auto" selected.
void FillMultilineCombo(HWND combo);

// Puts the stored settings into the controls; once, during WM_CREATE. When
// the settings file names no table, the tables of the reader's language are
// to be chosen, on a thread of their own, which posts WM_APP_TABLES_CHOSEN
// to window.
void LoadMainWindowSettings(HWND window);

// MainWindow's timer that starts the choice of tables once the window is up
// and its thread idle.
constexpr UINT_PTR kTableChoiceTimerId = 2;

// The start-up apply of the loaded settings: at once, or, when the tables
// are to be chosen, once they are; the choice starts at the timer.
void ApplyLoadedSettings(HWND window);
void StartTableChoiceWhenIdle(HWND window);

// Takes the chosen tables as the current ones, unless taken already, and
// runs the start-up apply if it waits for them. Makes the choice, or waits
// for it, if it is still to come: the tables dialog and every apply see it.
void SettleTableChoice(HWND window);

// At the end: the choice, if still being made, is left to itself.
void AbandonTableChoice();

// The check box is checked (BST_CHECKED).
bool IsChecked(HWND box);

// Puts the focus on the first check box (or Set Tables... without it).
void FocusFirstControl();
