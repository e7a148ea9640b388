#include "desktop/fennick_module.h"

#include "desktop/desktop_folder.h"
#include "desktop/drop_target.h"
#include "desktop/fennick_guids.h"
#include "desktop/fennick_registration.h"
#include "framework/com/registration.h"
#include "win32/path.h"
#include "win32/registry.h"

#include <oleauto.h>
#include <shlobj.h>
#include <strsafe.h>

#include <optional>

namespace {

constexpr fw::ClassEntry kObjectMap[] = {
    {&CLSID_OVHWDesktopFolderImpl, &CreateDesktopFolder},
    {&CLSID_OVHWDropTargetImpl, &CreateDropTarget},
};

std::optional<CFennickModule> g_module;

// A class factory whose LockServer keeps the library loaded, as the shell
// expects of a server it caches.
class CFennickFactory final : public fw::CClassFactory {
public:
    using fw::CClassFactory::CClassFactory;
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? FennickModule().Lock() : FennickModule().Unlock();
        return S_OK;
    }
};

// Registration reads and writes text in the system's locale, whatever the
// calling thread's is.
class SystemLocale {
public:
    SystemLocale() : m_saved(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocale() { ::SetThreadLocale(m_saved); }
    SystemLocale(const SystemLocale&) = delete;
    SystemLocale& operator=(const SystemLocale&) = delete;

private:
    LCID m_saved;
};

// The type library carried as TYPELIB 1 in the module at `path`.
HRESULT LoadOwnTypeLib(const std::wstring& path, ITypeLib** typeLib)
{
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib);
}

HRESULT RegisterOwnTypeLib(const std::wstring& path)
{
    ITypeLib* typeLib = nullptr;
    HRESULT hr = LoadOwnTypeLib(path, &typeLib);
    if (FAILED(hr))
        return hr;
    // The library's folder as the help folder, as ATL registers it.
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    hr = ::RegisterTypeLib(typeLib, const_cast<wchar_t*>(path.c_str()),
                           const_cast<wchar_t*>(folder.c_str()));
    typeLib->Release();
    return hr;
}

// True only when the library's version key under HKCR\TypeLib is surely
// absent, as RegisterTypeLib names it ("{LIBID}\major.minor", in hex).
bool TypeLibVersionKeyAbsent(const TLIBATTR& attributes)
{
    wchar_t libId[40] = {};
    wchar_t path[96] = {};
    if (!::StringFromGUID2(attributes.guid, libId, ARRAYSIZE(libId)) ||
        FAILED(::StringCchPrintfW(path, ARRAYSIZE(path), L"TypeLib\\%s\\%x.%x", libId,
                                  attributes.wMajorVerNum, attributes.wMinorVerNum)))
        return false;
    win32::UniqueKey key;
    return win32::OpenKey(HKEY_CLASSES_ROOT, path, KEY_READ, key) == ERROR_FILE_NOT_FOUND;
}

HRESULT UnregisterOwnTypeLib(const std::wstring& path)
{
    ITypeLib* typeLib = nullptr;
    HRESULT hr = LoadOwnTypeLib(path, &typeLib);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    hr = typeLib->GetLibAttr(&attributes);
    if (SUCCEEDED(hr)) {
        hr = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                 attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
        // Not registered is what unregistration wants. Some systems answer
        // E_INVALIDARG for a library they find no registration of: that
        // counts as gone only when its version key is indeed absent.
        if (hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ||
            (hr == E_INVALIDARG && TypeLibVersionKeyAbsent(*attributes)))
            hr = S_OK;
        typeLib->ReleaseTLibAttr(attributes);
    }
    typeLib->Release();
    return hr;
}

// Shows or removes the icon at once.
void RefreshDesktop()
{
    wchar_t desktop[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, desktop)))
        ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, desktop, nullptr);
}

}  // namespace

CFennickModule& FennickModule()
{
    return *g_module;
}

void CreateFennickModule(HINSTANCE instance)
{
    g_module.emplace(instance);
}

HRESULT CFennickModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const
{
    return fw::GetClassObject<CFennickFactory>(kObjectMap, clsid, riid, ppv);
}

HRESULT CFennickModule::CanUnloadNow() const
{
    return fw::LiveComObjects() == 0 && m_locks == 0 ? S_OK : S_FALSE;
}

HRESULT CFennickModule::RegisterServer() const
{
    return fw::ComBoundary([this] {
        std::wstring path;
        HRESULT hr = win32::ModulePath(m_instance, path);
        if (FAILED(hr))
            return hr;
        {
            SystemLocale locale;
            hr = ApplyScript(ModuleScript());
            if (SUCCEEDED(hr))
                hr = ApplyScript(FolderClassScript(path));
            if (SUCCEEDED(hr))
                hr = RegisterOwnTypeLib(path);
        }
        if (SUCCEEDED(hr))
            RefreshDesktop();
        return hr;
    });
}

HRESULT CFennickModule::UnregisterServer() const
{
    return fw::ComBoundary([this] {
        std::wstring path;
        HRESULT hr = win32::ModulePath(m_instance, path);
        if (FAILED(hr))
            return hr;
        {
            SystemLocale locale;
            hr = RemoveScript(FolderClassScript(path));
            if (SUCCEEDED(hr))
                hr = UnregisterOwnTypeLib(path);
            if (SUCCEEDED(hr))
                hr = RemoveScript(ModuleScript());
        }
        if (SUCCEEDED(hr))
            RefreshDesktop();
        return hr;
    });
}
