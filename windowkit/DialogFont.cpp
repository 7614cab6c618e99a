#include "windowkit/DialogFont.h"

#include "windowkit/DialogKeys.h"
#include "windowkit/WindowParts.h"

#include <algorithm>
#include <string>

namespace {

// The font a window's children draw with lives as long as the window.
constexpr wchar_t kFontProperty[] = L"LumibrelMessageFont";

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

// Looked up at run time: systems before Windows 10 lack them.
template <typename Function> Function User32Function(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font)
{
    // A window not shown yet is drawn once it is: no redraw now.
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), IsWindowVisible(GetParent(child)));
    return TRUE;
}

// The extent DrawText gives counts advances only. Drawn, a glyph's ink may
// reach past its advance (a negative overhang of the last character, or
// before the start, of the first), and each glyph is placed on a whole
// pixel, which may end the text one pixel later than the extent says.
int TextWidth(HDC dc, const std::wstring& text, UINT format)
{
    RECT drawn = {};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &drawn, DT_CALCRECT | DT_SINGLELINE | format);
    int width = drawn.right - drawn.left;
    std::wstring shown = text;
    if ((format & DT_NOPREFIX) == 0)
        std::erase(shown, L'&');
    if (!shown.empty()) {
        ABC first = {};
        ABC last = {};
        if (GetCharABCWidthsW(dc, shown.front(), shown.front(), &first))
            width += std::max(0, -first.abcA);
        if (GetCharABCWidthsW(dc, shown.back(), shown.back(), &last))
            width += std::max(0, -last.abcC);
        ++width;
    }
    return width;
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The pixels a control's text needs, with room around it as the control
// draws it; 0 for a kind of control that holds no text of ours.
int PixelsNeeded(HWND control, HDC dc, UINT dpi, const TEXTMETRICW& metrics)
{
    static const auto metricsForDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    wchar_t kind[16] = L"";
    GetClassNameW(control, kind, 16);
    const int average = metrics.tmAveCharWidth;
    if (lstrcmpiW(kind, L"Static") == 0)
        return TextWidth(dc, WindowText(control), 0);
    if (lstrcmpiW(kind, L"Button") == 0) {
        const bool box = IsToggleButton(control);
        // The box is as tall as the text, with a gap after it and the focus
        // frame around the text; a push button's frame and margins.
        return TextWidth(dc, WindowText(control), 0) + (box ? metrics.tmHeight + 2 * average : 3 * average);
    }
    if (lstrcmpiW(kind, L"ComboBox") == 0) {
        int widest = 0;
        const LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            if (length == CB_ERR)
                continue;
            std::wstring item(static_cast<size_t>(length) + 1, L'\0');
            item.resize(
                static_cast<size_t>(std::max<LRESULT>(0, SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                                                      reinterpret_cast<LPARAM>(item.data())))));
            widest = std::max(widest, TextWidth(dc, item, DT_NOPREFIX));
        }
        const int arrow = metricsForDpi != nullptr ? metricsForDpi(SM_CXVSCROLL, dpi) : GetSystemMetrics(SM_CXVSCROLL);
        return widest + arrow + 3 * average;
    }
    return 0;
}

} // namespace

UINT WindowDpi(HWND window)
{
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

LayoutScale UseMessageFont(HWND window, UINT dpi)
{
    static const auto parametersForDpi = User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    bool found = parametersForDpi != nullptr &&
                 parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi) != FALSE;
    if (!found)
        found = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE;
    if (!found)
        return LayoutScaleFor(static_cast<int>(dpi), 0);

    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    if (font != nullptr) {
        EnumChildWindows(window, SetChildFont, reinterpret_cast<LPARAM>(font));
        ReleaseMessageFont(window);
        SetPropW(window, kFontProperty, font);
    }
    return LayoutScaleFor(static_cast<int>(dpi), metrics.lfMessageFont.lfHeight);
}

void ReleaseMessageFont(HWND window)
{
    HANDLE font = RemovePropW(window, kFontProperty);
    if (font != nullptr)
        DeleteObject(static_cast<HFONT>(font));
}

std::vector<int> TextWidthsNeeded(HWND window, std::span<const ControlPlace> layout, LayoutScale scale)
{
    const std::vector<HWND> children = ChildrenOfLayout(window, layout);
    std::vector<int> needed(layout.size(), 0);
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return needed;
    const UINT dpi = WindowDpi(window);
    // The controls share one font: it is selected, and measured, once.
    HGDIOBJ selected = nullptr;
    HGDIOBJ previous = nullptr;
    TEXTMETRICW metrics = {};
    for (size_t row = 0; row < layout.size(); ++row) {
        if (children[row] == nullptr)
            continue;
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(children[row], WM_GETFONT, 0, 0));
        if (font == nullptr)
            font = GetStockObject(DEFAULT_GUI_FONT);
        if (font != selected) {
            HGDIOBJ replaced = SelectObject(dc, font);
            previous = previous != nullptr ? previous : replaced;
            selected = font;
            GetTextMetricsW(dc, &metrics);
        }
        needed[row] = UnscaledUp(PixelsNeeded(children[row], dc, dpi, metrics), scale);
    }
    if (previous != nullptr)
        SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return needed;
}
