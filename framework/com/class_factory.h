// Class objects from tables: one {CLSID, create function} table behind
// DllGetClassObject, the class factory it hands out, and a small module
// object standing in for ATL's, whose object map is such a table.
#pragma once

#include "framework/com/com_object.h"

#include <windows.h>
#include <unknwn.h>

#include <span>

namespace fw {

// Makes an object and hands out the interface asked for; a failed query
// frees the object and leaves *ppv null (fw::CreateComObject does both).
using CreateFunction = HRESULT (*)(REFIID riid, void** ppv);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

// The first entry for `clsid`, or null.
const ClassEntry* FindClass(std::span<const ClassEntry> table, REFCLSID clsid);

// The class factory of one creator. Subclasses that choose another object
// per request override CreateObject.
class CClassFactory : public CComObjectBase<IClassFactory, IID_IClassFactory> {
public:
    explicit CClassFactory(CreateFunction create) : m_create(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) final;
    // The module stays loaded for as long as its host runs: nothing to count.
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

protected:
    // Called with *ppv already null and without an outer object.
    virtual HRESULT CreateObject(REFIID riid, void** ppv) { return m_create(riid, ppv); }
    CreateFunction Creator() const { return m_create; }

private:
    const CreateFunction m_create;
};

// A `Factory` (made from the entry's creator) for `clsid`, queried for
// `riid`; CLASS_E_CLASSNOTAVAILABLE and nothing made when the table lacks it.
template <typename Factory = CClassFactory>
HRESULT GetClassObject(std::span<const ClassEntry> table, REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const ClassEntry* entry = FindClass(table, clsid);
    if (!entry)
        return CLASS_E_CLASSNOTAVAILABLE;
    return CreateComObject<Factory>(riid, ppv, entry->create);
}

// The module object: its object map and the class objects made from it.
class ComModule {
public:
    constexpr explicit ComModule(std::span<const ClassEntry> objectMap) : m_objectMap(objectMap) {}

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const
    {
        return fw::GetClassObject(m_objectMap, clsid, riid, ppv);
    }

private:
    std::span<const ClassEntry> m_objectMap;
};

}  // namespace fw
