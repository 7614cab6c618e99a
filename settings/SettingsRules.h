// Text rules of the settings file: boolean text forms, the language code and
// the settings file path, kept free of system calls so they can be tested.
#pragma once

#include <string>
#include <string_view>

// Whole-text, case-sensitive match against the recognised forms; the empty
// text and anything else gives fallback.
bool ParseBoolText(std::wstring_view text, bool fallback);

// The only forms the program writes.
const wchar_t* BoolText(bool value);

// The language code from GetLocaleInfoW's answer: its text when the call
// returned more than 0, else "enu".
std::wstring LanguageCodeFrom(int localeInfoResult, const wchar_t* buffer);

// The settings file path from GetEnvironmentVariableW's answer for
// LOCALAPPDATA (its return value and the value read): empty when the
// variable is missing, empty or did not fit in 259 units.
std::wstring SettingsFilePathFrom(unsigned long envResult, const std::wstring& localAppData,
                                  const std::wstring& languageCode);

// How a settings file's text is stored, from its first bytes. The
// platform's profile functions read and write a file as UTF-16 only when it
// begins with FF FE; any other file they take for the ANSI code page, a
// UTF-8 or big-endian mark included, which then breaks the first line.
// No bytes at all is a file not yet begun.
enum SettingsEncoding {
    SettingsEmpty,
    SettingsUnicode,        // UTF-16 little-endian after FF FE
    SettingsUtf8,           // after EF BB BF
    SettingsUtf16BigEndian, // after FE FF
    SettingsAnsi,           // no mark: as the platform's writer begins a file
};
SettingsEncoding SettingsEncodingOf(std::string_view bytes);

// The file's bytes for text in UTF-16, little-endian, after a byte-order mark.
std::string UnicodeFileBytes(std::wstring_view text);

// Items of the Multiline Braille combo box, in list order.
enum MultilineBrailleMode {
    MultilineAuto = 0,
    MultilineMaxLines = 1,
    MultilineDoubleLineSpacing = 2,
};

// The item the component's two stored keys stand for: six dots with a line
// padding of 1 (or less, or none readable) is Maximum Lines, eight dots with
// a padding of 3 is Double Line Spacing, anything else Automatic.
MultilineBrailleMode MultilineModeFrom(std::wstring_view sixDotText, const std::wstring& paddingText);

// Defaults of the keys the display component keeps and the program only
// reads: the current tables and the multiline choice.
inline constexpr wchar_t kDefaultLiteraryTable[] = L"en-us-g2.ctb";
inline constexpr wchar_t kDefaultComputerTable[] = L"en-us-comp8.ctb";
inline constexpr wchar_t kDefaultMathTable[] = L"en-us-mathtext.ctb";
inline constexpr wchar_t kDefaultLinePadding[] = L"1";
inline constexpr wchar_t kDefaultSixDot[] = L"0";

// Buffer size of every single-key read; a value holds at most 259 units.
constexpr unsigned long kValueBufferUnits = 260;
