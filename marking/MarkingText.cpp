#include "marking/MarkingText.h"

#include "resources/resource.h"
#include "windowkit/TextRules.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <optional>

namespace {

bool SameUnit(SameKeyFn sameKey, wchar_t a, wchar_t b)
{
    return sameKey(std::wstring_view(&a, 1), std::wstring_view(&b, 1));
}

} // namespace

std::vector<MarkingEntry> ParseMarkingSection(const wchar_t* units, size_t count, SameKeyFn sameKey)
{
    std::vector<MarkingEntry> entries;
    if (units == nullptr)
        return entries;
    // Keys kept, by length: a key the same but for case has as many units.
    std::map<size_t, std::vector<size_t>> keptByLength;
    size_t i = 0;
    while (i < count && units[i] != L'\0') {
        size_t end = i;
        while (end < count && units[end] != L'\0')
            ++end;
        const std::wstring_view line(units + i, end - i);
        const size_t eq = line.find(L'=');
        if (eq != std::wstring_view::npos && eq != 0) {
            const std::wstring_view key = line.substr(0, eq);
            std::vector<size_t>& kept = keptByLength[key.size()];
            const auto same = [&](size_t entry) { return sameKey(entries[entry].key, key); };
            if (std::none_of(kept.begin(), kept.end(), same)) {
                kept.push_back(entries.size());
                entries.push_back({std::wstring(key), std::wstring(line.substr(eq + 1))});
            }
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

std::wstring AddAccessKey(const std::wstring& label, std::vector<wchar_t>& used, SameKeyFn sameKey)
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
        const auto taken = [&](wchar_t key) { return SameUnit(sameKey, key, label[i]); };
        if (std::any_of(used.begin(), used.end(), taken))
            continue;
        used.push_back(label[i]);
        std::wstring keyed(label);
        keyed.insert(i, 1, L'&');
        return keyed;
    }
    return label;
}

unsigned AttributeNameId(std::wstring_view identifier)
{
    static const std::pair<std::wstring_view, unsigned> known[] = {
        {L"MarkBold", IDS_ATTR_MARK_BOLD},
        {L"MarkItalic", IDS_ATTR_MARK_ITALIC},
        {L"MarkUnderline", IDS_ATTR_MARK_UNDERLINE},
        {L"MarkStrikethrough", IDS_ATTR_MARK_STRIKETHROUGH},
        {L"MarkSuperscript", IDS_ATTR_MARK_SUPERSCRIPT},
        {L"MarkSubscript", IDS_ATTR_MARK_SUBSCRIPT},
        {L"MarkHighlight", IDS_ATTR_MARK_HIGHLIGHT},
        {L"MarkSpellingErrors", IDS_ATTR_MARK_SPELLING_ERRORS},
        {L"MarkLinks", IDS_ATTR_MARK_LINKS},
    };
    for (const auto& [name, id] : known)
        if (name == identifier)
            return id;
    return 0;
}

std::vector<std::wstring> AttributeLabels(const std::vector<std::wstring>& identifiers,
                                          const std::vector<std::wstring>& named, SameKeyFn sameKey)
{
    std::vector<std::wstring> labels;
    std::vector<wchar_t> used;
    for (size_t i = 0; i < identifiers.size(); ++i) {
        labels.push_back(i < named.size() && !named[i].empty() ? named[i] : SplitCamelCase(identifiers[i]));
        if (const std::optional<wchar_t> key = AccessKeyOf(labels.back()))
            used.push_back(*key);
    }
    for (std::wstring& label : labels)
        if (!AccessKeyOf(label))
            label = AddAccessKey(label, used, sameKey);
    return labels;
}
