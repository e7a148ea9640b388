#include "framework/com/class_factory.h"

namespace fw {

const ClassEntry* FindClass(std::span<const ClassEntry> table, REFCLSID clsid)
{
    for (const ClassEntry& entry : table)
        if (IsEqualCLSID(*entry.clsid, clsid))
            return &entry;
    return nullptr;
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return ComBoundary([&] { return CreateObject(riid, ppv); });
}

}  // namespace fw
