#include "app/ResourceMessage.h"

#include "resources/resource.h"

std::wstring LoadResourceString(UINT id)
{
    wchar_t buffer[512] = {};
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 512);
    if (length < 1)
        return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(length));
}

int ShowResourceMessage(HWND owner, UINT id, UINT flags)
{
    const std::wstring caption = LoadResourceString(IDS_APP_TITLE);
    const std::wstring text = LoadResourceString(id);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}
