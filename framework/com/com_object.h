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

template <typename First, typename...>
struct FirstOf {
    using Type = First;
};
}  // namespace detail

// One entry of an object's interface map.
template <typename Interface, const IID& kInterfaceId>
struct ComInterface {
    using Type = Interface;
    static const IID& Id() { return kInterfaceId; }
};

// An object that answers IUnknown and each interface of its map (ATL's
// interface map, in its order). IUnknown is always the first interface, so the
// object's identity is one pointer. A failed query leaves *ppv null.
template <typename... Entries>
class CComObject : public Entries::Type... {
public:
    CComObject() { detail::ComObjectCreated(); }
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        using First = typename detail::FirstOf<typename Entries::Type...>::Type;
        void* found = nullptr;
        if (IsEqualIID(riid, IID_IUnknown))
            found = static_cast<First*>(this);
        else
            ((IsEqualIID(riid, Entries::Id()) &&
              (found = static_cast<typename Entries::Type*>(this)) != nullptr) ||
             ...);
        *ppv = found;
        if (!found)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
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
    virtual ~CComObject() { detail::ComObjectDestroyed(); }

private:
    LONG m_refs = 1;
};

// An object that answers IUnknown and one further interface.
template <typename Interface, const IID& kInterfaceId>
using CComObjectBase = CComObject<ComInterface<Interface, kInterfaceId>>;

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

// Runs `body` at a COM or DLL boundary: what it throws becomes an HRESULT and
// never crosses into the caller.
template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace fw
