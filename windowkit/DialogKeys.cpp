#include "windowkit/DialogKeys.h"

#include "windowkit/TextRules.h"

#include <optional>

bool IsButtonWindow(HWND window)
{
    if (window == nullptr)
        return false;
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) < 1)
        return false;
    return lstrcmpiW(name, L"Button") == 0;
}

static bool IsWithin(HWND candidate, HWND window)
{
    return candidate != nullptr && (candidate == window || IsChild(window, candidate));
}

bool SameKeyIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsToggleButton(HWND button)
{
    switch (GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

bool HandleDialogKeys(const MSG& message, HWND window, int okId, int cancelId)
{
    if (window == nullptr || message.message != WM_KEYDOWN)
        return false;
    if (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE)
        return false;
    if (!IsWithin(message.hwnd, window))
        return false;

    int id = cancelId;
    if (message.wParam == VK_RETURN) {
        HWND focus = GetFocus();
        if (!IsWithin(focus, window))
            focus = message.hwnd;
        id = okId;
        if (IsButtonWindow(focus) && !IsToggleButton(focus))
            id = GetDlgCtrlID(focus);
    }

    HWND control = GetDlgItem(window, id);
    if (control == nullptr)
        return false;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return true;
}

void MoveDialogFocus(HWND window, WPARAM wParam, LPARAM lParam)
{
    HWND target = nullptr;
    if (LOWORD(lParam) != 0)
        target = reinterpret_cast<HWND>(wParam);
    else
        target = GetNextDlgTabItem(window, GetFocus(), wParam != 0);
    if (target != nullptr && IsWithin(target, window))
        SetFocus(target);
}

// A dialog destroyed from a sent message (an assistive tool pressing OK)
// posts nothing, so RunModalLoop would sleep on in GetMessageW with the owner
// disabled; a posted message wakes it, as EndDialog does for template dialogs.
static void WakeModalLoop(HWND owner)
{
    PostMessageW(owner, WM_NULL, 0, 0);
}

void EndModalDialog(HWND owner, HWND dialog)
{
    EnableWindow(owner, TRUE);
    DestroyWindow(dialog);
}

// When the dialog is left, its focused control is kept; when it is
// activated again, the focus goes back there (or to the first control)
// rather than to the frame.
static void KeepDialogFocus(HWND dialog, WPARAM activation, HWND& lastFocus)
{
    if (LOWORD(activation) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(dialog, focus))
            lastFocus = focus;
        return;
    }
    if (HIWORD(activation) != 0)
        return; // minimized
    if (lastFocus == nullptr || !IsWindow(lastFocus) || !IsChild(dialog, lastFocus))
        lastFocus = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (lastFocus != nullptr)
        SetFocus(lastFocus);
}

bool HandleModalDialogMessage(HWND dialog, HWND owner, HWND& lastFocus, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        EndModalDialog(owner, dialog);
        return true;
    case WM_NEXTDLGCTL:
        MoveDialogFocus(dialog, wParam, lParam);
        return true;
    case WM_ACTIVATE:
        KeepDialogFocus(dialog, wParam, lastFocus);
        return true;
    case WM_DESTROY:
        WakeModalLoop(owner);
        return false; // the platform still has its part to do
    default:
        return false;
    }
}

bool HandleAccessKey(const MSG& message, HWND window)
{
    if (message.message != WM_SYSCHAR || window == nullptr ||
        (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    const wchar_t typed = static_cast<wchar_t>(message.wParam);
    for (HWND control = GetWindow(window, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control) || !IsWindowEnabled(control))
            continue;
        const LRESULT code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
        if ((code & (DLGC_BUTTON | DLGC_STATIC)) == 0)
            continue;
        wchar_t text[256] = {};
        GetWindowTextW(control, text, 256);
        const std::optional<wchar_t> key = AccessKeyOf(text);
        if (!key || !SameKeyIgnoringCase(std::wstring_view(&*key, 1), std::wstring_view(&typed, 1)))
            continue;
        if ((code & DLGC_STATIC) != 0)
            SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetNextDlgTabItem(window, control, FALSE)),
                         TRUE);
        else
            SendMessageW(control, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

void RunModalLoop(HWND owner, HWND dialog, int okId, int cancelId)
{
    EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);

    bool quitSeen = false;
    int quitCode = 0;
    MSG message = {};
    while (IsWindow(dialog)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got < 1) {
            if (got == 0) {
                quitSeen = true;
                quitCode = static_cast<int>(message.wParam);
            }
            break;
        }
        if (HandleDialogKeys(message, dialog, okId, cancelId) || HandleAccessKey(message, dialog))
            continue;
        if (IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    // The caller's per-opening state must outlive the window. A dialog ended
    // by OK, Cancel or its close box has already enabled the owner.
    if (IsWindow(dialog))
        EndModalDialog(owner, dialog);
    else if (!IsWindowEnabled(owner))
        EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    if (quitSeen)
        PostQuitMessage(quitCode);
}
