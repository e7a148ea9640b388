// The auto-complete clean-up against a store of the test's own: Wine has no
// Protected Storage, so the real store cannot show what is deleted.
#include "shred/protected_storage.h"

#include <objbase.h>

#include <cstring>
#include <gmock/gmock.h>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr GUID kAutoCompleteType = {
    0xe161255a, 0x37c3, 0x11d2, {0xbc, 0xaa, 0, 0xc0, 0x4f, 0xd9, 0x29, 0xdb}};
constexpr GUID kOtherType = {
    0x5e7e8100, 0x9138, 0x11d1, {0x94, 0x5a, 0, 0xc0, 0x4f, 0xc3, 0x08, 0xff}};
constexpr GUID kSubtypeA = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
constexpr GUID kSubtypeB = {0x2, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};

wchar_t* TaskMemCopy(const std::wstring& text)
{
    auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    return copy;
}

template <typename Interface, typename Item>
class FakeEnum final : public Interface {
public:
    explicit FakeEnum(std::vector<Item> items) : m_items(std::move(items)) {}
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    STDMETHODIMP Next(DWORD, Item* out, DWORD* fetched) override
    {
        if (m_next == m_items.size()) {
            *fetched = 0;
            return S_FALSE;
        }
        *out = Hand(m_items[m_next++]);
        *fetched = 1;
        return S_OK;
    }
    STDMETHODIMP Skip(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return E_NOTIMPL; }
    STDMETHODIMP Clone(Interface**) override { return E_NOTIMPL; }

private:
    static GUID Hand(const GUID& guid) { return guid; }
    static LPWSTR Hand(LPWSTR name) { return TaskMemCopy(name); }

    std::vector<Item> m_items;
    size_t m_next = 0;
    ULONG m_refs = 1;
};

using Items = std::vector<std::wstring>;

struct GuidPairLess {
    bool operator()(const std::pair<GUID, GUID>& a, const std::pair<GUID, GUID>& b) const
    {
        return std::memcmp(&a, &b, sizeof(a)) < 0;
    }
};

// Types, their subtypes and the item names of each; a name starting with
// "unreadable" fails ReadItem, one starting with "locked" fails DeleteItem.
class FakeStore final : public IPStore {
public:
    std::map<std::pair<GUID, GUID>, Items, GuidPairLess> items;
    std::vector<std::wstring> deleted;

    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetInfo(void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetProvParam(DWORD, DWORD*, BYTE**, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetProvParam(DWORD, DWORD, BYTE*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP CreateType(PstKey, const GUID*, void*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(PstKey, const GUID*, void**, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteType(PstKey, const GUID*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP CreateSubtype(PstKey, const GUID*, const GUID*, void*, void*, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetSubtypeInfo(PstKey, const GUID*, const GUID*, void**, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP DeleteSubtype(PstKey, const GUID*, const GUID*, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP ReadAccessRuleset(PstKey, const GUID*, const GUID*, void**, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP WriteAccessRuleset(PstKey, const GUID*, const GUID*, void*, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumTypes(PstKey, DWORD, IEnumPStoreTypes** out) override
    {
        std::vector<GUID> types;
        for (const auto& [key, names] : items)
            if (types.empty() || !IsEqualGUID(types.back(), key.first))
                types.push_back(key.first);
        *out = new FakeEnum<IEnumPStoreTypes, GUID>(types);
        return S_OK;
    }
    STDMETHODIMP EnumSubtypes(PstKey, const GUID* type, DWORD, IEnumPStoreTypes** out) override
    {
        std::vector<GUID> subtypes;
        for (const auto& [key, names] : items)
            if (IsEqualGUID(key.first, *type))
                subtypes.push_back(key.second);
        *out = new FakeEnum<IEnumPStoreTypes, GUID>(subtypes);
        return S_OK;
    }
    STDMETHODIMP DeleteItem(PstKey, const GUID*, const GUID*, LPCWSTR name, void*, DWORD) override
    {
        if (std::wstring_view(name).starts_with(L"locked"))
            return E_ACCESSDENIED;
        deleted.push_back(name);
        return S_OK;
    }
    STDMETHODIMP ReadItem(PstKey, const GUID*, const GUID*, LPCWSTR name, DWORD* cbData,
                          BYTE** data, void*, DWORD) override
    {
        if (std::wstring_view(name).starts_with(L"unreadable"))
            return E_FAIL;
        *cbData = 4;
        *data = static_cast<BYTE*>(::CoTaskMemAlloc(4));
        return S_OK;
    }
    STDMETHODIMP WriteItem(PstKey, const GUID*, const GUID*, LPCWSTR, DWORD, BYTE*, void*, DWORD,
                           DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP OpenItem(PstKey, const GUID*, const GUID*, LPCWSTR, DWORD, void*, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP CloseItem(PstKey, const GUID*, const GUID*, LPCWSTR, DWORD) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumItems(PstKey, const GUID* type, const GUID* subtype, DWORD,
                           IEnumPStoreItems** out) override
    {
        std::vector<LPWSTR> names;
        for (auto& name : items[{*type, *subtype}])
            names.push_back(name.data());
        *out = new FakeEnum<IEnumPStoreItems, LPWSTR>(names);
        return S_OK;
    }
};

struct StoreCase {
    const char* name;
    Items autoCompleteA;
    Items autoCompleteB;
    Items deleted;
    bool result;
};

void PrintTo(const StoreCase& value, std::ostream* out) { *out << value.name; }

class ProtectedStorageTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(ProtectedStorageTest, DeletesOnlyReadableAutoCompleteItems)
{
    FakeStore store;
    store.items[{kOtherType, kSubtypeA}] = {L"password"};
    if (!GetParam().autoCompleteA.empty())
        store.items[{kAutoCompleteType, kSubtypeA}] = GetParam().autoCompleteA;
    if (!GetParam().autoCompleteB.empty())
        store.items[{kAutoCompleteType, kSubtypeB}] = GetParam().autoCompleteB;

    EXPECT_EQ(GetParam().result, ClearAutoCompleteItems(&store));
    EXPECT_THAT(store.deleted, ::testing::UnorderedElementsAreArray(GetParam().deleted));
}

INSTANTIATE_TEST_SUITE_P(
    Stores, ProtectedStorageTest,
    ::testing::Values(
        StoreCase{"EveryItemOfBothSubtypes",
                  {L"form1", L"form2"},
                  {L"form3"},
                  {L"form1", L"form2", L"form3"},
                  true},
        StoreCase{"NothingToDelete", {}, {}, {}, false},
        StoreCase{"UnreadableItemsStay", {L"unreadable1", L"form1"}, {}, {L"form1"}, true},
        StoreCase{"TheLastDeletionFailing", {L"form1"}, {L"locked1"}, {L"form1"}, false},
        StoreCase{"AnEarlierDeletionFailing", {L"locked1"}, {L"form1"}, {L"form1"}, true}),
    [](const ::testing::TestParamInfo<StoreCase>& info) { return std::string(info.param.name); });

TEST(ProtectedStorageNullTest, NoStoreDeletesNothing)
{
    EXPECT_FALSE(ClearAutoCompleteItems(nullptr));
}

}  // namespace
