// setup.exe: installs, repairs or removes the product package, and ends with
// the installer's exit code (0 when nothing needed doing), so that whoever
// ran it can tell a failed install from a good one.
#include "setup/setup_launcher.h"

#include <windows.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    // The shell may hand the start to COM; it asks for an initialised thread.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const DWORD exitCode = setuplaunch::Run(setuplaunch::ActionFor(commandLine));
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return static_cast<int>(exitCode);
}
