// The test build of Graventa.exe: the shipped program with the test rig's
// seams installed (framework/build_seams.h).
#include "framework/build_seams.h"
#include "program/graventa_app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    fw::InstallTestBuildSeams();
    CGraventaApp app;
    return app.Run();
}
