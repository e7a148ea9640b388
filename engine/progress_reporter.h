// Progress of one shredding job: a percentage, two texts and a stop request
// coming back from the user. Unless silent, the window lives on a UI thread
// of its own so that it stays responsive while the worker overwrites files.
// The engine knows the window only as a ProgressWindow: the shredding program
// opens its own (program/ui/progress_window.h) and hands it to the reporter it
// makes; the bleach service's reporters have none, and nothing of the engine
// links window code.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

// The window a reporter shows; destroying it closes the window.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    virtual bool IsStopRequested() const = 0;
    virtual void BringToFront() = 0;
    virtual void SetPercent(int percent) = 0;
    virtual void SetTexts(const std::wstring& title, const std::wstring& button) = 0;
    virtual HWND Window() const = 0;
};

class ProgressReporter {
public:
    // A silent reporter: it has no window and never reports a stop.
    ProgressReporter();
    // Shows `window`; null makes a silent reporter.
    explicit ProgressReporter(std::unique_ptr<ProgressWindow> window);
    virtual ~ProgressReporter();
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

    virtual bool IsCancelled() const;
    virtual void BringToFront();
    // Ignored when silent or above 100.
    virtual void SetPercent(int percent);
    virtual void SetTexts(const std::wstring& title, const std::wstring& button);

    bool IsSilent() const { return m_silent; }
    int Identifier() const { return m_identifier; }
    // The progress window, or null (silent, or the window could not be made).
    HWND Window() const;

    // Used by the bleach service: the percentage its progress pipe reports and
    // a cancel request that a StopBleach message sets.
    void RequestCancel() { m_cancelRequested = 1; }
    bool IsCancelRequested() const { return m_cancelRequested != 0; }
    void SetStoredPercent(int percent) { m_storedPercent = percent; }
    int GetStoredPercent() const { return m_storedPercent; }

private:
    int m_identifier = 0;
    // Written and read by the run's thread and by whoever cancels or shows it.
    std::atomic<LONG> m_storedPercent{0};
    std::atomic<LONG> m_cancelRequested{0};
    bool m_silent = true;
    std::unique_ptr<ProgressWindow> m_window;
};
