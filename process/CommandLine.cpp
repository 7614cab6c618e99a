#include "process/CommandLine.h"

#include <algorithm>

namespace {

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

bool IsSignInStart(std::wstring_view arguments)
{
    const std::wstring_view wanted = kSignInArgument;
    size_t at = 0;
    while (at < arguments.size()) {
        while (at < arguments.size() && (arguments[at] == L' ' || arguments[at] == L'\t'))
            ++at;
        size_t end = at;
        while (end < arguments.size() && arguments[end] != L' ' && arguments[end] != L'\t')
            ++end;
        std::wstring_view argument = arguments.substr(at, end - at);
        if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
            argument = argument.substr(1, argument.size() - 2);
        const auto same = [](wchar_t a, wchar_t b) { return AsciiLower(a) == AsciiLower(b); };
        if (std::equal(argument.begin(), argument.end(), wanted.begin(), wanted.end(), same))
            return true;
        at = end;
    }
    return false;
}
