#include "plugin/bleach_page.h"

#include "commands/command_sender.h"
#include "resources/halvorin/resource.h"
#include "framework/dialog.h"
#include "tasks/task_scheduler.h"

#include <commctrl.h>
#include <prsht.h>

#include <string>

namespace {

bool BleachTaskExists(TaskScheduler& tasks)
{
    return tasks.DiskBleachTaskExists();
}

}  // namespace

CBleachDlg::CBleachDlg()
    : CEditingPage(IDD_BLEACH_PAGE,
                   {IDC_BLEACH_APPLY, IDC_BLEACH_DESCRIPTION, IDC_BLEACH_DATE, IDC_BLEACH_TIME})
{
}

schedule::SchedulePickers CBleachDlg::Pickers() const
{
    return {GetDlgItem(IDC_BLEACH_DATE), GetDlgItem(IDC_BLEACH_TIME)};
}

schedule::ScheduledRun CBleachDlg::Run() const
{
    // Unlike the shred schedule, an unchanged moment whose task vanished
    // makes the task again.
    return {&TaskScheduler::ScheduleDiskBleach,
            &TaskScheduler::DeleteDiskBleachTask,
            &BleachTaskExists,
            true,
            m_settings.GetActivateFSBOnCron(),
            m_settings.GetCronFSBNumDays()};
}

void CBleachDlg::EnableSchedule(bool enable) const
{
    Pickers().Enable(enable);
    ::EnableWindow(GetDlgItem(IDC_BLEACH_PASSWORD), enable);
}

BOOL CBleachDlg::OnInitDialog()
{
    const HWND page = GetHwnd();
    DisableApply();
    m_settings.LoadBleachSchedule();
    RefreshLook();
    const schedule::ControlString texts[] = {
        {IDC_BLEACH_DESCRIPTION, IDS_BLEACH_DESCRIPTION},
        {IDC_BLEACH_NOW, IDS_MENU_BLEACH_NOW},
        {IDC_BLEACH_SCHEDULE_HEAD, IDS_SCHEDULE_HEAD},
        {IDC_BLEACH_DATE_LABEL, IDS_SCHEDULE_DATE_TIME},
        {IDC_BLEACH_PASSWORD_LABEL, IDS_SCHEDULE_PASSWORD},
        {IDC_BLEACH_APPLY, IDS_APPLY},
        {IDC_BLEACH_SCHEDULER, IDS_BLEACH_SCHEDULER},
    };
    for (const auto& text : texts)
        schedule::SetControlText(page, text);
    schedule::MakeAutoCheckBox(page, IDC_BLEACH_SCHEDULER);

    const schedule::SchedulePickers pickers = Pickers();
    pickers.Prepare();
    schedule::ScheduledRun run = Run();
    const bool ahead = schedule::OpenSchedule(pickers, run);
    m_settings.SetActivateFSBOnCron(run.on);
    m_settings.SetCronFSBNumDays(run.moment);
    ::CheckDlgButton(page, IDC_BLEACH_SCHEDULER, ahead ? BST_CHECKED : BST_UNCHECKED);
    EnableSchedule(ahead);
    return TRUE;
}

void CBleachDlg::OnActivateScheduler()
{
    EnableApply();
    const bool on = ::IsDlgButtonChecked(GetHwnd(), IDC_BLEACH_SCHEDULER) == BST_CHECKED;
    EnableSchedule(on);
    if (!on)
        ::SetDlgItemTextW(GetHwnd(), IDC_BLEACH_PASSWORD, L"");
}

bool CBleachDlg::Apply()
{
    const HWND page = GetHwnd();
    std::wstring password = fw::ControlText(GetDlgItem(IDC_BLEACH_PASSWORD));

    schedule::ScheduledRun run = Run();
    const bool scheduled = schedule::ApplySchedule(
        page, ::IsDlgButtonChecked(page, IDC_BLEACH_SCHEDULER) == BST_CHECKED, Pickers(), password,
        run);
    schedule::Forget(password);
    m_settings.SetActivateFSBOnCron(run.on);
    m_settings.SetCronFSBNumDays(run.moment);
    // Also after a refusal: the table's values are what is stored.
    const bool saved = m_settings.SaveBleachSchedule();
    return scheduled && saved;
}

bool CBleachDlg::OnCommand(WORD id, WORD notifyCode, HWND)
{
    if (id == IDC_BLEACH_PASSWORD && notifyCode == EN_SETFOCUS) {
        EnableApply();
        return true;
    }
    if (notifyCode != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_BLEACH_NOW:
        RequestDiskBleach(0);
        return true;
    case IDC_BLEACH_SCHEDULER:
        OnActivateScheduler();
        return true;
    case IDC_BLEACH_APPLY:
        OnApplyButton();
        return true;
    default:
        return false;
    }
}
