// Starting a helper program (msiexec, reg.exe) and waiting for its end: the
// setup programs never go on while a program they started still runs.
#pragma once

#include <windows.h>

#include <string>

namespace setupprog {

// Starts `file` with `parameters` in the window state `show` and waits
// without time limit for it to end. False when it could not be started;
// nothing is shown to the user either way.
bool StartAndWait(const wchar_t* file, const std::wstring& parameters, int show);

}  // namespace setupprog
