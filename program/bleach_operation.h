// The free-space bleach as the shredding program drives it: the wipe itself
// needs system rights, so the bleach service does it and this operation asks
// for it over the service's three pipes, follows the percentage in a hidden
// progress window and announces the start and the end with tray balloons.
//
// One bleach per machine: the operation holds a machine-wide mutex for the
// whole run; a second one finds it taken, warns and sends nothing.
#pragma once

#include "framework/thread.h"
#include "program/operation_slot.h"
#include "program/ui/progress_dialog.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

inline constexpr wchar_t kBleachSystemMutex[] = L"Global\\HarloweShred_BleachSystemMutex";

struct BleachClientPipes {
    std::wstring control;
    std::wstring status;
    std::wstring progress;
};

// The pipe names this process talks to.
BleachClientPipes CurrentBleachPipes();

class CBleachAllOperation;

class BleachSlot : public OperationSlot<CBleachAllOperation> {
public:
    // When one runs: shows its progress window. False when none runs.
    bool ShowRunning();
    // When one runs: it stops following the wipe and asks the service to
    // stop, as its stop button does (the log-on ends).
    void StopRunning();
    // The operation's thread, at its end: clears the running flag.
    void Finish(CBleachAllOperation* operation);
};

class CBleachAllOperation : public fw::CWorkerThread {
public:
    // Starts the hidden progress window and waits until it is ready.
    explicit CBleachAllOperation(BleachSlot& slot);
    ~CBleachAllOperation() override;

    void ShowProgress();
    void SetTexts(const std::wstring& title, const std::wstring& button);
    // Ignored above 100.
    void SetPercent(int percent);
    // Called through the slot, under its lock.
    void RequestStop() { m_stopRequested.store(true); }

    // Reads a progress report meant for `processId`/`threadId` without
    // blocking: with nothing waiting in the pipe `value` stays as it was.
    // Percentages outside 0 to 100 are not taken. False when the connection
    // is gone.
    static bool ReadProgress(HANDLE pipe, int32_t& value, int32_t processId, int32_t threadId);

protected:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    // The bleach, with the mutex held.
    void Run(const BleachClientPipes& pipes);
    // Leaves the loop at 100, at the stop button or a stop request, when the
    // window's thread is gone or when the service ends the progress
    // connection.
    void FollowProgress(HANDLE progressPipe, int32_t processId, int32_t threadId, int32_t& percent);
    static void SendBalloon(UINT titleId, const std::wstring& text, int id);

    BleachSlot& m_slot;
    CProgressThread m_progress;
    bool m_hasWindow = false;
    std::atomic<bool> m_stopRequested{false};
};
