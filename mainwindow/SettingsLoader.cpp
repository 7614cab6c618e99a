#include "api/ApplySettings.h"
#include "mainwindow/MainWindow.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStore.h"
#include "tables/TableDiscovery.h"
#include "windowkit/ControlIds.h"
#include "windowkit/WindowParts.h"

std::wstring g_literaryTable;
std::wstring g_computerTable;
std::wstring g_mathTable;
std::wstring g_appliedLiteraryTable;
std::wstring g_appliedComputerTable;
std::wstring g_appliedMathTable;

namespace {

// What no stored key reads back as.
constexpr wchar_t kNotStored[] = L"\x01";

// Reading the headers of a whole folder takes longer than the window may
// wait, so the tables are chosen on a thread of their own, started once the
// window is up and idle: its reading would slow the window's own first
// steps. The record is the thread's until it has ended.
struct TableChoiceRun {
    HWND window = nullptr;
    std::wstring folder;
    std::wstring readerTag;
    ChosenTables chosen;
};

TableChoiceRun* g_tableChoice = nullptr; // to be made, or being made once the thread runs
HANDLE g_tableChoiceThread = nullptr;
bool g_startUpApplyWaits = false;

// A choice that has not come within this time (a tables folder on a share
// that does not answer) is given up: the defaults stay.
constexpr DWORD kTableChoiceWaitMs = 10000;

DWORD WINAPI TableChoiceThreadProc(LPVOID parameter)
{
    TableChoiceRun* run = static_cast<TableChoiceRun*>(parameter);
    run->chosen = ChooseTablesFromFolder(run->folder, run->readerTag);
    PostMessageW(run->window, WM_APP_TABLES_CHOSEN, 0, 0);
    return 0;
}

void PlanTableChoice(HWND window, const std::wstring& settingsPath)
{
    const std::wstring readerTag = UiLanguageTag();
    if (DefaultsServe(readerTag))
        return;
    const std::wstring folder = ResolveTablesFolder(settingsPath);
    if (!folder.empty())
        g_tableChoice = new TableChoiceRun{window, folder, readerTag, DefaultTables()};
}

// False when there is no choice to make, or no thread to make it on: the
// defaults stay.
bool StartTableChoice()
{
    if (g_tableChoice == nullptr || g_tableChoiceThread != nullptr)
        return g_tableChoice != nullptr;
    g_tableChoiceThread = CreateThread(nullptr, 0, TableChoiceThreadProc, g_tableChoice, 0, nullptr);
    if (g_tableChoiceThread == nullptr) {
        delete g_tableChoice;
        g_tableChoice = nullptr;
        return false;
    }
    SetThreadPriority(g_tableChoiceThread, THREAD_PRIORITY_BELOW_NORMAL);
    return true;
}

// Until the thread ends, answering the messages sent to this thread's
// windows meanwhile; false when it did not end in time.
bool AwaitTableChoice()
{
    const DWORD deadline = GetTickCount() + kTableChoiceWaitMs;
    while (WaitForSingleObject(g_tableChoiceThread, 0) == WAIT_TIMEOUT) {
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return false;
        WaitAnsweringSentMessages(&g_tableChoiceThread, 1, deadline);
    }
    return true;
}

void SetCheck(HWND box, bool checked)
{
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring StoredOr(const std::wstring& stored, const wchar_t* fallback)
{
    return stored == kNotStored ? std::wstring(fallback) : stored;
}

} // namespace

void LoadMainWindowSettings(HWND window)
{
    const std::wstring path = GetSettingsFilePath();
    if (path.empty())
        return;

    const std::wstring literaryTable = ReadSettingText(path, L"Liblouis", L"LiteraryTable", kNotStored);
    const std::wstring computerTable = ReadSettingText(path, L"Liblouis", L"ComputerBrailleTable", kNotStored);
    const std::wstring mathTable = ReadSettingText(path, L"Liblouis", L"MathTable", kNotStored);
    const std::wstring literaryText = ReadSettingText(path, L"Liblouis", L"DisplayLiteraryBraille", L"1");
    const std::wstring contractedText = ReadSettingText(path, L"Liblouis", L"UseContractedBrailleInput", L"0");
    const std::wstring visualizerText = ReadSettingText(path, L"Settings", L"ShowBrailleVisualizer", L"0");
    const std::wstring hybridText = ReadSettingText(path, L"Settings", L"HybridPrintAndBrailleMode", L"0");
    const std::wstring paddingText = ReadSettingText(path, L"Settings", L"BrailleLinePadding", kDefaultLinePadding);
    const std::wstring sixDotText = ReadSettingText(path, L"Settings", L"ForceSixDotBraille", kDefaultSixDot);

    // The names start out as applied: the start-up apply sends no tables,
    // unless it sends those chosen for the reader's language.
    g_literaryTable = g_appliedLiteraryTable = StoredOr(literaryTable, kDefaultLiteraryTable);
    g_computerTable = g_appliedComputerTable = StoredOr(computerTable, kDefaultComputerTable);
    g_mathTable = g_appliedMathTable = StoredOr(mathTable, kDefaultMathTable);
    if (literaryTable == kNotStored && computerTable == kNotStored && mathTable == kNotStored)
        PlanTableChoice(window, path);

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

void ApplyLoadedSettings(HWND window)
{
    if (g_tableChoice == nullptr) {
        ApplySettings(window);
        return;
    }
    // A timer's message comes once the thread has nothing else to do.
    g_startUpApplyWaits = true;
    SetTimer(window, kTableChoiceTimerId, USER_TIMER_MINIMUM, nullptr);
}

void StartTableChoiceWhenIdle(HWND window)
{
    KillTimer(window, kTableChoiceTimerId);
    if (!StartTableChoice())
        SettleTableChoice(window);
}

void SettleTableChoice(HWND window)
{
    if (StartTableChoice()) {
        if (!AwaitTableChoice()) {
            AbandonTableChoice();
        } else {
            g_literaryTable = g_tableChoice->chosen.literary;
            g_computerTable = g_tableChoice->chosen.computer;
            g_mathTable = g_tableChoice->chosen.math;
            CloseHandle(g_tableChoiceThread);
            g_tableChoiceThread = nullptr;
            delete g_tableChoice;
            g_tableChoice = nullptr;
        }
    }
    if (g_startUpApplyWaits) {
        g_startUpApplyWaits = false;
        KillTimer(window, kTableChoiceTimerId);
        ApplySettings(window);
    }
}

void AbandonTableChoice()
{
    // A thread that still runs may write its record: it is left to it.
    if (g_tableChoiceThread != nullptr)
        CloseHandle(g_tableChoiceThread);
    else
        delete g_tableChoice;
    g_tableChoiceThread = nullptr;
    g_tableChoice = nullptr;
}
