#include "service/pipe_io.h"

#include <sddl.h>

namespace pipeio {

PipeSecurity::~PipeSecurity() = default;

bool PipeSecurity::Init()
{
    win32::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kBleachPipeSddl, SDDL_REVISION_1,
                                                                descriptor.put(), nullptr))
        return false;
    m_descriptor = std::move(descriptor);
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = m_descriptor.get();
    m_attributes.bInheritHandle = FALSE;
    return true;
}

}  // namespace pipeio
