#include "windowkit/WindowParts.h"

#include "windowkit/DialogFont.h"
#include "windowkit/DialogKeys.h"

#include <algorithm>

bool RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

HWND CreateChildControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id)
{
    return CreateWindowExW(0, className, text.c_str(), style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

std::vector<HWND> ChildrenOfLayout(HWND window, std::span<const ControlPlace> layout)
{
    std::vector<HWND> children(layout.size(), nullptr);
    size_t row = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        while (row < layout.size() && layout[row].id != id)
            ++row;
        if (row == layout.size())
            break;
        children[row++] = child;
    }
    return children;
}

void PlaceControls(HWND window, std::span<const ControlPlace> layout, LayoutScale scale)
{
    const std::vector<HWND> children = ChildrenOfLayout(window, layout);
    const auto place = [&](size_t row, HDWP moves) {
        const ControlPlace& at = layout[row];
        const int x = Scaled(at.x, scale);
        const int y = Scaled(at.y, scale);
        const int width = Scaled(at.width, scale);
        const int height = Scaled(at.height, scale);
        if (moves != nullptr)
            return DeferWindowPos(moves, children[row], nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        MoveWindow(children[row], x, y, width, height, TRUE);
        return moves;
    };
    // All moved in one go, one pass of the window manager rather than one a
    // control; one by one where the system cannot batch them.
    HDWP moves = BeginDeferWindowPos(static_cast<int>(layout.size()));
    for (size_t row = 0; row < layout.size() && moves != nullptr; ++row)
        if (children[row] != nullptr)
            moves = place(row, moves);
    if (moves != nullptr && EndDeferWindowPos(moves))
        return;
    for (size_t row = 0; row < layout.size(); ++row)
        if (children[row] != nullptr)
            place(row, nullptr);
}

namespace {

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    return monitor.rcWork;
}

bool IsComboBox(HWND control)
{
    wchar_t kind[16] = L"";
    return control != nullptr && GetClassNameW(control, kind, 16) > 0 && lstrcmpiW(kind, L"ComboBox") == 0;
}

} // namespace

void PlaceControlsForTexts(HWND window, std::span<const ControlPlace> layout, LayoutScale scale, SIZE windowSize)
{
    const std::vector<HWND> children = ChildrenOfLayout(window, layout);
    const std::vector<int> needed = TextWidthsNeeded(window, layout, scale);
    // A combo box grows for its longest item only as far as the window stays
    // on the screen; its dropped list is as wide as that item all the same.
    std::vector<bool> combo(children.size());
    for (size_t row = 0; row < children.size(); ++row)
        combo[row] = IsComboBox(children[row]);
    const RECT work = WorkAreaOf(window);
    const GrownLayout grown =
        GrowToFitWithin(layout, needed, combo, Unscaled(work.right - work.left, scale) - windowSize.cx);
    PlaceControls(window, grown.places, scale);
    for (size_t row = 0; row < children.size(); ++row)
        if (combo[row])
            SendMessageW(children[row], CB_SETDROPPEDWIDTH, static_cast<WPARAM>(Scaled(needed[row], scale)), 0);
    FitWindow(window, Scaled(windowSize.cx + grown.extraWidth, scale), Scaled(windowSize.cy, scale));
}

void FitWindow(HWND window, int width, int height)
{
    RECT frame = {};
    GetWindowRect(window, &frame);
    const RECT work = WorkAreaOf(window);
    width = std::min(width, static_cast<int>(work.right - work.left));
    height = std::min(height, static_cast<int>(work.bottom - work.top));
    frame.left = std::clamp(frame.left, work.left, work.right - width);
    frame.top = std::clamp(frame.top, work.top, work.bottom - height);
    SetWindowPos(window, nullptr, frame.left, frame.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT CentredOverOwner(HWND owner, int width, int height)
{
    RECT frame = {};
    GetWindowRect(owner, &frame);
    const RECT work = WorkAreaOf(owner);
    return {CentredStart(frame.left, frame.right - frame.left, width, work.left, work.right - work.left),
            CentredStart(frame.top, frame.bottom - frame.top, height, work.top, work.bottom - work.top)};
}

void CentreOverOwner(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner == nullptr)
        return;
    RECT frame = {};
    GetWindowRect(window, &frame);
    const POINT place = CentredOverOwner(owner, frame.right - frame.left, frame.bottom - frame.top);
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool HandleWindowLook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void (*layOut)(HWND), LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // The system's window colours, so that a high-contrast theme reaches
        // every label too, without a grey box around it.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        return true;
    }
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        layOut(window);
        result = 0;
        return true;
    }
    case WM_SETTINGCHANGE:
        // A new text size comes as new metrics for the message font.
        if (wParam == SPI_SETNONCLIENTMETRICS ||
            (lParam != 0 && lstrcmpW(reinterpret_cast<const wchar_t*>(lParam), L"WindowMetrics") == 0))
            layOut(window);
        return false; // others may listen too
    case WM_NCDESTROY:
        ReleaseMessageFont(window);
        return false; // the platform still has its part to do
    default:
        return false;
    }
}

void WaitAnsweringSentMessages(const HANDLE* handles, DWORD count, const DWORD& deadline)
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT))
        DispatchMessageW(&message);
    const LONG left = static_cast<LONG>(deadline - GetTickCount());
    MsgWaitForMultipleObjects(count, handles, FALSE, left > 0 ? static_cast<DWORD>(left) : 0,
                              QS_SENDMESSAGE | QS_PAINT);
}

void KeepCreationState(HWND window, LPARAM createStruct)
{
    const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

bool AnswerModalDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, ModalDialogParts parts,
                              ModalDialogState*& state, LRESULT& result)
{
    if (message == WM_NCCREATE) {
        KeepCreationState(dialog, lParam);
        result = DefWindowProcW(dialog, message, wParam, lParam);
        return true;
    }
    state = CreationState<ModalDialogState>(dialog);
    if (state == nullptr) {
        result = DefWindowProcW(dialog, message, wParam, lParam);
        return true;
    }
    result = 0;
    if (message == WM_CREATE) {
        parts.create(dialog);
        CentreOverOwner(dialog);
        return true;
    }
    if (HandleModalDialogMessage(dialog, state->owner, state->lastFocus, message, wParam, lParam))
        return true;
    return HandleWindowLook(dialog, message, wParam, lParam, parts.layOut, result);
}
