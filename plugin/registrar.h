// The registrars that enter the plug-in's objects under the host's plug-in
// key, HKEY_LOCAL_MACHINE "SOFTWARE\Ferrowind\FWTW\Plugins": one key
// "<category>\{CLSID}" per object, whose unnamed value is the library path.
// The key is opened in the 32-bit view, where the 32-bit host reads it (the
// 64-bit test build registers where the host would look, too).
#pragma once

#include "framework/com/registration.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <string>

namespace FWTW_SDK {

inline constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Ferrowind\\FWTW\\Plugins";
inline constexpr REGSAM kPluginsView = KEY_WOW64_32KEY;

// Holds the plug-in key open for its lifetime; the failure to open it is
// kept and returned by every entry.
class CRegistrarBase {
public:
    CRegistrarBase(const CRegistrarBase&) = delete;
    CRegistrarBase& operator=(const CRegistrarBase&) = delete;

    HRESULT OpenResult() const { return m_openResult; }

protected:
    // Opens the key with KEY_WRITE, creating it when `create` says so.
    explicit CRegistrarBase(bool create);
    ~CRegistrarBase() = default;

    // The row of one entry: "<category>\{CLSID}" below the plug-in key, its
    // unnamed value `path` as REG_EXPAND_SZ with its NUL.
    fw::RegistryRow EntryRow(const wchar_t* category, REFCLSID clsid,
                             const std::wstring& path) const;

private:
    win32::UniqueKey m_key;
    HRESULT m_openResult = S_OK;
};

class CRegisterComponents : public CRegistrarBase {
public:
    CRegisterComponents() : CRegistrarBase(true) {}
    HRESULT Register(const wchar_t* category, REFCLSID clsid, const std::wstring& path);
};

class CUnregisterComponents : public CRegistrarBase {
public:
    CUnregisterComponents() : CRegistrarBase(false) {}
    // Removes the entry's key and the category keys it leaves empty; the
    // plug-in key itself stays. A missing entry is a failure.
    HRESULT Unregister(const wchar_t* category, REFCLSID clsid);
};

}  // namespace FWTW_SDK
