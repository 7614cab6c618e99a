#include "app/DialogFont.h"

namespace {

// The font a window's children draw with lives as long as the window.
constexpr wchar_t kFontProperty[] = L"LumibrelMessageFont";

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// Looked up at run time: systems before Windows 10 lack them.
template <typename Function> Function User32Function(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font)
{
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
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
