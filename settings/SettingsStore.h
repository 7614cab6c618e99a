// The settings file shared with the display component:
// %LOCALAPPDATA%\Cellvane\<language code>\Cellvane.ini, per user and per
// UI language. Read and written only through the private-profile functions,
// which keep every other line of the file as it was.
#pragma once

#include <windows.h>
#include <string>

// The settings file path, rebuilt at each call; empty when LOCALAPPDATA is
// missing, empty or 260 units or longer.
std::wstring GetSettingsFilePath();

// The abbreviated name of the user's UI language, or "enu".
std::wstring UiLanguageCode();

// True when the folder that holds the file exists afterwards; creates the
// missing folders from the root down.
bool EnsureSettingsFolder(const std::wstring& filePath);

// EnsureSettingsFolder, and a file that does not exist yet is begun as
// UTF-16 (a byte-order mark alone), which every later write, ours and the
// component's, keeps. An existing file is left as it is.
bool EnsureSettingsFile(const std::wstring& filePath);

// One key's text, read into a 260-unit buffer (at most 259 units kept);
// fallback when the file, section or key is missing.
std::wstring ReadSettingText(const std::wstring& filePath, const wchar_t* section, const wchar_t* key,
                             const wchar_t* fallback);

// Stores "1" or "0" unless the key already reads as value; on failure shows
// messageId (owned by owner) and returns false.
bool WriteBoolSetting(const std::wstring& filePath, const wchar_t* section, const wchar_t* key, bool value,
                      bool fallback, HWND owner, UINT messageId);
