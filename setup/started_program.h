// Starting a helper program (msiexec, reg.exe) and waiting for its end: the
// setup programs never go on while a program they started still runs.
#pragma once

#include <windows.h>

#include <string>

namespace setupprog {

// Starts the program at the full path `program` with `parameters` in the
// window state `show` and waits without time limit for it to end; nothing
// is shown to the user either way. ERROR_SUCCESS with the program's exit
// code in `exitCode`; otherwise the error that kept it from starting or
// from being waited for (never 0), and `exitCode` untouched.
DWORD StartAndWait(const std::wstring& program, const std::wstring& parameters, int show,
                   DWORD& exitCode);

}  // namespace setupprog
