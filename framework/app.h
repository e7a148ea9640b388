// The application object of a GUI program. InitInstance decides whether the
// program stays: TRUE runs the message loop of the main thread until WM_QUIT,
// FALSE ends at once. ExitInstance runs last either way and gives the exit
// code.
#pragma once

#include <windows.h>

namespace fw {

class CDialog;

class CWinApp {
public:
    CWinApp() = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // InitInstance, the message loop when it returned TRUE, ExitInstance.
    // Nothing thrown by the overrides leaves it.
    int Run();

    CDialog* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CDialog* window) { m_mainWindow = window; }

protected:
    virtual BOOL InitInstance() = 0;
    virtual int ExitInstance() { return m_quitCode; }

private:
    CDialog* m_mainWindow = nullptr;
    int m_quitCode = 0;
};

// GetMessage, TranslateMessage, DispatchMessage until WM_QUIT; returns its
// code (-1 when GetMessage fails).
int RunMessageLoop();

}  // namespace fw
