// Texts of the running program's string table with one argument put in.
#pragma once

#include <windows.h>

#include <string>

// A string-table text of the program with its one "%s" replaced by `argument`
// (the argument is not a format: a "%" in a path stays as it is).
std::wstring FormatTableText(UINT id, const std::wstring& argument);
