// The COM object base of the framework stand-in: a reference count born at 1
// (the creator holds the first reference), interlocked changes, and a count of
// the module's live objects that tests read to prove every object was freed.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <utility>

namespace fw {

// Objects of this module still alive (COM objects and class factories).
long LiveComObjects();

namespace detail {
void ComObjectCreated();
void ComObjectDestroyed();
}  // namespace detail

// An object that answers IUnknown and one further interface.
template <typename Interface, const IID& kInterfaceId>
class CComObjectBase : public Interface {
public:
    CComObjectBase() { detail::ComObjectCreated(); }
    CComObjectBase(const CComObjectBase&) = delete;
    CComObjectBase& operator=(const CComObjectBase&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kInterfaceId)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

protected:
    virtual ~CComObjectBase() { detail::ComObjectDestroyed(); }

private:
    LONG m_refs = 1;
};

// Makes a T, hands out the interface asked for and drops the creator's
// reference: a failed query frees the object and leaves *ppv null.
template <typename T, typename... Args>
HRESULT CreateComObject(REFIID riid, void** ppv, Args&&... args)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

}  // namespace fw
