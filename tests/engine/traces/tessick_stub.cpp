// Stand-in for the browser extension library. Its registration entry points
// record which copy of the library ran (its own full path) under the
// product's user key, and return the HRESULT the test left in "Result".
#include <windows.h>

namespace {

constexpr wchar_t kMarkerKey[] = L"Software\\Ostervale\\Scoravel\\TessickStub";

HMODULE g_module = nullptr;

HRESULT RecordCall(const wchar_t* valueName)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD cchPath = ::GetModuleFileNameW(g_module, path, ARRAYSIZE(path));
    if (cchPath == 0 || cchPath >= ARRAYSIZE(path))
        return E_UNEXPECTED;

    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0,
                          KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return E_UNEXPECTED;
    ::RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                     (cchPath + 1) * sizeof(wchar_t));
    DWORD result = S_OK;
    DWORD cbResult = sizeof(result);
    DWORD type = 0;
    if (::RegQueryValueExW(key, L"Result", nullptr, &type, reinterpret_cast<BYTE*>(&result),
                           &cbResult) != ERROR_SUCCESS ||
        type != REG_DWORD)
        result = S_OK;
    ::RegCloseKey(key);
    return static_cast<HRESULT>(result);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return RecordCall(L"Registered");
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return RecordCall(L"Unregistered");
}
