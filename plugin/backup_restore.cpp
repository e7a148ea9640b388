// The backup and restore element: the host keeps the plug-in's whole
// settings as one byte array and hands it back to restore them.
#include "plugin/backup_restore.h"

#include "framework/com/com_object.h"
#include "framework/com/registration.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/page_instances.h"
#include "plugin/pages.h"
#include "resources/halvorin/resource.h"
#include "settings/settings_store.h"
#include "win32/path.h"
#include "win32/string_table.h"

#include <oleauto.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

enum ElementInfo : UINT { kElementId = 1, kElementIcon = 2, kElementName = 3 };

HRESULT SetBstr(VARIANT& out, const std::wstring& text)
{
    BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value)
        return E_OUTOFMEMORY;
    ::VariantInit(&out);
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = value;
    return S_OK;
}

// The bytes of a one-dimensional byte array, by its own bounds.
HRESULT ArrayBytes(SAFEARRAY* array, std::vector<BYTE>& bytes)
{
    if (!array || ::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != 1)
        return E_INVALIDARG;
    LONG lower = 0;
    LONG upper = 0;
    HRESULT hr = ::SafeArrayGetLBound(array, 1, &lower);
    if (SUCCEEDED(hr))
        hr = ::SafeArrayGetUBound(array, 1, &upper);
    if (FAILED(hr))
        return hr;
    if (upper < lower)
        return E_INVALIDARG;  // empty
    const size_t count = static_cast<size_t>(static_cast<LONGLONG>(upper) - lower + 1);
    void* data = nullptr;
    hr = ::SafeArrayAccessData(array, &data);
    if (FAILED(hr))
        return hr;
    bytes.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + count);
    ::SafeArrayUnaccessData(array);
    return S_OK;
}

class CTWBackupRestore final
    : public fw::CComObject<fw::ComInterface<IFWTWElementUI, IID_IFWTWElementUI>,
                            fw::ComInterface<IFWTWBackupRestore, IID_IFWTWBackupRestore>> {
public:
    STDMETHODIMP GetInfo(UINT kind, VARIANT* out) override
    {
        if (!out)
            return E_POINTER;
        return fw::ComBoundary([&]() -> HRESULT {
            const HINSTANCE module = PluginResourceInstance();
            switch (kind) {
            case kElementId:
                return SetBstr(*out, L"SC");
            case kElementIcon: {
                std::wstring path;
                const HRESULT hr = win32::ModulePath(module, path);
                if (FAILED(hr))
                    return hr;
                return SetBstr(*out, path + L"," + std::to_wstring(IDI_HALVORIN));
            }
            case kElementName:
                return SetBstr(*out, win32::LoadTableString(module, IDS_PRODUCT_NAME));
            default:
                return S_OK;  // nothing to tell
            }
        });
    }

    STDMETHODIMP Reserved(UINT, VARIANT*) override { return S_OK; }

    STDMETHODIMP Backup(VARIANT*, VARIANT* out) override
    {
        if (!out)
            return E_POINTER;
        return fw::ComBoundary([&]() -> HRESULT {
            std::vector<BYTE> block;
            SettingsStore settings;
            // A host keeps whatever comes back as a backup: no array, no
            // success.
            if (!settings.WriteBackupBlob(block) || block.empty())
                return E_FAIL;
            SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(block.size()));
            if (!array)
                return E_OUTOFMEMORY;
            void* data = nullptr;
            if (FAILED(::SafeArrayAccessData(array, &data))) {
                ::SafeArrayDestroy(array);
                return E_FAIL;
            }
            std::memcpy(data, block.data(), block.size());
            ::SafeArrayUnaccessData(array);
            ::VariantInit(out);
            V_VT(out) = VT_ARRAY | VT_UI1;
            V_ARRAY(out) = array;
            return S_OK;
        });
    }

    STDMETHODIMP Restore(VARIANT* data) override
    {
        // A variant without an array restores nothing.
        if (!data || (V_VT(data) & VT_ARRAY) == 0)
            return S_OK;
        return fw::ComBoundary([&]() -> HRESULT {
            if (V_VT(data) != (VT_ARRAY | VT_UI1))
                return E_INVALIDARG;
            std::vector<BYTE> bytes;
            const HRESULT hr = ArrayBytes(V_ARRAY(data), bytes);
            if (FAILED(hr))
                return hr;
            SettingsStore settings;
            // The reader checks the whole block before it writes anything.
            if (!settings.ReadBackupBlob(bytes.data(), bytes.size()))
                return E_FAIL;
            RefreshOpenPages();
            return S_OK;
        });
    }
};

}  // namespace

HRESULT CreateBackupRestore(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWBackupRestore>(riid, ppv);
}
