#include "app/TextRules.h"

std::wstring FillPlaceholders(std::wstring_view pattern, std::span<const std::wstring> values)
{
    std::wstring filled;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (pattern[i] == L'%' && next == L'%') {
            filled += L'%';
            ++i;
        } else if (pattern[i] == L'%' && next >= L'1' && next <= L'9' &&
                   static_cast<size_t>(next - L'1') < values.size()) {
            filled += values[static_cast<size_t>(next - L'1')];
            ++i;
        } else {
            filled += pattern[i];
        }
    }
    return filled;
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
        return text[i + 1];
    }
    return std::nullopt;
}
