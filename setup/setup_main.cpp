// setup.exe: installs, repairs or removes the product package. Whatever the
// installer does, setup ends with 0: its callers do not read a result.
#include "setup/setup_launcher.h"

#include <windows.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    // The shell may hand the start to COM; it asks for an initialised thread.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    setuplaunch::Run(setuplaunch::ActionFor(commandLine));
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}
