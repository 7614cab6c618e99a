#include "mainwindow/MainWindow.h"

#include "api/ApiWorker.h"
#include "api/ApplySettings.h"
#include "marking/MarkingDialog.h"
#include "process/Shell.h"
#include "resources/resource.h"
#include "tables/TablesDialog.h"
#include "windowkit/ControlIds.h"
#include "windowkit/DialogKeys.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/TextRules.h"
#include "windowkit/WindowParts.h"

BYTE g_hybridModeAvailable = 1;

namespace {

bool g_nameNotKeptTold = false;

// When Windows ends the session, the queued applies and the stop must fit in
// the few seconds Windows allows (Exit's bounds are in api/ApiWorker.h).
constexpr DWORD kEndSessionWorkWaitMs = 3000;
constexpr DWORD kEndSessionShutdownWaitMs = 1500;

void BringForward(HWND window)
{
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    BringWindowToTop(window);
}

// The hot key and a second start come back to where the user was. While a
// dialog or message box holds the window disabled, that one comes forward
// with its focus as it was; otherwise the window, on its first control.
void ShowSettings(HWND window)
{
    HWND popup = GetLastActivePopup(window);
    if (!IsWindowEnabled(window) && popup != nullptr && popup != window) {
        // A minimized window hides its dialogs with it: restored, it shows them again.
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(popup);
        BringWindowToTop(popup);
        return;
    }
    BringForward(window);
    FocusFirstControl();
}

// A failed apply must not leave the user with a program they cannot end.
bool ExitAnyway(HWND window, ApplyResult result)
{
    const UINT question = result == ApplyNotHanded ? IDS_ASK_EXIT_NOT_HANDED : IDS_ASK_EXIT_UNSAVED;
    return ShowResourceMessage(window, question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void ShowAboutBox(HWND window)
{
    const std::wstring name = LoadResourceString(IDS_APP_TITLE);
    const std::wstring version = LoadResourceString(IDS_VERSION);
    const std::wstring notice = LoadResourceString(IDS_ABOUT_NOTICE);
    std::wstring text = name;
    if (!version.empty()) {
        const std::wstring values[] = {name, version};
        text = FillPlaceholders(LoadResourceString(IDS_ABOUT_LINE), values);
    }
    if (!notice.empty())
        text += L"\n\n" + notice;
    ShowMessageBox(window, text, MB_OK | MB_ICONINFORMATION);
}

// Enter and Escape arrive here too, as OK and Cancel, from the key filter.
bool HandleMainCommand(HWND window, int id)
{
    switch (id) {
    case IDC_DISPLAY_LITERARY_BRAILLE:
        // Contracted input never stays on without literary braille.
        if (g_hwndDisplayLiteraryBraille != nullptr && g_hwndUseContractedBrailleInput != nullptr &&
            !IsChecked(g_hwndDisplayLiteraryBraille))
            SendMessageW(g_hwndUseContractedBrailleInput, BM_SETCHECK, BST_UNCHECKED, 0);
        return true;
    case IDC_USE_CONTRACTED_BRAILLE_INPUT:
        if (g_hwndDisplayLiteraryBraille != nullptr && g_hwndUseContractedBrailleInput != nullptr &&
            IsChecked(g_hwndUseContractedBrailleInput))
            SendMessageW(g_hwndDisplayLiteraryBraille, BM_SETCHECK, BST_CHECKED, 0);
        return true;
    case IDC_SET_TABLES:
        ShowTablesDialog(window);
        return true;
    case IDC_MARKING:
        ShowMarkingDialog(window);
        return true;
    case IDC_APPLY:
        ApplySettings(window);
        return true;
    case IDC_OK:
        if (ApplySettings(window) == ApplyQueued)
            ShowWindow(window, SW_HIDE);
        return true;
    case IDC_CANCEL:
        ShowWindow(window, SW_HIDE);
        return true;
    case IDC_ABOUT:
        ShowAboutBox(window);
        return true;
    case IDC_EXIT: {
        const ApplyResult result = ApplySettings(window);
        if (result == ApplyQueued || ExitAnyway(window, result)) {
            // A crash while the component stops must not bring the program back.
            UnregisterApplicationRestart();
            DestroyWindow(window);
        }
        return true;
    }
    default:
        return false;
    }
}

void OnHybridAvailability(WPARAM available)
{
    g_hybridModeAvailable = available != 0 ? 1 : 0;
    if (g_hwndHybridPrintAndBrailleMode == nullptr)
        return;
    if (available == 0)
        SendMessageW(g_hwndHybridPrintAndBrailleMode, BM_SETCHECK, BST_UNCHECKED, 0);
    EnableWindow(g_hwndHybridPrintAndBrailleMode, g_hybridModeAvailable != 0);
}

// Only a worker that has not come up in time is reported; the window did
// not wait for it.
void CheckWorkerReady(HWND window)
{
    KillTimer(window, kWorkerReadyTimerId);
    if (g_workerReadyEvent == nullptr)
        return;
    if (WaitForSingleObject(g_workerReadyEvent, 0) != WAIT_OBJECT_0) {
        ShowResourceMessage(window, IDS_WARN_WORKER_TIMEOUT, MB_ICONWARNING);
        return; // a late worker still sets it: closed at shutdown
    }
    CloseHandle(g_workerReadyEvent);
    g_workerReadyEvent = nullptr;
}

void ShutDown(HWND window)
{
    AnnounceEnding();
    AbandonTableChoice();
    UnregisterHotKey(window, kHotKeyId);
    KillTimer(window, kWorkerReadyTimerId);
    StopApiWorker(kQueuedWorkWaitMs, kWorkerShutdownWaitMs);
    if (g_workerReadyEvent != nullptr) {
        CloseHandle(g_workerReadyEvent);
        g_workerReadyEvent = nullptr;
    }
    if (g_singleInstanceMutex != nullptr) {
        CloseHandle(g_singleInstanceMutex);
        g_singleInstanceMutex = nullptr;
    }
    PostQuitMessage(0);
}

} // namespace

bool IsChecked(HWND box)
{
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FocusFirstControl()
{
    if (g_hwndDisplayLiteraryBraille != nullptr)
        SetFocus(g_hwndDisplayLiteraryBraille);
    else if (g_hwndSetTables != nullptr)
        SetFocus(g_hwndSetTables);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT look = 0;
    if (HandleWindowLook(window, message, wParam, lParam, LayOutMainWindow, look))
        return look;
    switch (message) {
    case WM_CREATE:
        CreateMainWindowControls(window);
        return 0;
    case WM_DESTROY:
        ShutDown(window);
        return 0;
    case WM_SETFOCUS:
        FocusFirstControl();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The process may be ended as soon as this returns: what was applied
        // reaches the display and the component is stopped first. What the
        // user has not applied is not applied. Sent during Exit's wait, it
        // hurries that shutdown on instead of starting another.
        if (wParam) {
            StopApiWorker(kEndSessionWorkWaitMs, kEndSessionShutdownWaitMs);
            if (lParam & ENDSESSION_CLOSEAPP)
                PostQuitMessage(0);
        }
        return 0;
    case WM_CLOSE:
        // Closing only hides: the display keeps working until Exit.
        ShowWindow(window, SW_HIDE);
        return 0;
    case WM_NEXTDLGCTL:
        MoveDialogFocus(window, wParam, lParam);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            break;
        if (HandleMainCommand(window, LOWORD(wParam)))
            return 0;
        break;
    case WM_HOTKEY:
        if (wParam != kHotKeyId)
            break;
        QueueApiWork(WM_APP_API_REFRESH);
        ShowSettings(window);
        return 0;
    case WM_APP_SHOW_SETTINGS:
        ShowSettings(window);
        return 0;
    case WM_TIMER:
        if (wParam == kTableChoiceTimerId) {
            StartTableChoiceWhenIdle(window);
            return 0;
        }
        if (wParam != kWorkerReadyTimerId)
            break;
        CheckWorkerReady(window);
        return 0;
    case WM_APP_API_STARTED:
        OnHybridAvailability(wParam);
        return 0;
    case WM_APP_TABLES_CHOSEN:
        SettleTableChoice(window);
        return 0;
    case WM_APP_NAME_NOT_KEPT:
        if (!g_nameNotKeptTold) {
            g_nameNotKeptTold = true; // once a run: every later apply would say the same
            ShowResourceMessage(window, IDS_WARN_NAME_NOT_KEPT, MB_ICONWARNING);
        }
        return 0;
    case WM_APP_API_UNAVAILABLE:
        // Without this the user would believe every choice reaches the display.
        // The worker posts it at most once, when it gives up on the component.
        ShowResourceMessage(window, IDS_WARN_NO_COMPONENT, MB_ICONWARNING);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
