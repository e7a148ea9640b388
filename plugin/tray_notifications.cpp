// Placeholder: the objects answer their interfaces; their work comes next.
#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"

namespace {

class CTWNotifications final
    : public fw::CComObjectBase<IFWTWTraySubscribe, IID_IFWTWTraySubscribe> {
public:
    STDMETHODIMP Subscribe(IFWTWTraySink*) override { return E_NOTIMPL; }
};

class CTWTrayNotifyCallback final
    : public fw::CComObjectBase<IFWTWTrayNotifyCallback, IID_IFWTWTrayNotifyCallback> {
public:
    STDMETHODIMP OnNotify(UINT, UINT) override { return S_OK; }
};

}  // namespace

HRESULT CreateTrayNotifications(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWNotifications>(riid, ppv);
}

HRESULT CreateTrayNotifyCallback(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWTrayNotifyCallback>(riid, ppv);
}
