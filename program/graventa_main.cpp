// Graventa.exe: the shredding program's entry point.
#include "program/graventa_app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CGraventaApp app;
    return app.Run();
}
