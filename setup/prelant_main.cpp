// Prelant.exe: started by the product package at uninstall; reads no command
// line, shows nothing and ends with 0.
#include "setup/prelant_app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CPrelantApp app;
    return app.Run();
}
