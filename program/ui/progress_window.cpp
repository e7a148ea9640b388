#include "program/ui/progress_window.h"

#include "program/ui/progress_dialog.h"

namespace {

class ThreadProgressWindow : public ProgressWindow {
public:
    explicit ThreadProgressWindow(std::unique_ptr<CProgressThread> thread)
        : m_thread(std::move(thread))
    {
    }
    ~ThreadProgressWindow() override { m_thread->Shutdown(1000); }
    ThreadProgressWindow(const ThreadProgressWindow&) = delete;
    ThreadProgressWindow& operator=(const ThreadProgressWindow&) = delete;

    bool IsStopRequested() const override { return m_thread->Dialog()->IsStopRequested(); }
    void BringToFront() override { m_thread->Dialog()->BringToFront(); }
    void SetPercent(int percent) override { m_thread->Dialog()->SetPercent(percent); }
    void SetTexts(const std::wstring& title, const std::wstring& button) override
    {
        m_thread->Dialog()->SetTexts(title, button);
    }
    HWND Window() const override { return m_thread->Dialog()->GetHwnd(); }

private:
    std::unique_ptr<CProgressThread> m_thread;
};

}  // namespace

std::unique_ptr<ProgressWindow> OpenProgressWindow()
{
    // Without a window the job still runs: it reports to nobody and can only
    // be stopped by other means, which beats waiting forever for a window
    // that will never be ready.
    auto thread = std::make_unique<CProgressThread>();
    if (!thread->Launch())
        return nullptr;
    return std::make_unique<ThreadProgressWindow>(std::move(thread));
}
