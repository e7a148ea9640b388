// The desktop icon's module, standing in for ATL's: the object map of its two
// classes, the lock count behind DllCanUnloadNow, and registration of the
// scripts and the type library followed by a refresh of the desktop.
// Fennick.dll's four exports forward to the one module object.
#pragma once

#include "framework/com/class_factory.h"

#include <windows.h>

class CFennickModule {
public:
    explicit CFennickModule(HINSTANCE instance) : m_instance(instance) {}

    // The library whose strings, icon and type library are used.
    HINSTANCE Instance() const { return m_instance; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
    // S_OK when no object, class factory or server lock is alive, S_FALSE
    // otherwise.
    HRESULT CanUnloadNow() const;
    void Lock() { ::InterlockedIncrement(&m_locks); }
    void Unlock() { ::InterlockedDecrement(&m_locks); }

    // Scripts 101 and 102 and the type library, in this order; unregistration
    // in the reverse order. The first failure stops it and is returned; only
    // a success refreshes the desktop.
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;

private:
    HINSTANCE m_instance;
    LONG m_locks = 0;
};

// The module of this library, made when it loads (DllMain).
CFennickModule& FennickModule();
void CreateFennickModule(HINSTANCE instance);
