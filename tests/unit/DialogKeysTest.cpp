#include "app/DialogKeys.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

constexpr int kOk = 100, kCancel = 101, kCheck = 102, kCombo = 103;
constexpr UINT kFinish = WM_APP;    // notes the owner's state, then ends the dialog
constexpr UINT kQuit = WM_APP + 1;  // notes the owner's state, then posts WM_QUIT with wParam as its code

// A top-level window laid out like the program's dialogs, with an owner.
struct Dialog {
  explicit Dialog(bool withButtons = true);
  ~Dialog() {
    if (IsWindow(window)) DestroyWindow(window);
    DestroyWindow(owner);
  }
  HWND owner = nullptr, window = nullptr;
  HWND ok = nullptr, cancel = nullptr, check = nullptr, combo = nullptr;
  HWND focus = nullptr;  // where activation puts the focus, as a dialog does
  std::vector<int> commands;
  int ownerEnabledDuringLoop = -1;
};

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) d->commands.push_back(LOWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && d->focus != nullptr) SetFocus(d->focus);
      return 0;
    case kFinish:
    case kQuit:
      d->ownerEnabledDuringLoop = IsWindowEnabled(d->owner) ? 1 : 0;
      if (message == kQuit) PostQuitMessage(static_cast<int>(wParam));
      else DestroyWindow(window);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 10, 30 * (id - kOk), 150, 24,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

Dialog::Dialog(bool withButtons) {
  static const ATOM registered = [] {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = DialogProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"LumibrelUnitDialog";
    return RegisterClassW(&cls);
  }();
  EXPECT_NE(registered, 0);
  owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  window = CreateWindowExW(WS_EX_CONTROLPARENT, L"LumibrelUnitDialog", L"Keys", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                           50, 50, 300, 200, owner, nullptr, GetModuleHandleW(nullptr), this);
  EXPECT_NE(window, nullptr);
  if (withButtons) {
    ok = Child(window, L"Button", L"OK", BS_DEFPUSHBUTTON, kOk);
    cancel = Child(window, L"Button", L"Cancel", BS_PUSHBUTTON, kCancel);
  }
  check = Child(window, L"Button", L"&Check", BS_AUTOCHECKBOX, kCheck);
  combo = Child(window, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, kCombo);
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"en-us-g2.ctb"));
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

bool g_timedOut = false;
HWND g_running = nullptr;

void CALLBACK OnDeadline(HWND, UINT, UINT_PTR, DWORD) {
  g_timedOut = true;
  if (IsWindow(g_running)) DestroyWindow(g_running);
}

// The program's modal loop; a thread timer ends it should the dialog stay.
void RunBounded(Dialog& d) {
  g_timedOut = false;
  g_running = d.window;
  const UINT_PTR timer = SetTimer(nullptr, 0, 5000, OnDeadline);
  RunModalLoop(d.owner, d.window, kOk, kCancel);
  KillTimer(nullptr, timer);
  EXPECT_FALSE(g_timedOut);
  EXPECT_FALSE(IsWindow(d.window));
  EXPECT_EQ(d.ownerEnabledDuringLoop, 0);
  EXPECT_TRUE(IsWindowEnabled(d.owner));
}

TEST(DialogKeys, EnterAndEscapeBecomeButtonCommandsInTheModalLoop) {
  enum Target { Focused, DialogItself, CancelButton, Outside };
  const struct {
    const char* name;
    HWND Dialog::*focus;
    Target target;
    UINT message;
    WPARAM key;
    std::vector<int> commands;
  } cases[] = {
      {"enter on check box", &Dialog::check, Focused, WM_KEYDOWN, VK_RETURN, {kOk}},
      {"enter on combo box", &Dialog::combo, Focused, WM_KEYDOWN, VK_RETURN, {kOk}},
      {"enter on OK", &Dialog::ok, Focused, WM_KEYDOWN, VK_RETURN, {kOk}},
      {"enter on Cancel", &Dialog::cancel, Focused, WM_KEYDOWN, VK_RETURN, {kCancel}},
      {"enter to dialog, Cancel focused", &Dialog::cancel, DialogItself, WM_KEYDOWN, VK_RETURN, {kCancel}},
      // Dialog::focus is still null: nothing has the focus.
      {"enter on Cancel, focus nowhere", &Dialog::focus, CancelButton, WM_KEYDOWN, VK_RETURN, {kCancel}},
      {"escape on check box", &Dialog::check, Focused, WM_KEYDOWN, VK_ESCAPE, {kCancel}},
      {"escape on combo box", &Dialog::combo, Focused, WM_KEYDOWN, VK_ESCAPE, {kCancel}},
      {"escape on OK", &Dialog::ok, Focused, WM_KEYDOWN, VK_ESCAPE, {kCancel}},
      {"alt+enter", &Dialog::check, Focused, WM_SYSKEYDOWN, VK_RETURN, {}},
      {"space on combo box", &Dialog::combo, Focused, WM_KEYDOWN, VK_SPACE, {}},
      {"enter outside", &Dialog::check, Outside, WM_KEYDOWN, VK_RETURN, {}},
      {"escape outside", &Dialog::check, Outside, WM_KEYDOWN, VK_ESCAPE, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog d;
    d.focus = d.*c.focus;
    ShowWindow(d.window, SW_SHOWNORMAL);
    SetForegroundWindow(d.window);
    SetFocus(d.focus);
    ASSERT_EQ(GetFocus(), d.focus);
    const HWND targets[] = {d.focus, d.window, d.cancel, d.owner};
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(c.key), MAPVK_VK_TO_VSC)) << 16;
    const LPARAM alt = c.message == WM_SYSKEYDOWN ? (1 << 29) : 0;
    PostMessageW(targets[c.target], c.message, c.key, 1 | scan | alt);
    PostMessageW(d.window, kFinish, 0, 0);
    RunBounded(d);
    EXPECT_EQ(d.commands, c.commands);
  }
}

TEST(DialogKeys, KeysPassWhenTheirCommandHasNoControl) {
  Dialog d(false);
  const auto handle = [&](UINT message, WPARAM key, int okId, int cancelId) {
    const MSG msg = {d.check, message, key, 0, 0, {}};
    return HandleDialogKeys(msg, d.window, okId, cancelId);
  };
  EXPECT_FALSE(handle(WM_KEYDOWN, VK_RETURN, kOk, kCancel));
  EXPECT_FALSE(handle(WM_KEYDOWN, VK_ESCAPE, kOk, kCancel));
  // Either key works on its own once its control is there.
  EXPECT_TRUE(handle(WM_KEYDOWN, VK_RETURN, kCheck, kCancel));
  EXPECT_FALSE(handle(WM_KEYDOWN, VK_ESCAPE, kCheck, kCancel));
  EXPECT_TRUE(handle(WM_KEYDOWN, VK_ESCAPE, kOk, kCombo));
  EXPECT_EQ(d.commands, (std::vector<int>{kCheck, kCombo}));
}

TEST(DialogKeys, NextControlMessageMovesTheFocusWithinTheDialog) {
  Dialog d;
  ShowWindow(d.window, SW_SHOWNORMAL);
  SetForegroundWindow(d.window);
  SetFocus(d.check);
  ASSERT_EQ(GetFocus(), d.check);
  const struct {
    WPARAM wParam;
    LPARAM lParam;
    HWND focus;
  } steps[] = {
      {0, 0, d.combo}, {0, 0, d.ok},  // the tab order wraps round
      {1, 0, d.combo}, {1, 0, d.check},
      {reinterpret_cast<WPARAM>(d.cancel), 1, d.cancel},
      {reinterpret_cast<WPARAM>(d.owner), 1, d.cancel},  // outside the dialog: nothing moves
  };
  for (const auto& step : steps) {
    MoveDialogFocus(d.window, step.wParam, step.lParam);
    EXPECT_EQ(GetFocus(), step.focus) << step.wParam << " " << step.lParam;
  }
}

TEST(DialogKeys, ButtonWindowsAreKnownByClassName) {
  {
    Dialog d;
    EXPECT_TRUE(IsButtonWindow(d.ok));
    EXPECT_TRUE(IsButtonWindow(d.check));
    EXPECT_FALSE(IsButtonWindow(d.combo));
    EXPECT_FALSE(IsButtonWindow(d.window));
    EXPECT_FALSE(IsButtonWindow(nullptr));
  }

  // Class names are compared without regard to case.
  WNDCLASSW cls = {};
  cls.lpfnWndProc = DefWindowProcW;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"bUTTON";
  ASSERT_NE(RegisterClassW(&cls), 0);
  HWND own = CreateWindowExW(0, L"bUTTON", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, cls.hInstance, nullptr);
  EXPECT_TRUE(IsButtonWindow(own));
  DestroyWindow(own);
  UnregisterClassW(L"bUTTON", cls.hInstance);
}

TEST(DialogKeys, QuitEndsTheLoopAndIsPassedOn) {
  MSG quit = {};
  {
    Dialog d;
    d.focus = d.check;
    PostMessageW(d.window, kQuit, 42, 0);
    RunBounded(d);
    EXPECT_TRUE(d.commands.empty());
  }
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 42u);

  // Ending normally posts no quit.
  Dialog d;
  PostMessageW(d.window, kFinish, 0, 0);
  RunBounded(d);
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
