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
