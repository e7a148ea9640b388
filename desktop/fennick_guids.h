// The class, interface, type-library and application identifiers of the
// desktop icon, declared once (fennick.idl carries the same values into the
// type library).
#pragma once

#include <windows.h>

// The desktop folder: the one registered class.
extern const CLSID CLSID_OVHWDesktopFolderImpl;
// The drop target the folder hands out; never registered.
extern const CLSID CLSID_OVHWDropTargetImpl;
// The classes' own interfaces, with no methods beyond IUnknown.
extern const IID IID_IOVHWDesktopFolderImpl;
extern const IID IID_IOVHWDropTargetImpl;
extern const GUID LIBID_FennickLib;
extern const GUID APPID_Fennick;

// Registry forms of the identifiers.
inline constexpr wchar_t kFolderClsidText[] = L"{92644C80-C318-408A-9EDA-1B0C245D73A5}";
inline constexpr wchar_t kTypeLibText[] = L"{6DED1D15-5F05-4087-8BA5-3A50493431ED}";
inline constexpr wchar_t kAppIdText[] = L"{1C987E0B-3A55-4FF8-901D-3615D175C1C6}";
