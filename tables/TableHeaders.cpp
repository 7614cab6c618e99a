#include "tables/TableHeaders.h"

#include "tables/TableRules.h"

#include <algorithm>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r';
}

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsKeyUnit(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
}

void Keep(std::wstring& field, std::wstring_view value)
{
    if (field.empty())
        field = value;
}

} // namespace

bool HeaderTypeIs(const TableHeader& header, TableKind kind)
{
    const std::wstring_view types[] = {L"literary", L"computer", L"math"};
    return header.type == types[kind];
}

TableHeader ParseTableHeader(std::wstring_view text)
{
    TableHeader header;
    while (!text.empty()) {
        const size_t end = std::min(text.find(L'\n'), text.size());
        const std::wstring_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (Trimmed(line).empty())
            continue;
        if (line.front() != L'#')
            break; // the rules begin: Liblouis reads no header past them
        if (line.size() < 2 || (line[1] != L'+' && line[1] != L'-'))
            continue;
        const size_t colon = line.find(L':');
        if (colon == std::wstring_view::npos || colon == 2 ||
            !std::all_of(line.begin() + 2, line.begin() + colon, IsKeyUnit))
            continue;
        const std::wstring key = LowerTableName(std::wstring(line.substr(2, colon - 2)));
        const std::wstring_view value = Trimmed(line.substr(colon + 1));
        if (value.empty())
            continue;
        if (key == L"language")
            header.languages.emplace_back(value);
        else if (key == L"region")
            Keep(header.region, value);
        else if (key == L"type")
            Keep(header.type, LowerTableName(std::wstring(value)));
        else if (key == L"contraction")
            Keep(header.contraction, LowerTableName(std::wstring(value)));
        else if (key == L"dots")
            Keep(header.dots, value);
        else if (key == L"variant")
            Keep(header.variant, value);
        else if (key == L"system")
            Keep(header.system, value);
        else if (key == L"version")
            Keep(header.version, value);
        else if (key == L"index-name")
            Keep(header.indexName, value);
    }
    return header;
}
