// Placeholder: the object answers its interface; its work comes next.
#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"

namespace {

class CTWTrayMenu final : public fw::CComObjectBase<IFWTWTrayMenuItems, IID_IFWTWTrayMenuItems> {
public:
    STDMETHODIMP AddMenuItems(HMENU, UINT, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP InvokeMenuItem(UINT) override { return S_OK; }
    STDMETHODIMP Reserved() override { return S_OK; }
};

}  // namespace

HRESULT CreateTrayMenu(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWTrayMenu>(riid, ppv);
}
