// The plug-in's backup and restore element, the one object its module
// object's map makes.
#pragma once

#include <windows.h>

// {5F8A55FC-1D1A-4591-A2D0-B14E8A4A3104}
inline constexpr CLSID CLSID_TWBackupRestore = {
    0x5F8A55FC, 0x1D1A, 0x4591, {0xA2, 0xD0, 0xB1, 0x4E, 0x8A, 0x4A, 0x31, 0x04}};

// CTWBackupRestore, queried for `riid` (fw::CreateComObject).
HRESULT CreateBackupRestore(REFIID riid, void** ppv);
