#include "setup/prelant_app.h"

#include "setup/user_cleanup.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

BOOL CPrelantApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
    // The Task Scheduler is reached through COM.
    const HRESULT ole = ::OleInitialize(nullptr);
    prelant::UserCleanup().CleanUpAllUsers();
    if (SUCCEEDED(ole))
        ::OleUninitialize();
    return FALSE;
}
