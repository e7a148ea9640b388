#include "settings/product_version.h"

#include "settings/install_location.h"
#include "win32/registry.h"

namespace {

std::optional<DWORD> ReadNumber(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    if (win32::ReadDword(key, name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

}  // namespace

ProductVersion ReadProductVersion()
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return {};
    ProductVersion version;
    version.high = ReadNumber(key.get(), L"Product_HighVer");
    version.low = ReadNumber(key.get(), L"Product_LowVer");
    return version;
}
