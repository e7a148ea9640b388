// The system's message text for an error code, in the code page and form the
// shred log writes it (the system's own line end kept).
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

std::string SystemText(DWORD code);

}  // namespace testsupport
