// The real platform calls behind the post-shred actions.
#include "shred/protected_storage.h"
#include "shred/shred_manager.h"
#include "win32/com_ptr.h"
#include "win32/system_info.h"
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

using PStoreCreateInstanceFn = HRESULT(WINAPI*)(IPStore**, void*, void*, DWORD);

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
    const std::wstring library = win32::SystemProgramPath(L"pstorec.dll");
    if (library.empty())
        return false;
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
    return ClearAutoCompleteItems(store.get());
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
