// The shredding program's application object. Without a verb the process
// becomes the resident instance of the log-on session: it owns the session
// mutex and the hidden command window through which the other deliverables
// drive shredding. With a verb it acts once and ends: "ShredAll" and
// "DiskBleach" go to the resident window, the others run their operation in
// this process and wait for it.
#pragma once

#include "framework/app.h"
#include "program/graventa_dlg.h"
#include "win32/unique_handle.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr wchar_t kSessionMutexName[] = L"Harlowe_Graventa_SessionMutex";

class CGraventaApp : public fw::CWinApp {
public:
    CGraventaApp() = default;
    ~CGraventaApp() override;

    // The verb role on `args` (program name first); the resident role when
    // only the program name is there. TRUE only for the resident role.
    BOOL Start(const std::vector<std::wstring>& args);

protected:
    // The process's own command line.
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    BOOL StartResident();
    void RunVerb(const std::vector<std::wstring>& args);
    void ReleaseSessionMutex();

    win32::UniqueHandleNull m_sessionMutex;
    bool m_ownsSessionMutex = false;
    std::unique_ptr<CGraventaDlg> m_dlg;
};

// The verb "ClearHistory": clears Internet Explorer's URL history through the
// shred platform, then deletes "Autocleanhistory" whether or not the history
// could be cleared.
void ClearInternetExplorerHistory();
