#include "settings/SettingsStore.h"

#include "settings/PathRules.h"
#include "settings/SettingsRules.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/TextRules.h"

#include <algorithm>

std::wstring UiLanguageCode()
{
    wchar_t buffer[4] = {};
    const int result = GetLocaleInfoW(GetUserDefaultUILanguage(), LOCALE_SABBREVLANGNAME, buffer, 4);
    return LanguageCodeFrom(result, buffer);
}

std::wstring UiLanguageTag()
{
    wchar_t buffer[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), buffer, LOCALE_NAME_MAX_LENGTH, 0) <= 0)
        return std::wstring();
    return buffer;
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

std::mutex& SettingsFileLock()
{
    static std::mutex& lock = *new std::mutex; // the worker may still write as the process ends
    return lock;
}

namespace {

bool FitsAnsiCodePage(const std::wstring& text)
{
    const UINT codePage = GetACP();
    if (text.empty() || codePage == CP_UTF8)
        return true;
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

// The file's first bytes, up to most; false when it cannot be read (a
// missing file among them).
bool ReadFileBytes(const std::wstring& filePath, std::string& bytes, LONGLONG most = 1 << 30)
{
    HANDLE file = CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart <= (1 << 30);
    if (read) {
        bytes.resize(static_cast<size_t>(std::min(size.QuadPart, most)));
        DWORD got = 0;
        read = bytes.empty() ||
               (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size());
    }
    CloseHandle(file);
    return read;
}

// By its mark, or else from the ANSI code page.
std::wstring DecodeFileText(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const SettingsEncoding encoding = SettingsEncodingOf(bytes);
    if (encoding == SettingsUtf8 || encoding == SettingsUtf16BigEndian)
        return DecodeMarkedText(bytes);
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// Written beside the file and moved over it in one step.
bool ReplaceFileWith(const std::wstring& filePath, const std::string& bytes)
{
    const std::wstring temporary = filePath + L".new";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    done = done && MoveFileExW(temporary.c_str(), filePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done)
        DeleteFileW(temporary.c_str());
    return done;
}

} // namespace

bool SettingsFileHolds(const std::wstring& filePath, const std::vector<std::wstring>& texts)
{
    std::string bytes;
    if (ReadFileBytes(filePath, bytes, 3) && SettingsEncodingOf(bytes) == SettingsUnicode)
        return true;
    return std::all_of(texts.begin(), texts.end(), FitsAnsiCodePage);
}

bool PrepareSettingsFile(const std::wstring& filePath, const std::vector<std::wstring>& texts)
{
    // Nothing is written for texts the file holds as it is, or will when the
    // platform's writer begins it.
    if (std::all_of(texts.begin(), texts.end(), FitsAnsiCodePage))
        return true;
    std::lock_guard<std::mutex> guard(SettingsFileLock());
    std::string bytes;
    const bool exists = ReadFileBytes(filePath, bytes);
    if (SettingsEncodingOf(bytes) == SettingsUnicode)
        return true;
    const DWORD attributes = GetFileAttributesW(filePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (!exists || (attributes & FILE_ATTRIBUTE_READONLY) != 0))
        return false; // there, and unreadable or read-only: not ours to replace
    return EnsureSettingsFolder(filePath) && ReplaceFileWith(filePath, UnicodeFileBytes(DecodeFileText(bytes)));
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
    bool written = EnsureSettingsFolder(filePath);
    if (written) {
        std::lock_guard<std::mutex> guard(SettingsFileLock());
        written = WritePrivateProfileStringW(section, key, BoolText(value), filePath.c_str()) != 0;
    }
    if (!written) {
        ShowResourceMessage(owner, messageId, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
