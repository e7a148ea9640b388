#include "tests/common/unix_host.h"

#include <windows.h>

namespace testsupport {

namespace {

using UnixNameFn = char*(CDECL*)(const wchar_t*);
using SpawnFn = int(CDECL*)(char* const argv[], int wait);

SpawnFn WineSpawn()
{
    return reinterpret_cast<SpawnFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
}

}  // namespace

bool CanRunUnix()
{
    return WineSpawn() != nullptr;
}

bool RunUnix(std::vector<std::string> args)
{
    const SpawnFn spawn = WineSpawn();
    if (!spawn)
        return false;
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return spawn(argv.data(), 1) == 0;
}

std::string UnixName(const std::wstring& path)
{
    const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return {};
    char* name = unixName(path.c_str());
    if (!name)
        return {};
    std::string result = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

}  // namespace testsupport
