#include "tables/TableRules.h"

#include <algorithm>

const wchar_t* const TableExtensions[6] = {L".ctb", L".utb", L".tbl", L".cti", L".uti", L".dis"};
const std::vector<std::wstring> LiteraryKeywords = {L"g1", L"g2", L"g3", L"grade", L"lit"};
const std::vector<std::wstring> ComputerKeywords = {L"comp"};
const std::vector<std::wstring> MathKeywords = {L"ueb", L"math", L"nemeth"};

std::wstring DefaultTablesFolder(const std::wstring& programFolder)
{
    return programFolder + L"\\tables\\";
}

std::wstring ResolveTablesFolderFrom(const std::wstring& programFolder, const std::wstring& tablesPath)
{
    if (programFolder.empty())
        return std::wstring();
    std::wstring folder;
    if (tablesPath.empty())
        folder = DefaultTablesFolder(programFolder);
    else if (tablesPath.size() >= 2 && tablesPath[1] == L':')
        folder = tablesPath;
    else if (tablesPath.size() >= 2 && tablesPath[0] == L'\\' && tablesPath[1] == L'\\')
        folder = tablesPath;
    else
        folder = programFolder + L"\\" + tablesPath;
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

std::wstring LowerTableName(const std::wstring& name)
{
    std::wstring lowered(name);
    for (wchar_t& c : lowered)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return lowered;
}

bool IsTableFileName(const std::wstring& loweredName)
{
    for (const wchar_t* ending : TableExtensions) {
        const std::wstring_view e(ending);
        if (loweredName.size() >= e.size() &&
            loweredName.compare(loweredName.size() - e.size(), e.size(), e.data(), e.size()) == 0)
            return true;
    }
    return false;
}

bool ContainsKeyword(const std::wstring& loweredName, const std::vector<std::wstring>& keywords)
{
    for (const std::wstring& keyword : keywords)
        if (keyword.size() <= loweredName.size() && loweredName.find(keyword) != std::wstring::npos)
            return true;
    return false;
}

bool IsListedAs(const std::wstring& name, bool isDirectory, const TableHeader& header, TableKind kind)
{
    if (isDirectory)
        return false;
    const std::vector<std::wstring>* keywords[] = {&LiteraryKeywords, &ComputerKeywords, &MathKeywords};
    const std::wstring lowered = LowerTableName(name);
    return IsTableFileName(lowered) && (ContainsKeyword(lowered, *keywords[kind]) || HeaderTypeIs(header, kind));
}

bool UnitOrderLess(std::wstring_view a, std::wstring_view b)
{
    // Compare as UTF-16 code units whatever the width of wchar_t.
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
        return static_cast<unsigned long>(x) < static_cast<unsigned long>(y);
    });
}
