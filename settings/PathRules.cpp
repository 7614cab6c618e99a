#include "settings/PathRules.h"

bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

std::wstring FolderOfPath(const std::wstring& path)
{
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos)
        return std::wstring();
    return path.substr(0, last);
}

size_t PathRootLength(const std::wstring& path)
{
    const size_t n = path.size();
    if (n >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
        // \\server\share\ : the server and share names belong to the root.
        size_t i = 2;
        for (int part = 0; part < 2; ++part) {
            while (i < n && !IsPathSeparator(path[i]))
                ++i;
            if (i < n && part == 0)
                ++i;
        }
        if (i < n)
            ++i;
        return i;
    }
    if (n >= 2 && path[1] == L':')
        return (n >= 3 && IsPathSeparator(path[2])) ? 3 : 2;
    if (n >= 1 && IsPathSeparator(path[0]))
        return 1;
    return 0;
}

std::wstring ParentFolderOf(const std::wstring& path)
{
    const size_t root = PathRootLength(path);
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos || last < root)
        return path.substr(0, root);
    size_t end = last;
    while (end > root && IsPathSeparator(path[end - 1]))
        --end;
    return path.substr(0, end > root ? end : root);
}

std::vector<std::wstring> FolderChainOf(const std::wstring& folder)
{
    std::vector<std::wstring> chain;
    const size_t root = PathRootLength(folder);
    for (size_t i = root; i < folder.size(); ++i) {
        const bool endsName = IsPathSeparator(folder[i]) && i > 0 && !IsPathSeparator(folder[i - 1]) && i > root;
        if (endsName)
            chain.push_back(folder.substr(0, i));
    }
    if (!folder.empty() && (chain.empty() || chain.back() != folder))
        chain.push_back(folder);
    return chain;
}
