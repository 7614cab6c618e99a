#include "settings/SettingsStore.h"

#include "app/PathRules.h"
#include "app/ResourceMessage.h"
#include "settings/SettingsRules.h"

std::wstring UiLanguageCode()
{
    wchar_t buffer[4] = {};
    const int result = GetLocaleInfoW(GetUserDefaultUILanguage(), LOCALE_SABBREVLANGNAME, buffer, 4);
    return LanguageCodeFrom(result, buffer);
}

std::wstring GetSettingsFilePath()
{
    wchar_t buffer[kValueBufferUnits] = {};
    const DWORD result = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, kValueBufferUnits);
    if (result < 1 || result >= kValueBufferUnits)
        return std::wstring();
    return SettingsFilePathFrom(result, std::wstring(buffer, result), UiLanguageCode());
}

bool EnsureSettingsFolder(const std::wstring& filePath)
{
    if (filePath.empty())
        return false;
    const std::wstring parent = ParentFolderOf(filePath);
    if (parent.empty())
        return false;
    // A folder above may fail (say, a drive root or a share) while the ones
    // below still can be made, so every step is tried.
    for (const std::wstring& folder : FolderChainOf(parent))
        CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(parent.c_str(), GetFileExInfoStandard, &data))
        return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The platform's writer begins a missing file in the ANSI code page, where
// any character outside it becomes a question mark in every later write.
bool EnsureSettingsFile(const std::wstring& filePath)
{
    if (!EnsureSettingsFolder(filePath))
        return false;
    HANDLE file = CreateFileW(filePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true; // there already; anything else the write itself reports
    const BYTE byteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file, byteOrderMark, sizeof(byteOrderMark), &written, nullptr);
    CloseHandle(file);
    return true;
}

std::wstring ReadSettingText(const std::wstring& filePath, const wchar_t* section, const wchar_t* key,
                             const wchar_t* fallback)
{
    wchar_t buffer[kValueBufferUnits] = {};
    GetPrivateProfileStringW(section, key, fallback, buffer, kValueBufferUnits, filePath.c_str());
    return std::wstring(buffer);
}

bool WriteBoolSetting(const std::wstring& filePath, const wchar_t* section, const wchar_t* key, bool value,
                      bool fallback, HWND owner, UINT messageId)
{
    const std::wstring stored = ReadSettingText(filePath, section, key, BoolText(fallback));
    if (ParseBoolText(stored, fallback) == value)
        return true;
    bool written = EnsureSettingsFile(filePath);
    if (written)
        written = WritePrivateProfileStringW(section, key, BoolText(value), filePath.c_str()) != 0;
    if (!written) {
        ShowResourceMessage(owner, messageId, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
