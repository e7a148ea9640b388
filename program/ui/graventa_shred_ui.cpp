#include "program/ui/graventa_shred_ui.h"

#include "ipc/tray_notify_client.h"
#include "program/ui/shred_dialogs.h"

#include <objbase.h>

bool GraventaShredUi::Ask(const std::wstring& question)
{
    return AskShredConfirmation(question);
}

void GraventaShredUi::Warn(const std::wstring& message)
{
    ShowShredWarning(message);
}

void GraventaShredUi::Balloon(const std::wstring& title, const std::wstring& text, int id)
{
    const HRESULT initialised = ::CoInitialize(nullptr);
    TrayNotifyClient().Send(title.c_str(), text.c_str(), id);
    if (SUCCEEDED(initialised))
        ::CoUninitialize();
}
