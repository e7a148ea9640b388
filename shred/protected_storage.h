// Protected Storage, declared as far as the auto-complete clean-up uses it;
// the slots it never calls keep their places in the table. The store comes
// from pstorec.dll on systems that have it; tests hand in their own.
#pragma once

#include <windows.h>
#include <unknwn.h>

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

// Deletes every item of every subtype of the auto-complete type (the type
// whose first field is 0xe161255a). True when something was deleted and the
// last deletion succeeded.
bool ClearAutoCompleteItems(IPStore* store);
