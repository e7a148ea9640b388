// The shred manager turns the user's settings into assets and shreds them.
// The engine reaches the manager of the calling thread's job through
// CurrentShredManager(), which the operation threads set around their job.
#pragma once

#include "engine/progress_reporter.h"

class ShredManager {
public:
    // With a progress window, or silent (no window at all).
    ShredManager();
    explicit ShredManager(bool silent);
    virtual ~ShredManager();
    ShredManager(const ShredManager&) = delete;
    ShredManager& operator=(const ShredManager&) = delete;

    ProgressReporter* GetProgress() const { return m_progress.get(); }

protected:
    // Lets tests run a job against a reporter of their own.
    explicit ShredManager(std::unique_ptr<ProgressReporter> progress);

private:
    std::unique_ptr<ProgressReporter> m_progress;
};

// The manager of the job running on the calling thread, or null.
ShredManager* CurrentShredManager();
void SetCurrentShredManager(ShredManager* manager);
