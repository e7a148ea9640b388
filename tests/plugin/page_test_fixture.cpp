#include "tests/plugin/page_test_fixture.h"

#include "plugin/schedule_controls.h"
#include "tests/common/system_service.h"
#include "tests/common/wait.h"
#include "win32/com_ptr.h"

#include <commctrl.h>
#include <mstask.h>
#include <prsht.h>

#include <ostream>

namespace plugintest {

void PrintTo(const ShownMessage& message, std::ostream* out)
{
    *out << "\"" << ::testing::PrintToString(message.text) << "\" / "
         << ::testing::PrintToString(message.caption);
}

void PageTest::SetUpTestSuite()
{
    s_scheduler = testsupport::StartSystemService(L"Schedule");
}

void PageTest::SetUp()
{
    ProductRegistryTest::SetUp();
    ASSERT_TRUE(s_scheduler) << "the Schedule service did not start";
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    m_com = true;
    testsupport::PutString(HKEY_LOCAL_MACHINE, testsupport::kProductKey, L"InstallLocation",
                           kTestInstallFolder);
    ASSERT_TRUE(RemoveTasks());
    m_responder = std::make_unique<fw::ScopedUiResponder>([this](const fw::UiRequest& request) {
        m_messages.push_back({request.text, request.caption});
        return static_cast<INT_PTR>(IDOK);
    });
}

void PageTest::TearDown()
{
    m_sheet.Close();
    m_responder.reset();
    if (m_com) {
        EXPECT_TRUE(RemoveTasks());
        ::CoUninitialize();
    }
    ProductRegistryTest::TearDown();
}

void PageTest::Click(HWND page, int id)
{
    ::SendMessageW(::GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool PageTest::Checked(HWND page, int id)
{
    return ::IsDlgButtonChecked(page, id) == BST_CHECKED;
}

bool PageTest::Enabled(HWND page, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(page, id)) != FALSE;
}

void PageTest::SetControl(HWND page, int id, const wchar_t* text)
{
    ::SetDlgItemTextW(page, id, text);
}

void PageTest::SetPicker(HWND page, int id, std::time_t moment)
{
    SYSTEMTIME local = {};
    ASSERT_TRUE(schedule::LocalTimeOf(moment, local));
    const HWND picker = ::GetDlgItem(page, id);
    ASSERT_TRUE(
        ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&local)));
    NMDATETIMECHANGE change = {};
    change.nmhdr.hwndFrom = picker;
    change.nmhdr.idFrom = static_cast<UINT_PTR>(id);
    change.nmhdr.code = DTN_DATETIMECHANGE;
    change.dwFlags = GDT_VALID;
    change.st = local;
    ::SendMessageW(page, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&change));
}

LRESULT PageTest::NotifyApply(HWND page)
{
    PSHNOTIFY notify = {};
    notify.hdr.hwndFrom = ::GetParent(page);
    notify.hdr.code = PSN_APPLY;
    return ::SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
}

std::time_t PageTest::FutureMinute(int minutes)
{
    const std::time_t now = std::time(nullptr);
    return now - now % 60 + 60 * static_cast<std::time_t>(minutes);
}

bool PageTest::ReadTask(const std::wstring& name, std::time_t& begin, std::wstring& application)
{
    win32::ComPtr<ITaskScheduler> scheduler;
    win32::ComPtr<ITask> task;
    win32::ComPtr<ITaskTrigger> trigger;
    TASK_TRIGGER stored = {};
    stored.cbTriggerSize = sizeof(stored);
    if (FAILED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskScheduler, scheduler.put_void())) ||
        FAILED(scheduler->Activate(name.c_str(), IID_ITask,
                                   reinterpret_cast<IUnknown**>(task.put()))) ||
        FAILED(task->GetTrigger(0, trigger.put())) || FAILED(trigger->GetTrigger(&stored)))
        return false;
    LPWSTR program = nullptr;
    if (FAILED(task->GetApplicationName(&program)))
        return false;
    application = program ? program : L"";
    ::CoTaskMemFree(program);
    SYSTEMTIME local = {};
    local.wYear = stored.wBeginYear;
    local.wMonth = stored.wBeginMonth;
    local.wDay = stored.wBeginDay;
    local.wHour = stored.wStartHour;
    local.wMinute = stored.wStartMinute;
    return schedule::MomentOf(local, begin);
}

bool PageTest::RemoveTasks()
{
    return testsupport::WaitUntil([] {
        TaskScheduler tasks;
        tasks.DeleteShredAllTask();
        tasks.DeleteDiskBleachTask();
        return !tasks.TaskExists(ShredAllTaskName(tasks.UserName())) &&
               !tasks.DiskBleachTaskExists();
    });
}

bool PageTest::TaskExists(const std::wstring& name)
{
    return TaskScheduler().TaskExists(name);
}

std::wstring PageTest::ShredTask() const
{
    return ShredAllTaskName(TaskScheduler().UserName());
}

std::wstring PageTest::BleachTask() const
{
    return DiskBleachTaskName(TaskScheduler().UserName());
}

}  // namespace plugintest
