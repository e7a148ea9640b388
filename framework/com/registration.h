// Registration as data: each registry entry a component needs is one row,
// and the same code applies, removes and checks rows for the COM exports,
// the setup programs and the tests alike.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fw {

// One value in one key. `root` is a predefined key or a key the caller holds
// open (its registry view is then the row's view); removal never goes above it.
struct RegistryRow {
    HKEY root = nullptr;
    std::wstring path;  // the key below root
    std::wstring name;  // empty: the key's unnamed value
    DWORD type = REG_SZ;
    std::vector<BYTE> data;  // exactly the bytes stored
};

// A REG_SZ or REG_EXPAND_SZ row; the byte count includes the terminating NUL.
RegistryRow StringRow(HKEY root, std::wstring path, std::wstring name, const std::wstring& text,
                      DWORD type = REG_SZ);

// Creates the key (and the keys above it) and sets the value.
HRESULT ApplyRow(const RegistryRow& row);

// Deletes the row's key (unless it has subkeys) and then each key above it
// that is left with neither subkeys nor values, up to but never including
// root; a key that is not empty ends the walk with success. A missing key is
// a failure.
HRESULT RemoveRow(const RegistryRow& row);

// True when the value exists with exactly the row's type and bytes.
bool RowIsApplied(const RegistryRow& row);

// A Win32 status as an HRESULT (0 stays 0).
inline HRESULT HResultFromStatus(LSTATUS status)
{
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

}  // namespace fw
