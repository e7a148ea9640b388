#include "engine/progress_reporter.h"

// The window half (CProgressThread, CProgressDlg) is still to come; until
// then every reporter behaves as a silent one.
class CProgressThread {};

ProgressReporter::ProgressReporter(bool silent)
    : m_identifier(static_cast<int>(::GetCurrentProcessId() + ::GetCurrentThreadId())),
      m_silent(silent)
{
    m_silent = true;
}

ProgressReporter::ProgressReporter() : ProgressReporter(false) {}

ProgressReporter::~ProgressReporter()
{
    Close();
}

bool ProgressReporter::IsCancelled() const
{
    return false;
}

void ProgressReporter::BringToFront() {}

void ProgressReporter::SetPercent(int) {}

void ProgressReporter::SetTexts(const std::wstring&, const std::wstring&) {}

HWND ProgressReporter::Window() const
{
    return nullptr;
}

void ProgressReporter::Close()
{
    m_thread.reset();
}
