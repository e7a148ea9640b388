// The lines the code of this process sends to the debugger, caught in the
// process itself: OutputDebugString raises them as exceptions that a
// vectored handler sees before they go on unhandled.
#pragma once

#include <string>

namespace testsupport {

class DebugOutputRecorder {
public:
    // Records from now on; lines of an earlier recorder are forgotten.
    DebugOutputRecorder();
    ~DebugOutputRecorder();
    DebugOutputRecorder(const DebugOutputRecorder&) = delete;
    DebugOutputRecorder& operator=(const DebugOutputRecorder&) = delete;

    bool Installed() const { return m_handler != nullptr; }
    // True when a line recorded so far holds `text`.
    static bool Recorded(const std::wstring& text);

private:
    void* m_handler = nullptr;
};

}  // namespace testsupport
