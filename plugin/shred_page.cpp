#include "plugin/shred_page.h"

#include "commands/command_sender.h"
#include "framework/ui_seam.h"
#include "ipc/tray_notify_client.h"
#include "plugin/pages.h"
#include "resources/halvorin/resource.h"
#include "tasks/task_scheduler.h"
#include "win32/string_table.h"
#include "framework/dialog.h"

#include <commctrl.h>
#include <prsht.h>

#include <cwchar>

namespace {

// The check boxes that show a trigger and the modifiers, in the order their
// texts are set.
constexpr schedule::ControlString kTriggerBoxes[] = {
    {IDC_SHRED_ON_SHUTDOWN, IDS_SHRED_ON_SHUTDOWN},
    {IDC_SHRED_ON_BROWSER_OPEN, IDS_SHRED_ON_BROWSER_OPEN},
    {IDC_SHRED_ON_BROWSER_QUIT, IDS_SHRED_ON_BROWSER_QUIT},
    {IDC_SHRED_SCHEDULER, IDS_SHRED_SCHEDULER},
    {IDC_SHRED_ON_KEY, IDS_SHRED_ON_KEY},
};
constexpr schedule::ControlString kModifierBoxes[] = {
    {IDC_SHRED_CTRL, IDS_SHRED_CTRL},
    {IDC_SHRED_ALT, IDS_SHRED_ALT},
    {IDC_SHRED_SHIFT, IDS_SHRED_SHIFT},
};

bool ShredTaskExists(TaskScheduler& tasks)
{
    return tasks.TaskExists(ShredAllTaskName(tasks.UserName()));
}

void ShowKeyError(HWND page, UINT textId)
{
    fw::ShowTableMessage(page, PluginResourceInstance(), textId, IDS_KEY_ERROR, MB_OK);
}

}  // namespace

CShredDlg::CShredDlg()
    : CEditingPage(IDD_SHRED_PAGE,
                   {IDC_SHRED_APPLY, IDC_SHRED_DESCRIPTION, IDC_SHRED_DATE, IDC_SHRED_TIME})
{
}

bool CShredDlg::IsChecked(int id) const
{
    return ::IsDlgButtonChecked(GetHwnd(), id) == BST_CHECKED;
}

void CShredDlg::Check(int id, bool checked) const
{
    ::CheckDlgButton(GetHwnd(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CShredDlg::Enable(int id, bool enable) const
{
    ::EnableWindow(GetDlgItem(id), enable);
}

schedule::SchedulePickers CShredDlg::Pickers() const
{
    return {GetDlgItem(IDC_SHRED_DATE), GetDlgItem(IDC_SHRED_TIME)};
}

schedule::ScheduledRun CShredDlg::Run() const
{
    return {&TaskScheduler::ScheduleShredAll,
            &TaskScheduler::DeleteShredAllTask,
            &ShredTaskExists,
            false,
            m_settings.GetActivateOnCron(),
            m_settings.GetCronNumDays()};
}

void CShredDlg::SetTexts() const
{
    const HWND page = GetHwnd();
    const schedule::ControlString texts[] = {
        {IDC_SHRED_DESCRIPTION, IDS_SHRED_DESCRIPTION},
        {IDC_SHRED_NOW, IDS_SHRED_NOW},
        {IDC_SHRED_BROWSE, IDS_SHRED_BROWSE},
        {IDC_SHRED_TRIGGERS, IDS_SHRED_TRIGGERS},
        {IDC_SHRED_DATE_LABEL, IDS_SCHEDULE_DATE_TIME},
        {IDC_SHRED_PASSWORD_LABEL, IDS_SCHEDULE_PASSWORD},
        {IDC_SHRED_SCHEDULE_HEAD, IDS_SCHEDULE_HEAD},
        {IDC_SHRED_APPLY, IDS_APPLY},
    };
    for (const auto& text : texts)
        schedule::SetControlText(page, text);
    for (const auto& box : kTriggerBoxes) {
        schedule::SetControlText(page, box);
        schedule::MakeAutoCheckBox(page, box.id);
    }
    schedule::SetControlText(page, {IDC_SHRED_AND, IDS_SHRED_AND});
    for (const auto& box : kModifierBoxes) {
        schedule::SetControlText(page, box);
        schedule::MakeAutoCheckBox(page, box.id);
    }
}

BOOL CShredDlg::OnInitDialog()
{
    DisableApply();
    m_settings.LoadTriggers();
    RefreshLook();
    ::SendDlgItemMessageW(GetHwnd(), IDC_SHRED_KEY, EM_LIMITTEXT, 1, 0);
    SetTexts();

    Check(IDC_SHRED_ON_SHUTDOWN, m_settings.GetActivateOnSystemShutdown());
    Check(IDC_SHRED_ON_BROWSER_OPEN, m_settings.GetActivateOnBrowserStartup());
    Check(IDC_SHRED_ON_BROWSER_QUIT, m_settings.GetActivateOnBrowserShutdown());

    const schedule::SchedulePickers pickers = Pickers();
    pickers.Prepare();
    schedule::ScheduledRun run = Run();
    const bool ahead = schedule::OpenSchedule(pickers, run);
    m_settings.SetActivateOnCron(run.on);
    m_settings.SetCronNumDays(run.moment);
    Check(IDC_SHRED_SCHEDULER, ahead);
    pickers.Enable(ahead);
    Enable(IDC_SHRED_PASSWORD, ahead);

    ShowKeySequence();
    return TRUE;
}

void CShredDlg::Refresh()
{
    OnInitDialog();
    OnKeySequence();
}

void CShredDlg::ShowKeySequence() const
{
    const bool on = m_settings.GetActivateOnKeyPress();
    Check(IDC_SHRED_ON_KEY, on);
    if (!on) {
        for (int id : {IDC_SHRED_KEY, IDC_SHRED_CTRL, IDC_SHRED_ALT, IDC_SHRED_SHIFT})
            Enable(id, false);
        return;
    }
    const std::wstring sequence = m_settings.GetKeyCodeVals();
    Check(IDC_SHRED_CTRL, sequence.find(L"CTRL") != std::wstring::npos);
    Check(IDC_SHRED_ALT, sequence.find(L"ALT") != std::wstring::npos);
    Check(IDC_SHRED_SHIFT, sequence.find(L"SHIFT") != std::wstring::npos);
    const wchar_t key[2] = {sequence.empty() ? L'\0' : sequence[0], L'\0'};
    ::SetDlgItemTextW(GetHwnd(), IDC_SHRED_KEY, key);
}

void CShredDlg::OnKeySequence()
{
    EnableApply();
    if (IsChecked(IDC_SHRED_ON_KEY)) {
        Enable(IDC_SHRED_KEY, true);
        Enable(IDC_SHRED_CTRL, true);
        Enable(IDC_SHRED_ALT, true);
        Enable(IDC_SHRED_SHIFT, IsChecked(IDC_SHRED_SHIFT));
        return;
    }
    ::SetDlgItemTextW(GetHwnd(), IDC_SHRED_KEY, L"");
    for (int id : {IDC_SHRED_CTRL, IDC_SHRED_ALT, IDC_SHRED_SHIFT})
        Check(id, false);
    for (int id : {IDC_SHRED_KEY, IDC_SHRED_CTRL, IDC_SHRED_ALT, IDC_SHRED_SHIFT})
        Enable(id, false);
}

void CShredDlg::OnModifier()
{
    EnableApply();
    // Shift alone would fire on every capital letter typed.
    if (!IsChecked(IDC_SHRED_CTRL) && !IsChecked(IDC_SHRED_ALT)) {
        Check(IDC_SHRED_SHIFT, false);
        Enable(IDC_SHRED_SHIFT, false);
    } else {
        Enable(IDC_SHRED_SHIFT, true);
    }
    SetModified();
}

void CShredDlg::OnActivateScheduler()
{
    EnableApply();
    const bool on = IsChecked(IDC_SHRED_SCHEDULER);
    Pickers().Enable(on);
    Enable(IDC_SHRED_PASSWORD, on);
    if (!on)
        ::SetDlgItemTextW(GetHwnd(), IDC_SHRED_PASSWORD, L"");
}

void CShredDlg::OnBrowserTrigger(int id)
{
    EnableApply();
    if (!IsChecked(id))
        return;
    const HINSTANCE instance = PluginResourceInstance();
    wchar_t title[MAX_PATH] = {};
    wchar_t text[MAX_PATH] = {};
    ::wcsncpy(title, win32::LoadTableString(instance, IDS_BROWSER_BALLOON_TITLE).c_str(),
              ARRAYSIZE(title) - 1);
    ::wcsncpy(text, win32::LoadTableString(instance, IDS_BROWSER_BALLOON_TEXT).c_str(),
              ARRAYSIZE(text) - 1);
    TrayNotifyClient().Send(title, text, kBalloonBrowserTriggerOn);
}

bool CShredDlg::ValidateKeySequence(std::wstring& key) const
{
    key = fw::ControlText(GetDlgItem(IDC_SHRED_KEY));
    const bool ctrlOrAlt = IsChecked(IDC_SHRED_ALT) || IsChecked(IDC_SHRED_CTRL);
    const bool anyModifier = ctrlOrAlt || IsChecked(IDC_SHRED_SHIFT);
    if ((anyModifier && key.empty()) || (!ctrlOrAlt && !key.empty())) {
        ShowKeyError(GetHwnd(), IDS_KEY_INCOMPLETE);
        return false;
    }
    const wchar_t first = key.empty() ? L'\0' : key[0];
    if (!((first >= L'A' && first <= L'Z') || (first >= L'0' && first <= L'9'))) {
        ShowKeyError(GetHwnd(), IDS_KEY_INVALID);
        return false;
    }
    return true;
}

bool CShredDlg::Apply()
{
    // The key sequence first: when it is refused, nothing of this Apply
    // happens (no browser command, no task, nothing saved).
    const bool keyOn = IsChecked(IDC_SHRED_ON_KEY);
    std::wstring key;
    if (keyOn && !ValidateKeySequence(key))
        return false;

    std::wstring password = fw::ControlText(GetDlgItem(IDC_SHRED_PASSWORD));
    m_settings.SetActivateOnSystemShutdown(IsChecked(IDC_SHRED_ON_SHUTDOWN));
    const bool browserWasOn =
        m_settings.GetActivateOnBrowserShutdown() || m_settings.GetActivateOnBrowserStartup();
    const bool browserOpen = IsChecked(IDC_SHRED_ON_BROWSER_OPEN);
    const bool browserQuit = IsChecked(IDC_SHRED_ON_BROWSER_QUIT);
    m_settings.SetActivateOnBrowserStartup(browserOpen);
    m_settings.SetActivateOnBrowserShutdown(browserQuit);
    if ((browserOpen || browserQuit) && !browserWasOn)
        RequestInstallFFBho();
    if (!browserOpen && !browserQuit)
        RequestRemoveFFBho();

    schedule::ScheduledRun run = Run();
    const bool scheduled = schedule::ApplySchedule(GetHwnd(), IsChecked(IDC_SHRED_SCHEDULER),
                                                   Pickers(), password, run);
    schedule::Forget(password);
    m_settings.SetActivateOnCron(run.on);
    m_settings.SetCronNumDays(run.moment);

    m_settings.SetActivateOnKeyPress(keyOn);
    if (keyOn)
        m_settings.SetKeySequence(IsChecked(IDC_SHRED_CTRL), IsChecked(IDC_SHRED_ALT),
                                  IsChecked(IDC_SHRED_SHIFT), key);
    const bool saved = m_settings.SaveTriggers();
    return scheduled && saved;
}

bool CShredDlg::OnCommand(WORD id, WORD notifyCode, HWND)
{
    if (notifyCode == EN_SETFOCUS && (id == IDC_SHRED_PASSWORD || id == IDC_SHRED_KEY)) {
        EnableApply();
        return true;
    }
    if (notifyCode != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_SHRED_NOW:
        RequestShredAll(0);
        return true;
    case IDC_SHRED_BROWSE:
        RequestShredOne(std::wstring(), GetHwnd());
        return true;
    case IDC_SHRED_ON_KEY:
        OnKeySequence();
        return true;
    case IDC_SHRED_SCHEDULER:
        OnActivateScheduler();
        return true;
    case IDC_SHRED_ON_BROWSER_OPEN:
    case IDC_SHRED_ON_BROWSER_QUIT:
        OnBrowserTrigger(id);
        return true;
    case IDC_SHRED_CTRL:
    case IDC_SHRED_ALT:
        OnModifier();
        return true;
    case IDC_SHRED_SHIFT:
        EnableApply();
        SetModified();
        return true;
    case IDC_SHRED_APPLY:
        OnApplyButton();
        return true;
    case IDC_SHRED_ON_SHUTDOWN:
        EnableApply();
        return true;
    default:
        return false;
    }
}
