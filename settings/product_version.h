// The installed product's version: the REG_DWORD values "Product_HighVer"
// and "Product_LowVer" that the installer leaves under the machine key and
// the suite only reads.
#pragma once

#include <windows.h>

#include <optional>

struct ProductVersion {
    // Each empty when the key or the value is missing or is not a DWORD.
    std::optional<DWORD> high;
    std::optional<DWORD> low;
};

ProductVersion ReadProductVersion();
