// Fuzz inputs as the Windows program sees text: 16-bit units, lone surrogates included, whatever wchar_t's width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Checks stay on whatever the build type, and stop the run so libFuzzer keeps the input.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : __builtin_trap())

// Little-endian pairs of bytes; an odd last byte is dropped.
inline std::wstring UnitsOf(const uint8_t* data, size_t size) {
    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2) units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return units;
}

inline bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}
