// Prints how long the tables dialog's three lists take, named by what each
// table is: at the first opening, against a floor that opens every file of
// the folder and reads its first 4 KB once; and again with the folder
// unchanged, against one raw listing. For the installed Liblouis tables and
// for a made-up folder of 10,000 files. Figures only; nothing is asserted.
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

std::vector<std::wstring> FileNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// The least any reading of the headers costs: every file opened, its first 4 KB read.
size_t ReadEveryStart(const std::wstring& folder)
{
    size_t bytes = 0;
    char buffer[4096];
    for (const std::wstring& name : FileNames(folder)) {
        HANDLE file = CreateFileW((folder + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD got = 0;
        if (ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            bytes += got;
        CloseHandle(file);
    }
    return bytes;
}

// A copy of the folder's files under a new name: to the discovery a folder
// it has never seen.
std::wstring FreshCopy(const std::wstring& folder, int serial)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + L"lumibrel-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(serial) + L"\\";
    CreateDirectoryW(copy.c_str(), nullptr);
    for (const std::wstring& name : FileNames(folder))
        CopyFileW((folder + name).c_str(), (copy + name).c_str(), FALSE);
    return copy;
}

void RemoveFolder(const std::wstring& folder)
{
    for (const std::wstring& name : FileNames(folder))
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

void Measure(const std::wstring& label, const std::wstring& folder, int runs)
{
    std::vector<double> raw, floor, first, unchanged;
    TableCatalog catalog;
    size_t entries = 0;
    static int serial = 0;
    for (int i = 0; i < runs; ++i) {
        const std::wstring copy = FreshCopy(folder, ++serial);
        double t = NowMs();
        entries = FileNames(copy).size();
        raw.push_back(NowMs() - t);
        t = NowMs();
        ReadEveryStart(copy);
        floor.push_back(NowMs() - t);
        t = NowMs();
        catalog = BuildTableCatalog(copy);
        first.push_back(NowMs() - t);
        t = NowMs();
        catalog = BuildTableCatalog(copy);
        unchanged.push_back(NowMs() - t);
        RemoveFolder(copy);
    }
    const double rawMs = Median(raw), floorMs = Median(floor), firstMs = Median(first), sameMs = Median(unchanged);
    std::wprintf(L"%ls: %zu files (literary %zu, computer %zu, math %zu; medians of %d)\n", label.c_str(), entries,
                 catalog.lists[LiteraryKind].size(), catalog.lists[ComputerKind].size(), catalog.lists[MathKind].size(),
                 runs);
    std::wprintf(L"  first opening      %8.2f ms / floor (every file's first 4 KB) %8.2f ms = %5.2f  (<= 2.00 %ls)\n",
                 firstMs, floorMs, firstMs / floorMs, firstMs <= 2 * floorMs ? L"met" : L"MISSED");
    std::wprintf(L"  folder unchanged   %8.2f ms / raw listing %8.2f ms = %5.2f  (<= 3.50 %ls)\n", sameMs, rawMs,
                 sameMs / rawMs, sameMs <= 3.5 * rawMs ? L"met" : L"MISSED");
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

    std::wprintf(L"Table discovery: the three lists with their names\n");
    for (const std::wstring& folder : folders)
        Measure(folder, folder, runs);
    const std::wstring synthetic = MakeSyntheticFolder(10000);
    Measure(L"synthetic folder", synthetic, std::min(runs, 3));
    RemoveFolder(synthetic);
    return 0;
}
