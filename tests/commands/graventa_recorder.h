// The recording stand-in of Graventa's window (graventa_recorder.cpp), as the
// tests start and read it.
#pragma once

#include "tests/common/child_process.h"
#include "tests/common/scratch_folder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace plugintest {

// What the stand-in answers to the send that puts its title back.
inline constexpr LRESULT kRecorderAnswer = 0x600D;

struct SetText {
    unsigned long code = 0;
    std::wstring text;
    bool operator==(const SetText& other) const { return code == other.code && text == other.text; }
};

class GraventaRecorder {
public:
    GraventaRecorder() = default;
    ~GraventaRecorder();
    GraventaRecorder(const GraventaRecorder&) = delete;
    GraventaRecorder& operator=(const GraventaRecorder&) = delete;

    // Starts the stand-in writing to `recordPath` (a file of its own scratch
    // folder when empty) and waits for its window. A `hung` one stays away
    // from its queue until a message is sent or posted to it.
    bool Start(const std::wstring& recordPath = {}, bool hung = false);
    HWND Window() const { return m_window; }
    std::wstring Title() const;
    // Every WM_SETTEXT received so far, in order.
    std::vector<SetText> Received() const;
    // The command codes among them (the title's restoring sends left out).
    std::vector<UINT> Codes() const;
    // Waits until at least `count` have been received.
    bool WaitForCount(size_t count) const;
    // Closes the window and waits for the process's end.
    void Stop();

private:
    testsupport::ScratchFolder m_folder;
    testsupport::ChildProcess m_child;
    std::wstring m_recordPath;
    HWND m_window = nullptr;
};

void PrintTo(const SetText& setText, std::ostream* out);

}  // namespace plugintest
