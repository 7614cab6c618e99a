#pragma once

#include <string>

// The running program file's folder without a trailing separator, or empty.
std::wstring GetProgramFolder();
