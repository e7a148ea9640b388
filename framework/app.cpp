#include "framework/app.h"

namespace fw {

int RunMessageLoop()
{
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return -1;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

int CWinApp::Run()
{
    BOOL stay = FALSE;
    try {
        stay = InitInstance();
    } catch (...) {
        stay = FALSE;
    }
    if (stay) {
        try {
            m_quitCode = RunMessageLoop();
        } catch (...) {
            m_quitCode = -1;
        }
    }
    try {
        return ExitInstance();
    } catch (...) {
        return -1;
    }
}

}  // namespace fw
