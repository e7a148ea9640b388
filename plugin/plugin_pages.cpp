// Placeholder: the object answers its interface; its work comes next.
#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/plugin_objects.h"

namespace {

class CPlugin final : public fw::CComObjectBase<IFWTWPages, IID_IFWTWPages> {
public:
    STDMETHODIMP CreatePages(IFWTWPageSite*) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CreatePluginPages(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CPlugin>(riid, ppv);
}
