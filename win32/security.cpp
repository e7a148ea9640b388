#include "win32/security.h"

namespace win32 {

void OpenSecurityAttributes(SECURITY_DESCRIPTOR& descriptor, SECURITY_ATTRIBUTES& attributes)
{
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
}

}  // namespace win32
