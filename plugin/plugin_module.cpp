#include "plugin/plugin_module.h"

#include "framework/com/registration.h"
#include "plugin/backup_restore.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"
#include "plugin/registrar.h"
#include "win32/path.h"

constexpr fw::ClassEntry PluginObjectTable[4] = {
    {&IID_IFWTWPages, &CreatePluginPages},
    {&IID_IFWTWTrayMenuItems, &CreateTrayMenu},
    {&IID_IFWTWTraySubscribe, &CreateTrayNotifications},
    {&IID_IFWTWTrayNotifyCallback, &CreateTrayNotifyCallback},
};

namespace {

// The module object standing in for ATL's: its map holds the one ATL-made
// class.
constexpr fw::ClassEntry kObjectMap[] = {{&CLSID_TWBackupRestore, &CreateBackupRestore}};
constexpr fw::ComModule g_module{kObjectMap};

// The class factory of the table's classes. The object is chosen by the
// interface asked for: one of the table's identifiers makes that object
// whatever class the factory was made for; any other identifier (IUnknown
// among them) makes the factory's own class.
class CPluginFactory final : public fw::CClassFactory {
public:
    using fw::CClassFactory::CClassFactory;

protected:
    HRESULT CreateObject(REFIID riid, void** ppv) override
    {
        const fw::ClassEntry* chosen = fw::FindClass(PluginObjectTable, riid);
        return (chosen ? chosen->create : Creator())(riid, ppv);
    }
};

// The registry entries, in the order they are made and removed.
struct PluginEntry {
    const wchar_t* category;
    const CLSID* clsid;
};
constexpr PluginEntry kEntries[] = {
    {L"TrayIcon", &IID_IFWTWTrayMenuItems},
    {L"TrayIcon", &IID_IFWTWTraySubscribe},
    {L"TrayIcon", &IID_IFWTWTrayNotifyCallback},
    {L"UIElements\\BackupRestore", &CLSID_TWBackupRestore},
    {L"UserConsole", &IID_IFWTWPages},
};

// Runs `step` for every entry; the first failure, or S_OK.
template <typename Step>
HRESULT EachEntry(Step&& step)
{
    HRESULT first = S_OK;
    for (const PluginEntry& entry : kEntries) {
        const HRESULT hr = step(entry);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
}

}  // namespace

HRESULT PluginGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return fw::ComBoundary([&] {
        if (IsEqualCLSID(clsid, CLSID_TWBackupRestore))
            return g_module.GetClassObject(clsid, riid, ppv);
        return fw::GetClassObject<CPluginFactory>(PluginObjectTable, clsid, riid, ppv);
    });
}

HRESULT PluginCanUnloadNow()
{
    return S_FALSE;
}

HRESULT PluginRegisterServer(HMODULE library)
{
    return fw::ComBoundary([library] {
        std::wstring path;
        const HRESULT hr = win32::ModulePath(library, path);
        if (FAILED(hr))
            return hr;
        FWTW_SDK::CRegisterComponents registrar;
        return EachEntry([&](const PluginEntry& entry) {
            return registrar.Register(entry.category, *entry.clsid, path);
        });
    });
}

HRESULT PluginUnregisterServer()
{
    return fw::ComBoundary([] {
        FWTW_SDK::CUnregisterComponents registrar;
        return EachEntry([&](const PluginEntry& entry) {
            return registrar.Unregister(entry.category, *entry.clsid);
        });
    });
}
