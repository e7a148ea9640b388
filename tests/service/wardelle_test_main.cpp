// The test build of Wardelle.exe: the shipped service and its seams, started
// with "/test-pipes:<suffix>" by the tests (see test_volume.h).
#include "framework/build_seams.h"
#include "service/service_frame.h"
#include "tests/service/test_volume.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    fw::InstallTestBuildSeams();
    SetServiceOptionsSource(&TestServiceOptions);
    return RunWardelle(commandLine);
}
