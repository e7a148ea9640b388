// The last error of a call that has just failed, as an HRESULT. A call that
// failed without setting an error (some USER and registry calls do) is still
// a failure: E_FAIL, never S_OK.
#pragma once

#include <windows.h>

namespace win32 {

inline HRESULT LastErrorHResult()
{
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace win32
