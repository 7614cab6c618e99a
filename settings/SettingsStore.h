// The settings file shared with the display component:
// %LOCALAPPDATA%\Cellvane\<language code>\Cellvane.ini, per user and per
// UI language. Read and written only through the private-profile functions,
// which keep every other line of the file as it was.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

// The settings file path, rebuilt at each call; empty when LOCALAPPDATA is
// missing, empty or 260 units or longer.
std::wstring GetSettingsFilePath();

// The abbreviated name of the user's UI language, or "enu".
std::wstring UiLanguageCode();

// The BCP 47 name of the same language ("de-CH"), or empty.
std::wstring UiLanguageTag();

// True when the folder that holds the file exists afterwards; creates the
// missing folders from the root down.
bool EnsureSettingsFolder(const std::wstring& filePath);

// Held by every write of ours to the settings file and by the change of its
// encoding, so that neither thread's write is lost in the other's.
std::mutex& SettingsFileLock();

// Whether the file as it is now keeps each of texts whole: a UTF-16 file
// does; any other, or an empty or missing one (which the platform's writer
// begins in ANSI), only when each text fits the ANSI code page.
bool SettingsFileHolds(const std::wstring& filePath, const std::vector<std::wstring>& texts);

// Readies the file for texts about to be written to it, by us or by the
// display component, when it cannot hold them as it is: a missing or empty
// file is begun as UTF-16, and any other becomes UTF-16 with every line
// kept, decoded by its mark or else from the ANSI code page. The file is
// replaced whole, so that a reader sees the old file or the new one; a
// read-only file is left alone. Texts it holds already leave it untouched,
// a missing file missing. Call it where the component cannot be writing
// the file. True when the file holds texts afterwards.
bool PrepareSettingsFile(const std::wstring& filePath, const std::vector<std::wstring>& texts);

// One key's text, read into a 260-unit buffer (at most 259 units kept);
// fallback when the file, section or key is missing.
std::wstring ReadSettingText(const std::wstring& filePath, const wchar_t* section, const wchar_t* key,
                             const wchar_t* fallback);

// Stores "1" or "0" unless the key already reads as value; on failure shows
// messageId (owned by owner) and returns false.
bool WriteBoolSetting(const std::wstring& filePath, const wchar_t* section, const wchar_t* key, bool value,
                      bool fallback, HWND owner, UINT messageId);
