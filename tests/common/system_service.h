// Starting a service of the test prefix (such as the Task Scheduler's
// "Schedule") and waiting until it runs.
#pragma once

namespace testsupport {

// True once the service runs, also when it ran already.
bool StartSystemService(const wchar_t* name);

}  // namespace testsupport
