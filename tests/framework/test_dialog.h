// A dialog of the framework tests, and a UI thread that hosts one modeless.
#pragma once

#include "framework/dialog.h"
#include "framework/thread.h"
#include "tests/framework/test_dialogs.h"
#include "win32/unique_handle.h"

#include <atomic>
#include <stdexcept>
#include <string>

namespace fwtest {

inline constexpr WORD kThrowingCommand = 700;
inline constexpr UINT kHandledNotify = 1234;

inline std::wstring TextOf(HWND hwnd)
{
    wchar_t text[256] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    return text;
}

class CTestDialog : public fw::CDialog {
public:
    explicit CTestDialog(UINT templateId = IDD_TEST_DIALOG) : fw::CDialog(templateId) {}
    ~CTestDialog() override { DestroyWindow(); }

    HBRUSH brush = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    std::atomic<UINT> lastCtlColorType{0xFFFF};
    // 1 when the object was still attached to its window at WM_DESTROY.
    std::atomic<int> attachedAtDestroy{-1};

protected:
    BOOL OnInitDialog() override
    {
        ::SetDlgItemTextW(GetHwnd(), IDC_TEST_TEXT, L"set by OnInitDialog");
        return TRUE;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override
    {
        if (id == kThrowingCommand)
            throw std::runtime_error("handler failed");
        return fw::CDialog::OnCommand(id, code, control);
    }
    HBRUSH OnCtlColor(HDC dc, HWND, UINT type) override
    {
        lastCtlColorType = type;
        ::SetTextColor(dc, RGB(1, 2, 3));
        return brush;
    }
    bool OnNotify(NMHDR& header, LRESULT& result) override
    {
        if (header.code != kHandledNotify)
            return false;
        result = 77;
        return true;
    }
    void OnDestroy() override { attachedAtDestroy = FromHandle(GetHwnd()) == this ? 1 : 0; }
};

// Creates the dialog modeless on its own thread; ExitInstance notes whether
// the window was still there, destroys it and ends with 42.
class CHostThread : public fw::CUiThread {
public:
    explicit CHostThread(UINT templateId = IDD_TEST_DIALOG)
        : dialog(templateId), ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~CHostThread() override
    {
        while (WaitForEnd(0) != WAIT_OBJECT_0) {
            PostQuit();
            WaitForEnd(1000);
        }
    }

    bool StartAndWait()
    {
        if (!Start())
            return false;
        const HANDLE waits[2] = {ready.get(), ThreadHandle()};
        return ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && created;
    }

    CTestDialog dialog;
    win32::UniqueHandleNull ready;
    std::atomic<bool> created{false};
    std::atomic<bool> exitRan{false};
    std::atomic<bool> windowAliveAtExit{false};

protected:
    BOOL InitInstance() override
    {
        created = dialog.Create(nullptr);
        ::SetEvent(ready.get());
        return created ? TRUE : FALSE;
    }
    int ExitInstance() override
    {
        windowAliveAtExit = dialog.GetHwnd() != nullptr;
        dialog.DestroyWindow();
        exitRan = true;
        return 42;
    }
};

}  // namespace fwtest
