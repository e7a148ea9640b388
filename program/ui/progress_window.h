// The shredding program's progress window, as the engine's ProgressReporter
// shows it: the program opens one and hands it to the reporter it makes,
//     std::make_unique<ProgressReporter>(OpenProgressWindow())
// and the reporter closes it when it goes. A silent run makes its reporter
// without one.
#pragma once

#include "engine/progress_reporter.h"

#include <memory>

// The progress dialog on a UI thread of its own, ready for a reporter; null
// when the dialog could not be made.
std::unique_ptr<ProgressWindow> OpenProgressWindow();
