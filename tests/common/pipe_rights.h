// What a pipe's access list lets an account do, worked out from its entries
// (Wine enforces none of it): tests read the descriptor back from a handle.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// `access` with its generic rights mapped as for a pipe.
DWORD MapPipeAccess(DWORD access);

// The rights `acl` grants to a token holding `sid` alone, entries taken in
// order and generic rights mapped as for a pipe. A null list grants all.
DWORD PipeRightsOf(PACL acl, PSID sid);

// The access list of the object behind `handle`, read back as a client sees it.
class HandleDacl {
public:
    explicit HandleDacl(HANDLE handle);
    ~HandleDacl();
    HandleDacl(const HandleDacl&) = delete;
    HandleDacl& operator=(const HandleDacl&) = delete;

    bool Read() const { return m_read; }
    PACL Dacl() const { return m_dacl; }
    // Its SDDL text, for failure messages.
    std::wstring Sddl() const;

private:
    bool m_read = false;
    PACL m_dacl = nullptr;
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
};

}  // namespace testsupport
