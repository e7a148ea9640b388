// The backup and restore element: for now it answers its interfaces and does
// nothing; the settings travel through it once the backup layout is wired in.
#include "plugin/backup_restore.h"

#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"

namespace {

class CTWBackupRestore final
    : public fw::CComObject<fw::ComInterface<IFWTWElementUI, IID_IFWTWElementUI>,
                            fw::ComInterface<IFWTWBackupRestore, IID_IFWTWBackupRestore>> {
public:
    STDMETHODIMP GetInfo(UINT, VARIANT*) override { return S_OK; }
    STDMETHODIMP Reserved(UINT, VARIANT*) override { return S_OK; }
    STDMETHODIMP Backup(VARIANT*, VARIANT*) override { return S_OK; }
    STDMETHODIMP Restore(VARIANT*) override { return S_OK; }
};

}  // namespace

HRESULT CreateBackupRestore(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWBackupRestore>(riid, ppv);
}
