#include "engine/progress_reporter.h"

#include "engine/progress_dialog.h"

ProgressReporter::ProgressReporter(bool silent)
    : m_identifier(static_cast<int>(::GetCurrentProcessId() + ::GetCurrentThreadId())),
      m_silent(silent)
{
    if (m_silent)
        return;
    // Without a window the job still runs: it reports to nobody and can only
    // be stopped by other means, which beats waiting forever for a window
    // that will never be ready.
    auto thread = std::make_unique<CProgressThread>();
    if (!thread->Launch()) {
        m_silent = true;
        return;
    }
    m_thread = std::move(thread);
}

ProgressReporter::ProgressReporter() : ProgressReporter(false) {}

ProgressReporter::~ProgressReporter()
{
    Close();
}

bool ProgressReporter::IsCancelled() const
{
    if (m_silent || !m_thread)
        return false;
    return m_thread->Dialog()->IsStopRequested();
}

void ProgressReporter::BringToFront()
{
    if (!m_silent && m_thread)
        m_thread->Dialog()->BringToFront();
}

void ProgressReporter::SetPercent(int percent)
{
    if (!m_silent && m_thread && percent <= 100)
        m_thread->Dialog()->SetPercent(percent);
}

void ProgressReporter::SetTexts(const std::wstring& title, const std::wstring& button)
{
    if (!m_silent && m_thread)
        m_thread->Dialog()->SetTexts(title, button);
}

HWND ProgressReporter::Window() const
{
    if (m_silent || !m_thread)
        return nullptr;
    return m_thread->Dialog()->GetHwnd();
}

void ProgressReporter::Close()
{
    if (!m_thread)
        return;
    m_thread->Shutdown(1000);
    m_thread.reset();
}
