// The plug-in library Halvorin: its exports live in the plug-in module.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*)
{
    return TRUE;
}
