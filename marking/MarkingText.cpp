#include "marking/MarkingText.h"

#include <algorithm>
#include <cwctype>
#include <set>

std::vector<MarkingEntry> ParseMarkingSection(const wchar_t* units, size_t count)
{
    std::vector<MarkingEntry> entries;
    if (units == nullptr)
        return entries;
    std::set<std::wstring> seen; // keys lower-cased
    size_t i = 0;
    while (i < count && units[i] != L'\0') {
        size_t end = i;
        while (end < count && units[end] != L'\0')
            ++end;
        const std::wstring_view line(units + i, end - i);
        const size_t eq = line.find(L'=');
        if (eq != std::wstring_view::npos && eq != 0) {
            std::wstring key(line.substr(0, eq));
            std::transform(key.begin(), key.end(), key.begin(),
                           [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
            if (seen.insert(key).second)
                entries.push_back({std::wstring(line.substr(0, eq)), std::wstring(line.substr(eq + 1))});
        }
        i = end + 1;
    }
    return entries;
}

std::vector<std::wstring> LanguageFilePathsFrom(const std::wstring& programFolder, const std::wstring& languageCode)
{
    constexpr std::wstring_view shipped = L"enu";
    std::vector<std::wstring> paths;
    if (programFolder.empty())
        return paths;
    paths.push_back(programFolder + L"\\" + languageCode + L"\\Cellvane.ini");
    const auto sameLetter = [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); };
    if (!std::equal(languageCode.begin(), languageCode.end(), shipped.begin(), shipped.end(), sameLetter))
        paths.push_back(programFolder + L"\\" + std::wstring(shipped) + L"\\Cellvane.ini");
    return paths;
}

std::wstring SplitCamelCase(const std::wstring& identifier)
{
    std::wstring label;
    const size_t n = identifier.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = identifier[i];
        if (i != 0 && std::iswupper(c)) {
            const wchar_t p = identifier[i - 1];
            const bool nextIsLower = i + 1 < n && std::iswlower(identifier[i + 1]);
            if (std::iswlower(p) || std::iswdigit(p) || (std::iswupper(p) && nextIsLower))
                label += L' ';
        }
        label += c;
    }
    return label;
}

std::wstring AddAccessKey(const std::wstring& label, std::vector<wchar_t>& used)
{
    const size_t space = label.find(L' ');
    if (space == std::wstring::npos)
        return label;
    size_t start = space + 1;
    while (start < label.size() && label[start] == L' ')
        ++start;
    if (start >= label.size())
        return label;
    size_t end = label.find(L' ', start);
    if (end == std::wstring::npos)
        end = label.size();
    for (size_t i = start; i < end; ++i) {
        if (!std::iswalpha(label[i]))
            continue;
        const wchar_t lower = static_cast<wchar_t>(std::towlower(label[i]));
        if (std::find(used.begin(), used.end(), lower) != used.end())
            continue;
        used.push_back(lower);
        std::wstring keyed(label);
        keyed.insert(i, 1, L'&');
        return keyed;
    }
    return label;
}

std::optional<wchar_t> AccessKeyOf(const std::wstring& text)
{
    for (size_t i = 0; i < text.size() && text[i] != L'\0'; ++i) {
        if (text[i] != L'&' || i + 1 >= text.size() || text[i + 1] == L'\0')
            continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(std::towlower(text[i + 1]));
    }
    return std::nullopt;
}
