#include "tests/common/pipe_rights.h"

#include <aclapi.h>
#include <sddl.h>

namespace testsupport {

DWORD MapPipeAccess(DWORD access)
{
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    ::MapGenericMask(&access, &mapping);
    return access;
}

DWORD PipeRightsOf(PACL acl, PSID sid)
{
    if (!acl)
        return FILE_ALL_ACCESS;
    ACL_SIZE_INFORMATION size{};
    if (!::GetAclInformation(acl, &size, sizeof(size), AclSizeInformation))
        return 0;
    DWORD granted = 0;
    DWORD denied = 0;
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace))
            break;
        // Allowed and denied entries share one layout.
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (!::EqualSid(const_cast<DWORD*>(&entry->SidStart), sid))
            continue;
        const DWORD mask = MapPipeAccess(entry->Mask);
        if (entry->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            denied |= mask & ~granted;
        else if (entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            granted |= mask & ~denied;
    }
    return granted;
}

HandleDacl::HandleDacl(HANDLE handle)
{
    m_read = ::GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, &m_dacl, nullptr, &m_descriptor) == ERROR_SUCCESS;
}

HandleDacl::~HandleDacl()
{
    if (m_descriptor)
        ::LocalFree(m_descriptor);
}

std::wstring HandleDacl::Sddl() const
{
    wchar_t* text = nullptr;
    if (!m_descriptor ||
        !::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            m_descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"?";
    std::wstring sddl = text;
    ::LocalFree(text);
    return sddl;
}

}  // namespace testsupport
