#include "win32/debug_output.h"

#include <windows.h>
#include <strsafe.h>

#include <cstdarg>

namespace win32 {

void DebugPrint(const wchar_t* format, ...)
{
    wchar_t line[1024];
    va_list args;
    va_start(args, format);
    const HRESULT formatted = ::StringCchVPrintfW(line, ARRAYSIZE(line), format, args);
    va_end(args);
    if (SUCCEEDED(formatted))
        ::OutputDebugStringW(line);
}

}  // namespace win32
