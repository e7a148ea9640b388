// Graventa.exe: the shredding program's entry point.
#include "program/graventa_app.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Off unless SCORAVEL_DEMO_ANSWER=yes: only the demonstration sets it.
    DemoAnswerSwitch demoAnswers;
    CGraventaApp app;
    return app.Run();
}
