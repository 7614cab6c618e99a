#pragma once

#include <windows.h>

// The modal dialog that chooses the literary, computer and math tables. On
// OK it replaces the three current table names; the next apply sends them.
bool ShowTablesDialog(HWND owner);
