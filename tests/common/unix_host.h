// The host behind Wine, for tests that must make what Windows cannot: links,
// device nodes, names with a backslash. Both calls need Wine's own exports
// and fail (empty, false) on Windows.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// True when host programs can be started (running under Wine).
bool CanRunUnix();

// Starts a host program with `args` (the first is the program, looked up on
// PATH) and waits for it; true when it exited with 0.
bool RunUnix(std::vector<std::string> args);

// The host path Wine maps a Windows path to; empty when there is none.
std::string UnixName(const std::wstring& path);

}  // namespace testsupport
