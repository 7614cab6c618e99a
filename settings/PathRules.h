// Folder rules on plain path strings: "\" and "/" both separate folders.
#pragma once

#include <string>
#include <vector>

// True for "\" and "/".
bool IsPathSeparator(wchar_t c);

// The folder part of a file path, without its trailing separator; empty when
// the path holds no separator.
std::wstring FolderOfPath(const std::wstring& path);

// Length of the part of a path that is never cut: "C:" or "C:\", a leading
// "\" or "/", or "\\server\share\" of a UNC path. 0 for a relative path.
size_t PathRootLength(const std::wstring& path);

// The folder that holds the file named by path: the path without its last
// component and without the run of separators before it, but never shorter
// than the path's root. Empty for a bare file name.
std::wstring ParentFolderOf(const std::wstring& path);

// The folders from the root down to folder, folder itself last, each as a
// full path; the root alone is not listed unless folder is the root.
std::vector<std::wstring> FolderChainOf(const std::wstring& folder);
