#include "app/DialogFont.h"

static HFONT g_messageFont = nullptr;

static BOOL CALLBACK SetChildFont(HWND child, LPARAM font)
{
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

void UseMessageFont(HWND window)
{
    if (g_messageFont == nullptr) {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            g_messageFont = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (g_messageFont != nullptr)
        EnumChildWindows(window, SetChildFont, reinterpret_cast<LPARAM>(g_messageFont));
}

void ReleaseMessageFont()
{
    if (g_messageFont != nullptr) {
        DeleteObject(g_messageFont);
        g_messageFont = nullptr;
    }
}
