// The built Fennick.dll copied into a scratch folder of the test prefix,
// where regsvr32, Wardelle and LoadLibrary reach it.
#pragma once

#include "tests/common/scratch_folder.h"

#include <windows.h>

#include <algorithm>
#include <string>

#ifndef FENNICK_DLL_UNIX_PATH
#error "the tests need the built desktop icon"
#endif

namespace desktoptest {

inline bool CopyBuiltFennick(const std::wstring& target)
{
    std::wstring built = L"\\\\?\\unix" + std::wstring(FENNICK_DLL_UNIX_PATH);
    std::replace(built.begin(), built.end(), L'/', L'\\');
    return ::CopyFileW(built.c_str(), target.c_str(), FALSE) != FALSE;
}

}  // namespace desktoptest
