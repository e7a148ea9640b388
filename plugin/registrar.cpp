#include "plugin/registrar.h"

#include "win32/registry.h"

#include <objbase.h>

namespace FWTW_SDK {

CRegistrarBase::CRegistrarBase(bool create)
{
    const REGSAM access = KEY_WRITE | kPluginsView;
    const LSTATUS status = create ? win32::CreateKey(HKEY_LOCAL_MACHINE, kPluginsKey, access, m_key)
                                  : win32::OpenKey(HKEY_LOCAL_MACHINE, kPluginsKey, access, m_key);
    m_openResult = fw::HResultFromStatus(status);
}

fw::RegistryRow CRegistrarBase::EntryRow(const wchar_t* category, REFCLSID clsid,
                                         const std::wstring& path) const
{
    wchar_t clsidText[40];  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    ::StringFromGUID2(clsid, clsidText, ARRAYSIZE(clsidText));
    return fw::StringRow(m_key.get(), std::wstring(category) + L"\\" + clsidText, L"", path,
                         REG_EXPAND_SZ);
}

HRESULT CRegisterComponents::Register(const wchar_t* category, REFCLSID clsid,
                                      const std::wstring& path)
{
    if (FAILED(OpenResult()))
        return OpenResult();
    return fw::ApplyRow(EntryRow(category, clsid, path));
}

HRESULT CUnregisterComponents::Unregister(const wchar_t* category, REFCLSID clsid)
{
    if (FAILED(OpenResult()))
        return OpenResult();
    return fw::RemoveRow(EntryRow(category, clsid, {}));
}

}  // namespace FWTW_SDK
