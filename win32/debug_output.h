// Texts for developers: formatted with the Windows meaning of "%s" (a wide
// string) and sent to the debugger output; no user sees them.
#pragma once

namespace win32 {

void DebugPrint(const wchar_t* format, ...);

}  // namespace win32
