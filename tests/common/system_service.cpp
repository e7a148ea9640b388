#include "tests/common/system_service.h"

#include "tests/common/wait.h"
#include "win32/unique_handle.h"

#include <windows.h>

namespace testsupport {

bool StartSystemService(const wchar_t* name)
{
    win32::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    win32::UniqueService service(
        manager ? ::OpenServiceW(manager.get(), name, SERVICE_START | SERVICE_QUERY_STATUS)
                : nullptr);
    if (!service || (!::StartServiceW(service.get(), 0, nullptr) &&
                     ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING))
        return false;
    return WaitUntil([&] {
        SERVICE_STATUS status = {};
        return ::QueryServiceStatus(service.get(), &status) &&
               status.dwCurrentState == SERVICE_RUNNING;
    });
}

}  // namespace testsupport
