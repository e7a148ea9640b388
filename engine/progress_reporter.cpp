#include "engine/progress_reporter.h"

ProgressReporter::ProgressReporter(std::unique_ptr<ProgressWindow> window)
    : m_identifier(static_cast<int>(::GetCurrentProcessId() + ::GetCurrentThreadId())),
      m_silent(!window),
      m_window(std::move(window))
{
}

ProgressReporter::ProgressReporter() : ProgressReporter(nullptr) {}

ProgressReporter::~ProgressReporter() = default;

bool ProgressReporter::IsCancelled() const
{
    if (m_silent || !m_window)
        return false;
    return m_window->IsStopRequested();
}

void ProgressReporter::BringToFront()
{
    if (!m_silent && m_window)
        m_window->BringToFront();
}

void ProgressReporter::SetPercent(int percent)
{
    if (!m_silent && m_window && percent <= 100)
        m_window->SetPercent(percent);
}

void ProgressReporter::SetTexts(const std::wstring& title, const std::wstring& button)
{
    if (!m_silent && m_window)
        m_window->SetTexts(title, button);
}

HWND ProgressReporter::Window() const
{
    if (m_silent || !m_window)
        return nullptr;
    return m_window->Window();
}
