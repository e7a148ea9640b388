// Waiting for a state in tests: poll the state itself, bounded, never sleep a
// fixed time and hope.
#pragma once

#include <windows.h>

#include <functional>

namespace testsupport {

// Long enough for a cold Wine process start on a loaded machine.
inline constexpr DWORD kPatienceMs = 60000;

// Polls `done` until it holds or `milliseconds` have passed; a last look
// after the deadline.
inline bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = kPatienceMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < deadline) {
        if (done())
            return true;
        ::Sleep(10);
    }
    return done();
}

}  // namespace testsupport
