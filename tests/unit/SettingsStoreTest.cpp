#include "marking/MarkingCatalog.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// A fresh folder per test: Wine caches profile files by name, so no two
// tests may share a file name.
class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    root_ = fs::temp_directory_path() / (L"lumibrel-unit-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                         std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++serial));
    fs::create_directories(root_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  std::wstring operator/(const std::wstring& name) const { return root_.wstring() + L"\\" + name; }

 private:
  fs::path root_;
};

void WriteFileText(const std::wstring& path, const std::string& text) {
  std::ofstream(fs::path(path), std::ios::binary) << text;
}

std::vector<std::wstring> SplitUnits(const std::vector<wchar_t>& units, DWORD length) {
  std::vector<std::wstring> lines;
  for (size_t i = 0; i < length && units[i] != L'\0'; i += lines.back().size() + 1) lines.emplace_back(&units[i]);
  return lines;
}

// What the platform's reader sees: every section with its lines, in order.
std::vector<std::pair<std::wstring, std::vector<std::wstring>>> ReadAll(const std::wstring& path) {
  std::vector<wchar_t> names(1 << 16), lines(1 << 16);
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> all;
  const DWORD length = GetPrivateProfileSectionNamesW(names.data(), 1 << 16, path.c_str());
  for (const std::wstring& name : SplitUnits(names, length)) {
    const DWORD used = GetPrivateProfileSectionW(name.c_str(), lines.data(), 1 << 16, path.c_str());
    all.emplace_back(name, SplitUnits(lines, used));
  }
  return all;
}

// Finds this process's message box, notes its owner and presses OK, so a
// failing write cannot leave the suite waiting on a box nobody sees.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { Watch(); }) {}
  ~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  bool Seen() const { return seen_; }
  HWND Owner() const { return owner_; }

 private:
  static BOOL CALLBACK FindBox(HWND window, LPARAM result) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (process != GetCurrentProcessId() || lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }

  void Watch() {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    HWND box = nullptr;
    while (!stop_ && box == nullptr && GetTickCount64() < deadline) {
      Sleep(10);
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
    }
    if (box == nullptr) return;
    owner_ = GetWindow(box, GW_OWNER);
    seen_ = true;
    while (IsWindow(box) && GetTickCount64() < deadline) {
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      Sleep(50);
    }
  }

  std::atomic<bool> stop_{false}, seen_{false};
  std::atomic<HWND> owner_{nullptr};
  std::thread thread_;
};

TEST(SettingsPath, ComesFromLocalAppDataAndTheUiLanguage) {
  std::vector<wchar_t> saved(32768);
  SetLastError(0);
  const DWORD savedLength = GetEnvironmentVariableW(L"LOCALAPPDATA", saved.data(), 32768);
  const bool hadVariable = savedLength > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;

  const std::wstring tail = L"\\Cellvane\\" + UiLanguageCode() + L"\\Cellvane.ini";
  EXPECT_FALSE(UiLanguageCode().empty());
  const std::wstring longest = L"C:\\" + std::wstring(256, L'x');
  const std::wstring tooLong = longest + L"x";
  const std::pair<const wchar_t*, std::wstring> cases[] = {
      {L"C:\\Data", L"C:\\Data" + tail}, {L"C:\\Data\\", L"C:\\Data\\" + tail}, {longest.c_str(), longest + tail},
      {tooLong.c_str(), L""},            {L"", L""},                             {nullptr, L""},
  };
  for (const auto& [value, path] : cases) {
    EXPECT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", value));
    EXPECT_EQ(GetSettingsFilePath(), path) << (value ? std::wstring(value).size() : 0);
  }
  SetEnvironmentVariableW(L"LOCALAPPDATA", hadVariable ? saved.data() : nullptr);
}

TEST(SettingsFolder, CreatesTheMissingChainUnlessAFileIsInTheWay) {
  TempFolder temp;
  WriteFileText(temp / L"plain", "x");
  const struct {
    std::wstring file;
    bool ready;
  } cases[] = {
      {temp / L"a\\b\\c\\Cellvane.ini", true}, {temp / L"a\\b\\c\\Cellvane.ini", true},
      {temp / L"d/e//f\\Cellvane.ini", true},  {temp / L"plain\\Cellvane.ini", false},
      {temp / L"plain\\g\\Cellvane.ini", false}, {L"", false},
      {L"Cellvane.ini", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EnsureSettingsFolder(c.file), c.ready) << c.file;
  }
  EXPECT_TRUE(fs::is_directory(temp / L"a\\b\\c"));
  EXPECT_TRUE(fs::is_directory(temp / L"d\\e\\f"));
  EXPECT_TRUE(fs::is_regular_file(temp / L"plain"));
}

TEST(SettingsWrite, WritesOnlyWhenTheStoredTextReadsOtherwise) {
  const struct {
    const char *section, *key;
    const char* before;  // nullptr: no settings file
    bool value, fallback;
    const char* after;  // nullptr: still no file, nor its folders
  } cases[] = {
      {"Liblouis", "DisplayLiteraryBraille", nullptr, true, true, nullptr},
      {"Liblouis", "DisplayLiteraryBraille", nullptr, false, true, "0"},
      {"Liblouis", "UseContractedBrailleInput", "maybe", false, false, "maybe"},
      {"Liblouis", "UseContractedBrailleInput", "maybe", true, false, "1"},
      {"Settings", "ShowBrailleVisualizer", "True", false, false, "True"},
      {"Settings", "ShowBrailleVisualizer", "True", true, false, "1"},
      {"Settings", "ShowBrailleVisualizer", "", true, true, ""},
      {"Settings", "ShowBrailleVisualizer", "ON", false, true, "0"},
  };
  for (const auto& c : cases) {
    TempFolder temp;
    const std::wstring path = temp / L"Cellvane\\enu\\Cellvane.ini";
    const std::wstring section = Wide(c.section), key = Wide(c.key);
    if (c.before != nullptr) {
      ASSERT_TRUE(EnsureSettingsFolder(path));
      WriteFileText(path, std::string(c.section).insert(0, 1, '[') + "]\r\n" + c.key + "=" + c.before + "\r\n");
    }
    const std::wstring label = key + L"=" + (c.before ? Wide(c.before) : L"(none)") + (c.value ? L" <- 1" : L" <- 0");
    MessageBoxWatcher watcher;
    EXPECT_TRUE(WriteBoolSetting(path, section.c_str(), key.c_str(), c.value, c.fallback, nullptr, 1)) << label;
    EXPECT_FALSE(watcher.Seen()) << label;
    if (c.after == nullptr) {
      EXPECT_FALSE(fs::exists(temp / L"Cellvane")) << label;
    } else {
      EXPECT_EQ(ReadSettingText(path, section.c_str(), key.c_str(), L"(none)"), Wide(c.after)) << label;
    }
  }
}

TEST(SettingsWrite, ReplacesOneValueAndKeepsTheRestOfTheFile) {
  TempFolder temp;
  const std::wstring path = temp / L"Cellvane.ini";
  WriteFileText(path,
                "; written by hand\r\n[Before]\r\nalpha=1\r\nbeta = two words\r\n; keep me\r\n\r\n"
                "[Settings]\r\nShowBrailleVisualizer=0\r\nHybridPrintAndBrailleMode=1\r\nOther=x=y\r\n\r\n"
                "[Liblouis]\r\nTablesPath=C:\\t\\\r\nDisplayLiteraryBraille=1\r\nUseContractedBrailleInput=off\r\n"
                "[BrailleMarking]\r\nBold=1\r\nBold=0\r\n[After]\r\nz=9\r\n");
  auto expected = ReadAll(path);
  ASSERT_EQ(expected.size(), 5u);
  expected[1].second[0] = L"ShowBrailleVisualizer=1";
  expected[2].second[2] = L"UseContractedBrailleInput=1";

  EXPECT_TRUE(WriteBoolSetting(path, L"Settings", L"ShowBrailleVisualizer", true, false, nullptr, 1));
  EXPECT_TRUE(WriteBoolSetting(path, L"Liblouis", L"UseContractedBrailleInput", true, false, nullptr, 1));
  EXPECT_EQ(ReadAll(path), expected);
  // The reader does not show comments: they must still be there, in place.
  std::ifstream in(fs::path(path), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t positions[] = {text.find("; written by hand"), text.find("[Before]"), text.find("; keep me"),
                              text.find("[Settings]")};
  EXPECT_TRUE(std::is_sorted(std::begin(positions), std::end(positions)) && positions[3] != std::string::npos)
      << text;
}

TEST(SettingsWrite, FailureIsReportedInABoxOwnedByTheCaller) {
  TempFolder temp;
  fs::create_directory(temp / L"Cellvane");
  WriteFileText(temp / L"Cellvane\\enu", "a file where the language folder belongs");
  const std::wstring path = temp / L"Cellvane\\enu\\Cellvane.ini";
  HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  {
    MessageBoxWatcher watcher;
    EXPECT_FALSE(WriteBoolSetting(path, L"Settings", L"ShowBrailleVisualizer", true, false, owner, 1));
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(watcher.Owner(), owner);
  }
  EXPECT_TRUE(fs::is_regular_file(temp / L"Cellvane\\enu"));
  DestroyWindow(owner);
}

std::string MarkingFile(const std::vector<std::string>& lines) {
  std::string text = "[Settings]\r\nShowBrailleVisualizer=1\r\n[BrailleMarking]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text + "[After]\r\nLate=1\r\n";
}

Pairs ReadPairs(const std::wstring& path) {
  Pairs pairs;
  for (const MarkingEntry& entry : ReadMarkingSection(path)) pairs.emplace_back(entry.key, entry.value);
  return pairs;
}

TEST(MarkingRead, LongSectionsComeBackWhole) {
  TempFolder temp;
  // Sections whose units (each line with its zero) total around the first
  // buffer's 8192, and far past it.
  for (size_t total : {8188u, 8189u, 8190u, 8191u, 8192u, 8193u, 100000u}) {
    std::vector<std::string> lines;
    Pairs expected;
    for (size_t n = 0, used = 0; used < total; ++n, used += lines.back().size() + 1) {
      const std::string key = "Attribute" + std::to_string(n);
      const size_t rest = total - used - key.size() - 2;
      const std::string value(rest >= 40 ? 20 : rest, static_cast<char>('a' + n % 26));
      lines.push_back(key + "=" + value);
      expected.emplace_back(Wide(key), Wide(value));
    }
    const std::wstring path = temp / (L"long" + std::to_wstring(total) + L".ini");
    WriteFileText(path, MarkingFile(lines));
    EXPECT_EQ(ReadPairs(path), expected) << total;
  }
}

TEST(MarkingRead, KeyedLinesAreKeptSplitAtTheFirstEquals) {
  TempFolder temp;
  const std::wstring path = temp / L"Cellvane.ini";
  WriteFileText(path, MarkingFile({"Bold=1", "NoEquals", "=Orphan", "Underline=1=2", "Bold=0", "Italic="}));
  EXPECT_EQ(ReadPairs(path), (Pairs{{L"Bold", L"1"}, {L"Underline", L"1=2"}, {L"Bold", L"0"}, {L"Italic", L""}}));
  WriteFileText(temp / L"empty.ini", "[BrailleMarking]\r\n[Other]\r\nBold=1\r\n");
  EXPECT_TRUE(ReadMarkingSection(temp / L"empty.ini").empty());
  EXPECT_TRUE(ReadMarkingSection(temp / L"missing.ini").empty());
}

}  // namespace
