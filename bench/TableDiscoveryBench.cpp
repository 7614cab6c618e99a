// Prints how long building the three table lists takes against one raw
// listing of the same folder, for the installed Liblouis tables and for a
// made-up folder of 10,000 files. Figures only; nothing is asserted.
// Usage: lumibrel_table_bench [runs] [folder ...]

#include "tables/TableDiscovery.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

size_t RawListing(const std::wstring& folder)
{
    size_t count = 0;
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

void Measure(const std::wstring& label, const std::wstring& folder, int runs)
{
    std::vector<double> raw;
    std::vector<double> catalog;
    size_t entries = 0;
    TableCatalog lists;
    for (int i = 0; i < runs; ++i) {
        double t = NowMs();
        entries = RawListing(folder);
        raw.push_back(NowMs() - t);
        t = NowMs();
        lists.literary = ListTableFiles(folder, LiteraryKeywords);
        lists.computer = ListTableFiles(folder, ComputerKeywords);
        lists.math = ListTableFiles(folder, MathKeywords);
        catalog.push_back(NowMs() - t);
    }
    const double rawMs = Median(raw);
    const double catalogMs = Median(catalog);
    std::wprintf(L"%-28ls %7zu entries  listing %8.2f ms  three lists %8.2f ms  ratio %5.2f  "
                 L"(literary %zu, computer %zu, math %zu; median of %d)\n",
                 label.c_str(), entries, rawMs, catalogMs, rawMs > 0 ? catalogMs / rawMs : 0.0, lists.literary.size(),
                 lists.computer.size(), lists.math.size(), runs);
}

std::wstring MakeSyntheticFolder(int files)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"lumibrel-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* stems[] = {L"g1", L"g2", L"comp8", L"math", L"ueb-g2", L"plain", L"nemeth", L"grade2"};
    const wchar_t* endings[] = {L".ctb", L".utb", L".tbl", L".cti", L".uti", L".dis", L".txt"};
    for (int i = 0; i < files; ++i) {
        const std::wstring name = folder + L"xx-" + std::to_wstring(i) + L"-" + stems[i % 8] + endings[i % 7];
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return folder;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + entry.cFileName).c_str());
        while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
    std::vector<std::wstring> folders;
    for (int i = 2; i < argc; ++i) {
        std::wstring folder = argv[i];
        if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
            folder += L'\\';
        folders.push_back(folder);
    }
    if (folders.empty())
        folders.push_back(L"Z:\\usr\\share\\liblouis\\tables\\");

    std::wprintf(L"Table discovery: three one-pass lists against one raw listing of the same folder\n");
    for (const std::wstring& folder : folders)
        Measure(folder, folder, runs);
    const std::wstring synthetic = MakeSyntheticFolder(10000);
    Measure(L"synthetic folder", synthetic, runs);
    RemoveFolder(synthetic);
    return 0;
}
