// The bleach service's pipes: the overlapped I/O of win32/pipe_io.h and the
// security every pipe is created with.
#pragma once

#include "win32/pipe_io.h"
#include "win32/unique_handle.h"

#include <windows.h>

namespace pipeio {

// The security every bleach pipe is created with: generic all to built-in
// guests and administrators, read, write and execute to authenticated users,
// nothing to anonymous logons; handles not inheritable.
inline constexpr wchar_t kBleachPipeSddl[] =
    L"D:(A;OICI;GA;;;BG)(D;OICI;GA;;;AN)(A;OICI;GRGWGX;;;AU)(A;OICI;GA;;;BA)";

class PipeSecurity {
public:
    PipeSecurity() = default;
    ~PipeSecurity();
    PipeSecurity(const PipeSecurity&) = delete;
    PipeSecurity& operator=(const PipeSecurity&) = delete;

    // Builds the descriptor; false (and nothing held) when it cannot be made.
    bool Init();
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    win32::UniqueLocal<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{};
};

}  // namespace pipeio
