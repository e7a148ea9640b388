// What the plug-in's host tests share: the plug-in's objects made in this
// process the way the registered library would make them, and raw
// tray-pipe clients.
#pragma once

#include "host/host.h"
#include "tests/common/child_process.h"
#include "tests/common/scratch_folder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace hosttest {

// The plug-in's objects by class identifier, as the module makes them.
HRESULT InProcessCreator(REFCLSID clsid, REFIID riid, void** ppv);
// The entries registration writes for them.
std::vector<fwhost::PluginEntry> InProcessEntries();
fwhost::PluginObjects CreateInProcessObjects();

// A built file in a form Wine opens ("\\?\unix\...").
std::wstring BuiltFile(const char* unixPath);

// While it lives, the pages' desktop-icon requests go to a control pipe of
// this test's own (ControlPipe) and do not pause.
class PrivateIconRequests {
public:
    PrivateIconRequests();
    ~PrivateIconRequests();
    PrivateIconRequests(const PrivateIconRequests&) = delete;
    PrivateIconRequests& operator=(const PrivateIconRequests&) = delete;
    const std::wstring& ControlPipe() const { return m_pipe; }

private:
    std::wstring m_pipe;
};

// Opens the user's tray pipe for writing, waiting for a free instance.
HANDLE OpenTrayPipe();
// Writes `bytes` as one client and closes; false when it could not.
bool SendRaw(const std::string& bytes);
// TrayNotifyClient::Send until the server had an instance ready.
bool SendBalloon(const wchar_t* title, const wchar_t* text, int id);

}  // namespace hosttest
