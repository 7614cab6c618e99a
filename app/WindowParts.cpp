#include "app/WindowParts.h"

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

HWND CreateChildControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                        int width, int height, int id)
{
    return CreateWindowExW(0, className, text.c_str(), style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void KeepCreationState(HWND window, LPARAM createStruct)
{
    const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}
