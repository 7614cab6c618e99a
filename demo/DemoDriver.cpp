// Shows Lumibrel on a display nobody watches: starts the program, saves a
// picture of the main window and of both dialogs, then ends it with Exit.
// Usage: lumibrel_demo_driver <Lumibrel.exe> <folder for the pictures>
// Returns Lumibrel's exit code, or 90 and up when the demo itself failed.

#include "app/ControlIds.h"

#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (processId == search->processId && lstrcmpW(name, search->className) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        WindowSearch search = {processId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

bool WaitWindowGone(HWND window, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
    return true;
}

// Copies the window's screen area into a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& path)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, previous);
        GdiFlush();

        const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
        const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
        header.bfSize = header.bfOffBits + imageBytes;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            saved = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
                    WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                    WriteFile(file, bits, imageBytes, &written, nullptr);
            CloseHandle(file);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

void Command(HWND window, int id)
{
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// Opens a dialog from the main window, pictures it and cancels it.
bool PictureDialog(DWORD processId, HWND main, int openId, const wchar_t* className, int cancelId,
                   const std::wstring& path)
{
    Command(main, openId);
    HWND dialog = WaitForWindow(processId, className, 10000);
    if (dialog == nullptr) {
        std::fwprintf(stderr, L"demo: %ls did not open\n", className);
        return false;
    }
    Sleep(500);
    const bool saved = SaveWindowPicture(dialog, path);
    Command(dialog, cancelId);
    return WaitWindowGone(dialog, 10000) && saved;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: lumibrel_demo_driver <Lumibrel.exe> <picture folder>\n");
        return 90;
    }
    const std::wstring program = argv[1];
    const std::wstring pictures = std::wstring(argv[2]) + L"\\";

    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fwprintf(stderr, L"demo: cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
        return 91;
    }
    CloseHandle(process.hThread);

    int result = 92;
    HWND main = WaitForWindow(process.dwProcessId, LUMIBREL_MAIN_WINDOW_CLASS, 15000);
    if (main != nullptr) {
        Sleep(1500); // let the display component start and report
        bool pictured = SaveWindowPicture(main, pictures + L"main-window.bmp");
        pictured = PictureDialog(process.dwProcessId, main, IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS,
                                 IDC_TABLES_CANCEL, pictures + L"tables-dialog.bmp") && pictured;
        pictured = PictureDialog(process.dwProcessId, main, IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS,
                                 IDC_MARKING_CANCEL, pictures + L"marking-dialog.bmp") && pictured;
        Command(main, IDC_EXIT);
        if (WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result = pictured ? static_cast<int>(code) : 93;
        } else {
            std::fwprintf(stderr, L"demo: Lumibrel did not end after Exit\n");
            TerminateProcess(process.hProcess, 94);
            result = 94;
        }
    } else {
        std::fwprintf(stderr, L"demo: the main window did not appear\n");
        TerminateProcess(process.hProcess, 92);
    }
    CloseHandle(process.hProcess);
    return result;
}
