// The real platform calls behind the post-shred actions.
#include "engine/shred_manager.h"
#include "win32/com_ptr.h"
#include "win32/unique_handle.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlhist.h>

#include <vector>

namespace {

const GUID kClsidUrlHistory = {
    0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
const GUID kIidUrlHistoryStg2 = {
    0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

// Protected Storage, declared here as far as the clean-up uses it; the slots
// it never calls keep their places in the table.
using PstKey = DWORD;
constexpr PstKey kPstKeyCurrentUser = 0;

struct IEnumPStoreTypes : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(DWORD count, GUID* types, DWORD* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(DWORD count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPStoreTypes** clone) = 0;
};

struct IEnumPStoreItems : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(DWORD count, LPWSTR* names, DWORD* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(DWORD count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumPStoreItems** clone) = 0;
};

struct IPStore : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInfo(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProvParam(DWORD, DWORD*, BYTE**, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProvParam(DWORD, DWORD, BYTE*, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateType(PstKey, const GUID*, void*, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(PstKey, const GUID*, void**, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteType(PstKey, const GUID*, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSubtype(PstKey, const GUID*, const GUID*, void*, void*,
                                                    DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSubtypeInfo(PstKey, const GUID*, const GUID*, void**,
                                                     DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteSubtype(PstKey, const GUID*, const GUID*, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadAccessRuleset(PstKey, const GUID*, const GUID*, void**,
                                                        DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteAccessRuleset(PstKey, const GUID*, const GUID*, void*,
                                                         DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumTypes(PstKey key, DWORD flags,
                                                IEnumPStoreTypes** types) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumSubtypes(PstKey key, const GUID* type, DWORD flags,
                                                   IEnumPStoreTypes** subtypes) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItem(PstKey key, const GUID* type, const GUID* subtype,
                                                 LPCWSTR name, void* prompt, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadItem(PstKey key, const GUID* type, const GUID* subtype,
                                               LPCWSTR name, DWORD* cbData, BYTE** data,
                                               void* prompt, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteItem(PstKey, const GUID*, const GUID*, LPCWSTR, DWORD,
                                                BYTE*, void*, DWORD, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenItem(PstKey, const GUID*, const GUID*, LPCWSTR, DWORD,
                                               void*, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseItem(PstKey, const GUID*, const GUID*, LPCWSTR,
                                                DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumItems(PstKey key, const GUID* type, const GUID* subtype,
                                                DWORD flags, IEnumPStoreItems** items) = 0;
};

using PStoreCreateInstanceFn = HRESULT(WINAPI*)(IPStore**, void*, void*, DWORD);

// The auto-complete items' type: its first field formatted "%x".
constexpr DWORD kAutoCompleteTypeFirstField = 0xe161255a;

// One subtype: read every item's name (freed with the allocator that made
// it), then delete every name read. True when the last deletion succeeded;
// `deletedAny` tells whether there was one.
bool ClearSubtype(IPStore* store, const GUID& type, const GUID& subtype, bool& deletedAny)
{
    win32::ComPtr<IEnumPStoreItems> items;
    if (FAILED(store->EnumItems(kPstKeyCurrentUser, &type, &subtype, 0, items.put())) || !items)
        return false;
    std::vector<std::wstring> names;
    LPWSTR name = nullptr;
    DWORD fetched = 0;
    while (items->Next(1, &name, &fetched) == S_OK && fetched == 1) {
        if (name) {
            DWORD cbData = 0;
            BYTE* data = nullptr;
            if (SUCCEEDED(store->ReadItem(kPstKeyCurrentUser, &type, &subtype, name, &cbData, &data,
                                          nullptr, 0)) &&
                name[0] != L'\0')
                names.emplace_back(name);
            ::CoTaskMemFree(data);
            ::CoTaskMemFree(name);
            name = nullptr;
        }
    }
    bool lastSucceeded = false;
    for (const auto& itemName : names) {
        lastSucceeded = SUCCEEDED(
            store->DeleteItem(kPstKeyCurrentUser, &type, &subtype, itemName.c_str(), nullptr, 0));
        deletedAny = true;
    }
    return lastSucceeded;
}

}  // namespace

bool ShredPlatform::ReadIEVersion(std::wstring& version)
{
    wchar_t buffer[131] = {};  // 260 bytes, as the value was always read
    DWORD type = 0;
    DWORD cbData = sizeof(buffer) - sizeof(wchar_t);
    if (::SHGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer\\Version Vector",
                      L"IE", &type, buffer, &cbData) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[cbData / sizeof(wchar_t) < ARRAYSIZE(buffer) ? cbData / sizeof(wchar_t)
                                                        : ARRAYSIZE(buffer) - 1] = L'\0';
    version = buffer;
    return true;
}

bool ShredPlatform::ClearUrlHistory()
{
    const HRESULT initialised = ::CoInitialize(nullptr);
    bool cleared = false;
    {
        // Released before the apartment goes.
        win32::ComPtr<IUrlHistoryStg2> history;
        const HRESULT created = ::CoCreateInstance(kClsidUrlHistory, nullptr,
                                                   CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                                   kIidUrlHistoryStg2, history.put_void());
        if (SUCCEEDED(created) && history) {
            history->ClearHistory();
            cleared = true;
        }
    }
    if (SUCCEEDED(initialised))
        ::CoUninitialize();
    return cleared;
}

void ShredPlatform::StartHistoryCleanup(const std::wstring& program)
{
    ::ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_HIDE);
}

void ShredPlatform::EmptyRecycleBin()
{
    ::SHEmptyRecycleBinW(nullptr, nullptr,
                         SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}

bool ShredPlatform::ClearProtectedStorage()
{
    // From the system folder only: a copy elsewhere on the search path must
    // never be loaded.
    wchar_t system[MAX_PATH];
    const UINT cch = ::GetSystemDirectoryW(system, ARRAYSIZE(system));
    if (cch == 0 || cch >= ARRAYSIZE(system) - 16)
        return false;
    const std::wstring library = std::wstring(system, cch) + L"\\pstorec.dll";
    win32::UniqueModule module(
        ::LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module)
        return false;
    const auto create = reinterpret_cast<PStoreCreateInstanceFn>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), "PStoreCreateInstance")));
    if (!create)
        return false;
    win32::ComPtr<IPStore> store;
    if (FAILED(create(store.put(), nullptr, nullptr, 0)) || !store)
        return false;
    win32::ComPtr<IEnumPStoreTypes> types;
    if (FAILED(store->EnumTypes(kPstKeyCurrentUser, 0, types.put())) || !types)
        return false;

    bool lastSucceeded = false;
    bool deletedAny = false;
    GUID type = {};
    DWORD fetched = 0;
    while (types->Next(1, &type, &fetched) == S_OK && fetched == 1) {
        if (type.Data1 != kAutoCompleteTypeFirstField)
            continue;
        win32::ComPtr<IEnumPStoreTypes> subtypes;
        if (FAILED(store->EnumSubtypes(kPstKeyCurrentUser, &type, 0, subtypes.put())) || !subtypes)
            continue;
        GUID subtype = {};
        while (subtypes->Next(1, &subtype, &fetched) == S_OK && fetched == 1) {
            bool deletedHere = false;
            const bool result = ClearSubtype(store.get(), type, subtype, deletedHere);
            if (deletedHere) {
                lastSucceeded = result;
                deletedAny = true;
            }
        }
    }
    return deletedAny && lastSucceeded;
}

namespace {
ShredPlatform g_realPlatform;
ShredPlatform* g_platform = &g_realPlatform;
}  // namespace

void SetShredPlatform(ShredPlatform* platform)
{
    g_platform = platform ? platform : &g_realPlatform;
}

ShredPlatform& CurrentShredPlatform()
{
    return *g_platform;
}
