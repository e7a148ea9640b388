#include "settings/install_location.h"

#include "win32/registry.h"

std::wstring ReadInstallLocation()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return {};
    std::wstring location;
    if (win32::ReadString(key.get(), L"InstallLocation", location) != ERROR_SUCCESS)
        return {};
    return location;
}

std::wstring InstallFolderOrDefault()
{
    std::wstring location = ReadInstallLocation();
    return location.empty() ? std::wstring(kDefaultInstallFolder) : location;
}

bool ReadEnableSuccessLogging()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0;
    if (win32::ReadDword(key.get(), L"EnableSuccessLogging", value) != ERROR_SUCCESS)
        return false;
    return (value & 0xFF) != 0;
}
