#include "framework/com/registration.h"

#include "win32/registry.h"

namespace fw {

RegistryRow StringRow(HKEY root, std::wstring path, std::wstring name, const std::wstring& text,
                      DWORD type)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    std::vector<BYTE> data(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return RegistryRow{root, std::move(path), std::move(name), type, std::move(data)};
}

HRESULT ApplyRow(const RegistryRow& row)
{
    win32::UniqueKey key;
    LSTATUS status = win32::CreateKey(row.root, row.path.c_str(), KEY_WRITE, key);
    if (status == ERROR_SUCCESS)
        status = ::RegSetValueExW(key.get(), row.name.c_str(), 0, row.type, row.data.data(),
                                  static_cast<DWORD>(row.data.size()));
    return HResultFromStatus(status);
}

HRESULT RemoveRow(const RegistryRow& row)
{
    std::wstring path = row.path;
    // The row's own key goes with whatever values it holds; a key above it
    // may hold another component's values and goes only when left empty.
    bool ownKey = true;
    while (!path.empty()) {
        DWORD subkeys = 0;
        DWORD values = 0;
        {
            win32::UniqueKey key;
            LSTATUS status = win32::OpenKey(row.root, path.c_str(), KEY_READ, key);
            if (status == ERROR_SUCCESS)
                status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr);
            if (status != ERROR_SUCCESS)
                return HResultFromStatus(status);
        }
        if (subkeys > 0 || (!ownKey && values > 0))
            return S_OK;
        const LSTATUS status = ::RegDeleteKeyW(row.root, path.c_str());
        if (status != ERROR_SUCCESS)
            return HResultFromStatus(status);
        const size_t backslash = path.rfind(L'\\');
        path.resize(backslash == std::wstring::npos ? 0 : backslash);
        ownKey = false;
    }
    return S_OK;
}

bool RowIsApplied(const RegistryRow& row)
{
    win32::UniqueKey key;
    if (win32::OpenKey(row.root, row.path.c_str(), KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return false;
    // One byte more than the row's data: a longer stored value cannot fit and
    // so cannot pass for the row.
    std::vector<BYTE> stored(row.data.size() + 1);
    DWORD type = REG_NONE;
    DWORD cbStored = static_cast<DWORD>(stored.size());
    if (::RegQueryValueExW(key.get(), row.name.c_str(), nullptr, &type, stored.data(), &cbStored) !=
        ERROR_SUCCESS)
        return false;
    stored.resize(cbStored);
    return type == row.type && stored == row.data;
}

}  // namespace fw
