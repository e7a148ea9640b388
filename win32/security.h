// Security attributes for objects every account of the session must reach.
#pragma once

#include <windows.h>

namespace win32 {

// Attributes whose descriptor has no DACL at all (a NULL DACL, not an empty
// one, which would grant nothing): every account gets full access to what is
// made with them. `descriptor` must outlive the attributes' use.
void OpenSecurityAttributes(SECURITY_DESCRIPTOR& descriptor, SECURITY_ATTRIBUTES& attributes);

}  // namespace win32
