#include "windowkit/ResourceMessage.h"

#include "resources/resource.h"

std::wstring LoadResourceString(UINT id)
{
    wchar_t buffer[512] = {};
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 512);
    if (length < 1)
        return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(length));
}

bool ReadsRightToLeft()
{
    // Each translation says its own direction: a language the program has
    // no texts for reads its English ones left to right.
    static const bool rightToLeft = LoadResourceString(IDS_LAYOUT_DIRECTION) == L"RTL";
    return rightToLeft;
}

DWORD MirroredStyle()
{
    return ReadsRightToLeft() ? WS_EX_LAYOUTRTL : 0;
}

int ShowMessageBox(HWND owner, const std::wstring& text, UINT flags)
{
    const std::wstring caption = LoadResourceString(IDS_APP_TITLE);
    if (ReadsRightToLeft())
        flags |= MB_RTLREADING | MB_RIGHT;
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

int ShowResourceMessage(HWND owner, UINT id, UINT flags)
{
    return ShowMessageBox(owner, LoadResourceString(id), flags);
}
