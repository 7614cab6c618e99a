#include "process/ProgramFolder.h"

#include "settings/PathRules.h"

#include <windows.h>
#include <vector>

std::wstring GetProgramFolder()
{
    // A path cut short at the buffer's end would name a wrong folder, so the
    // buffer grows until the whole path fits (long paths reach 32767 units).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return std::wstring();
        if (length < size)
            return FolderOfPath(std::wstring(buffer.data(), length));
        if (size >= 65536)
            return std::wstring();
        buffer.resize(static_cast<size_t>(size) * 2);
    }
}
