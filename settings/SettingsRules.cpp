#include "settings/SettingsRules.h"

#include <cwchar>

bool ParseBoolText(std::wstring_view text, bool fallback)
{
    if (text.empty())
        return fallback;
    for (const wchar_t* t : {L"1", L"true", L"TRUE", L"yes", L"YES", L"on", L"ON"})
        if (text == t)
            return true;
    for (const wchar_t* f : {L"0", L"false", L"FALSE", L"no", L"NO", L"off", L"OFF"})
        if (text == f)
            return false;
    return fallback;
}

const wchar_t* BoolText(bool value)
{
    return value ? L"1" : L"0";
}

std::wstring LanguageCodeFrom(int localeInfoResult, const wchar_t* buffer)
{
    if (localeInfoResult <= 0 || buffer == nullptr)
        return L"enu";
    return std::wstring(buffer);
}

std::wstring SettingsFilePathFrom(unsigned long envResult, const std::wstring& localAppData,
                                  const std::wstring& languageCode)
{
    if (envResult < 1 || envResult >= kValueBufferUnits)
        return std::wstring();
    return localAppData + L"\\Cellvane\\" + languageCode + L"\\Cellvane.ini";
}

MultilineBrailleMode MultilineModeFrom(std::wstring_view sixDotText, const std::wstring& paddingText)
{
    long padding = std::wcstol(paddingText.c_str(), nullptr, 10); // its leading digits count
    if (padding < 1)
        padding = 1;
    const bool sixDot = ParseBoolText(sixDotText, false);
    if (sixDot && padding == 1)
        return MultilineMaxLines;
    if (!sixDot && padding == 3)
        return MultilineDoubleLineSpacing;
    return MultilineAuto;
}

SettingsEncoding SettingsEncodingOf(std::string_view bytes)
{
    if (bytes.empty())
        return SettingsEmpty;
    if (bytes.starts_with("\xFF\xFE"))
        return SettingsUnicode;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return SettingsUtf8;
    return bytes.starts_with("\xFE\xFF") ? SettingsUtf16BigEndian : SettingsAnsi;
}

std::string UnicodeFileBytes(std::wstring_view text)
{
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    return bytes;
}
