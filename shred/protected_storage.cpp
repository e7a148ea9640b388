#include "shred/protected_storage.h"

#include "win32/com_ptr.h"

#include <objbase.h>

#include <string>
#include <vector>

namespace {

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

bool ClearAutoCompleteItems(IPStore* store)
{
    win32::ComPtr<IEnumPStoreTypes> types;
    if (!store || FAILED(store->EnumTypes(kPstKeyCurrentUser, 0, types.put())) || !types)
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
            const bool result = ClearSubtype(store, type, subtype, deletedHere);
            if (deletedHere) {
                lastSucceeded = result;
                deletedAny = true;
            }
        }
    }
    return deletedAny && lastSucceeded;
}
