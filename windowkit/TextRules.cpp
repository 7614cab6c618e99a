#include "windowkit/TextRules.h"

#include <cstdint>

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& text, std::uint32_t point)
{
    if (point >= 0x10000) {
        point -= 0x10000;
        text += static_cast<wchar_t>(0xD800 + (point >> 10));
        text += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
    } else {
        text += static_cast<wchar_t>(point);
    }
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

std::wstring DecodeUtf8(std::string_view bytes)
{
    std::wstring text;
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        std::uint32_t point = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            length = 1, point = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2, point = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3, point = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4, point = lead & 0x07, least = 0x10000;
        }
        size_t taken = 1;
        while (length > 1 && taken < length && i + taken < bytes.size() &&
               (static_cast<unsigned char>(bytes[i + taken]) & 0xC0) == 0x80) {
            point = (point << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
            ++taken;
        }
        const bool whole = length != 0 && taken == length;
        const bool valid = whole && point >= least && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (valid)
            AppendCodePoint(text, point);
        else
            text += kReplacement;
        i += valid ? length : taken;
    }
    return text;
}

} // namespace

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

std::wstring DecodeMarkedText(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeUtf16(bytes.substr(2), true);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return DecodeUtf8(bytes);
}
