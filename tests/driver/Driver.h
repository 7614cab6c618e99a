// Starts the built Lumibrel.exe with the simulated display component and
// watches it from outside, as a user or the component would: windows, message
// boxes, keys, debug output, the component's journal, the settings file.
// Shared by the tests, the benchmark and the demo. Every wait is bounded.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace driver {
using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;
inline constexpr Millis kTimeout = 15s; // only a broken program makes anybody wait this long

std::string utf8(std::wstring_view text);
bool waitUntil(const std::function<bool()>& condition, Millis timeout = kTimeout); // pumps this thread meanwhile
void pump(Millis duration);

std::wstring join(const std::wstring& folder, const std::wstring& name);
std::string readBytes(const std::wstring& path);
void writeText(const std::wstring& path, std::wstring_view text); // UTF-16 with a byte order mark
void makeFolders(const std::wstring& path);
void removeTree(const std::wstring& path);
std::wstring languageCode(); // the UI language as the platform names it ("ENU")
// An INI file as the platform's reader gives it: sections and their lines.
using Ini = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;
Ini readIni(const std::wstring& path);
std::optional<std::wstring> iniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key);

std::vector<HWND> windowsOf(DWORD pid, const wchar_t* className = nullptr, bool visibleOnly = true);
HWND waitForWindow(DWORD pid, const wchar_t* className, Millis timeout = kTimeout);
std::wstring classOf(HWND window);
LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0); // -1 from a hung window
std::wstring textOf(HWND window);
std::vector<std::wstring> comboItems(HWND combo);
void choose(HWND combo, int index); // as a user's pick: the parent hears CBN_SELCHANGE
bool checked(HWND box);
HWND focusOf(HWND window);                    // the keyboard focus on that window's thread
bool click(HWND button, Millis timeout = 5s); // false while a modal window it opened runs
void postClick(HWND button);
void keys(std::initializer_list<WORD> chord); // pressed together, to the foreground window
bool toFront(HWND window);

enum class Icon { None, Error, Question, Warning, Information }; // read off the screen
struct Box {
    HWND window = nullptr, owner = nullptr;
    std::wstring caption, text;
    Icon icon = Icon::None;
};
std::optional<Box> waitForBox(DWORD pid, Millis timeout = kTimeout);
bool answer(const Box& box, int button); // presses IDOK, IDYES or IDNO and waits for the box to go

using Env = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>; // nullopt removes
struct Process { // ends the process, if it still runs, when it goes
    PROCESS_INFORMATION info{};
    Process() = default;
    Process(const Process&) = delete;
    ~Process();
    DWORD pid() const { return info.dwProcessId; }
    HANDLE handle() const { return info.hProcess; }
    std::optional<DWORD> waitForExit(Millis timeout = kTimeout) const;
    bool kill(); // whether it still ran
};
std::unique_ptr<Process> startProcess(const std::wstring& exe, const Env& env = {}, const std::wstring& folder = {},
                                      WORD show = SW_SHOWDEFAULT);

struct DebugListener;
// One run of the program: a fresh program folder with Lumibrel.exe and the
// component from `binFolder`, its own LOCALAPPDATA, journal and debug listener.
class Session {
public:
    explicit Session(const std::wstring& binFolder);
    ~Session();
    std::wstring file(const std::wstring& name) const { return join(root_, name); }
    std::wstring programFile(const std::wstring& name) const { return join(file(L"Program"), name); }
    std::wstring localAppData() const { return file(L"LocalAppData"); }
    std::wstring settingsFolder() const { return join(localAppData(), L"Cellvane\\" + languageCode()); }
    std::wstring settingsPath() const { return join(settingsFolder(), L"Cellvane.ini"); }
    std::wstring journalPath() const { return file(L"journal.txt"); }
    void writeSettings(std::wstring_view text) const;
    void writeLanguageFile(std::wstring_view text) const;

    Process& start(Env env = {}, WORD show = SW_SHOWDEFAULT);                    // from another folder
    HWND mainWindow(const Process& program, size_t applies = 1) const;           // shown, once `applies` are reported
    HWND createdWindow(const Process& program, Millis timeout = kTimeout) const; // the main window, shown or not
    std::vector<std::string> debugLines(const Process& program) const;
    size_t applies(const Process& program) const;
    bool waitForApplies(const Process& program, size_t count) const; // exactly `count` once `count` came
    std::vector<std::string> journal() const;
    // Clicks Exit, answering Yes or OK to any box, and waits; kills a program that does not end.
    std::optional<DWORD> exit(Process& program, Millis timeout = kTimeout);
    HWND otherProgramInFront(); // Notepad, where the user works meanwhile
    std::string dump() const;   // debug output and journal, for a failure message

private:
    std::wstring root_;
    std::unique_ptr<DebugListener> debug_;
    std::vector<std::unique_ptr<Process>> processes_;
    std::unique_ptr<Process> other_;
};

} // namespace driver
