// ProgressViewer.exe: shows Graventa's progress window for real, for looking
// at its layout by hand (never run by the tests): a shred's title and stop
// button at 42 percent, in the display font stored for the user. "/font:N"
// first stores a display font of N points. Runs until it is ended.
#include "engine/progress_reporter.h"
#include "program/ui/progress_window.h"
#include "settings/display_font_settings.h"

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], L"/font:", 6) == 0) {
            DisplaySettings settings;
            settings.fontSize = static_cast<int>(std::wcstol(argv[i] + 6, nullptr, 10));
            WriteDisplaySettings(settings);
        }
    }
    ProgressReporter reporter(OpenProgressWindow());
    if (!reporter.Window())
        return 1;
    reporter.SetTexts(L"Shred in progress", L"Stop Shred");
    reporter.SetPercent(42);
    reporter.BringToFront();
    // The window lives on its own thread.
    ::Sleep(INFINITE);
    return 0;
}
