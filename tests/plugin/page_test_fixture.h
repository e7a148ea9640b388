// What the Shred and Bleaching page tests share: a clean product key, the
// test prefix's Task Scheduler running, the plug-in's sheet, message boxes
// answered and recorded, and small drivers of the page's controls.
#pragma once

#include "framework/ui_seam.h"
#include "tasks/task_scheduler.h"
#include "tests/common/registry_sandbox.h"
#include "tests/plugin/page_sheet.h"

#include <windows.h>

#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace plugintest {

// One message box a page showed.
struct ShownMessage {
    std::wstring text;
    std::wstring caption;
    bool operator==(const ShownMessage& other) const
    {
        return text == other.text && caption == other.caption;
    }
};
void PrintTo(const ShownMessage& message, std::ostream* out);

inline constexpr wchar_t kTestInstallFolder[] = L"C:\\Scoravel Test";

class PageTest : public testsupport::ProductRegistryTest {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Clicks a button or check box as a user would (BM_CLICK).
    static void Click(HWND page, int id);
    static bool Checked(HWND page, int id);
    static bool Enabled(HWND page, int id);
    static void SetControl(HWND page, int id, const wchar_t* text);
    // A picker set to the local time of `moment`, and the change told to the
    // page as the control tells it (Wine's picker does not for a set value).
    static void SetPicker(HWND page, int id, std::time_t moment);
    // What the page answers to PSN_APPLY.
    static LRESULT NotifyApply(HWND page);

    // A future moment on a whole minute, `minutes` ahead.
    static std::time_t FutureMinute(int minutes);

    // The begin of a stored task, as a moment, and the program it starts;
    // false without the task.
    bool ReadTask(const std::wstring& name, std::time_t& begin, std::wstring& application);
    bool TaskExists(const std::wstring& name);
    // Deletes both tasks; the scheduler service may hold a job file open for
    // a moment after it changed, so each delete is retried until it is gone.
    static bool RemoveTasks();
    std::wstring ShredTask() const;
    std::wstring BleachTask() const;

    PageSheet m_sheet;
    std::vector<ShownMessage> m_messages;
    std::unique_ptr<fw::ScopedUiResponder> m_responder;
    bool m_com = false;
    static inline bool s_scheduler = false;
};

}  // namespace plugintest
