// Starts Lumibrel with the settings folder given. Wine hands a program
// started from a shell its prefix's own profile folders, whatever
// LOCALAPPDATA says; a program started from here keeps what it is given.
// With a picture folder, for a display nobody watches: saves a picture of
// the main window and of both dialogs, then ends it with Exit. Without one:
// waits until the user ends it.
// Usage: lumibrel_demo_driver <Lumibrel.exe> <LOCALAPPDATA> [<picture folder>]
// Returns Lumibrel's exit code, or 90 and up when the demo itself failed.

#include "tests/driver/Driver.h"
#include "windowkit/ControlIds.h"

#include <cstdio>
#include <string>

namespace {

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

// Opens a dialog from the main window, pictures it and cancels it.
bool PictureDialog(DWORD processId, HWND main, int openId, const wchar_t* className, int cancelId,
                   const std::wstring& path)
{
    driver::postClick(GetDlgItem(main, openId));
    HWND dialog = driver::waitForWindow(processId, className);
    if (dialog == nullptr) {
        std::fwprintf(stderr, L"demo: %ls did not open\n", className);
        return false;
    }
    driver::pump(std::chrono::milliseconds(500));
    const bool saved = SaveWindowPicture(dialog, path);
    driver::postClick(GetDlgItem(dialog, cancelId));
    return driver::gone(dialog) && saved;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: lumibrel_demo_driver <Lumibrel.exe> <LOCALAPPDATA> [<picture folder>]\n");
        return 90;
    }
    std::unique_ptr<driver::Process> program;
    try {
        program = driver::startProcess(argv[1], {{L"LOCALAPPDATA", argv[2]}}); // and what else run.sh prepared
    } catch (const std::exception& error) {
        std::fprintf(stderr, "demo: %s\n", error.what());
        return 91;
    }
    if (argc < 4) {
        const std::optional<DWORD> code = program->waitForExit(driver::Millis(INFINITE));
        return code ? static_cast<int>(*code) : 94;
    }
    const std::wstring pictures = std::wstring(argv[3]) + L"\\";
    HWND main = driver::waitForWindow(program->pid(), LUMIBREL_MAIN_WINDOW_CLASS);
    if (main == nullptr) {
        std::fwprintf(stderr, L"demo: the main window did not appear\n");
        return 92;
    }
    driver::pump(std::chrono::milliseconds(1500)); // let the display component start and report
    bool pictured = SaveWindowPicture(main, pictures + L"main-window.bmp");
    pictured = PictureDialog(program->pid(), main, IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS, IDC_TABLES_CANCEL,
                             pictures + L"tables-dialog.bmp") &&
               pictured;
    pictured = PictureDialog(program->pid(), main, IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS, IDC_MARKING_CANCEL,
                             pictures + L"marking-dialog.bmp") &&
               pictured;
    driver::postClick(GetDlgItem(main, IDC_EXIT));
    const std::optional<DWORD> code = program->waitForExit();
    if (!code) {
        std::fwprintf(stderr, L"demo: Lumibrel did not end after Exit\n");
        return 94; // the Process kills it on the way out
    }
    return pictured ? static_cast<int>(*code) : 93;
}
