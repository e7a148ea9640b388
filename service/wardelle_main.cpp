// Wardelle.exe: the bleach service. "install" and "remove" register and
// unregister it; anything else hands the service to the control manager.
#include "service/service_frame.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    return RunWardelle(commandLine);
}
