#include "plugin/profile_dialogs.h"

#include "framework/ui_seam.h"
#include "plugin/add_custom_dialog.h"
#include "plugin/pages.h"
#include "plugin/schedule_controls.h"
#include "resources/halvorin/resource.h"
#include "win32/string_table.h"

#include <iterator>
#include <new>

namespace {

using schedule::ControlString;

// A user may add this many files, folders or patterns of his own.
constexpr int32_t kMaxUserEntries = 3;

const ControlString kAdvancedTexts[] = {
    {IDC_CYCLE_HEAD, IDS_CYCLE_HEAD},     {IDC_CYCLE_TEXT, IDS_CYCLE_TEXT},
    {IDC_CYCLE_SEVEN, IDS_CYCLE_SEVEN},   {IDC_CYCLE_THREE, IDS_CYCLE_THREE},
    {IDC_CYCLE_ONE, IDS_CYCLE_ONE},       {IDC_SHRED_LIST_HEAD, IDS_SHRED_LIST_HEAD},
    {IDC_CONFIRM_TEXT, IDS_CONFIRM_TEXT}, {IDC_MOVE_TO_SHRED, IDS_MOVE_TO_SHRED},
    {IDC_MOVE_BACK, IDS_MOVE_BACK},       {IDC_AVAILABLE_HEAD, IDS_AVAILABLE_HEAD},
    {IDC_AVAILABLE_DELETE, IDS_DELETE},   {IDC_ADD_CUSTOM, IDS_ADD_CUSTOM},
    {IDC_EXCLUDE_HEAD, IDS_EXCLUDE_HEAD}, {IDC_EXCLUDE_ADD, IDS_EXCLUDE_ADD},
    {IDC_EXCLUDE_REMOVE, IDS_DELETE},     {IDC_DETAILS_APPLY, IDS_DETAILS_APPLY},
};

const ControlString kSimpleTexts[] = {
    {IDC_SHRED_LIST_HEAD, IDS_DELETE_LIST_HEAD},
    {IDC_CONFIRM_TEXT, IDS_CONFIRM_TEXT},
    {IDC_MOVE_TO_SHRED, IDS_MOVE_TO_SHRED},
    {IDC_MOVE_BACK, IDS_MOVE_BACK},
    {IDC_AVAILABLE_HEAD, IDS_AVAILABLE_DELETE_HEAD},
    {IDC_AVAILABLE_DELETE, IDS_DELETE},
    {IDC_ADD_CUSTOM, IDS_ADD_CUSTOM},
    {IDC_EXCLUDE_HEAD, IDS_DELETE_EXCLUDE_HEAD},
    {IDC_EXCLUDE_ADD, IDS_EXCLUDE_ADD},
    {IDC_EXCLUDE_REMOVE, IDS_DELETE},
    {IDC_DETAILS_APPLY, IDS_DETAILS_APPLY},
};

const ControlString kBuiltInTexts[] = {
    {IDC_CYCLE_HEAD, IDS_CYCLE_HEAD},       {IDC_CYCLE_TEXT, IDS_CYCLE_TEXT},
    {IDC_CYCLE_SEVEN, IDS_CYCLE_SEVEN},     {IDC_CYCLE_THREE, IDS_CYCLE_THREE},
    {IDC_CYCLE_ONE, IDS_CYCLE_ONE},         {IDC_SHRED_LIST_HEAD, IDS_SHRED_LIST_HEAD},
    {IDC_CONFIRM_TEXT, IDS_CONFIRM_TEXT},   {IDC_EXCLUDE_HEAD, IDS_EXCLUDE_HEAD},
    {IDC_DETAILS_APPLY, IDS_DETAILS_APPLY},
};

// What an editable profile hides when it is shown read-only.
const int kEditingControls[] = {IDC_EXCLUDE_ADD,    IDC_EXCLUDE_REMOVE,   IDC_MOVE_TO_SHRED,
                                IDC_MOVE_BACK,      IDC_AVAILABLE_DELETE, IDC_ADD_CUSTOM,
                                IDC_AVAILABLE_LIST, IDC_AVAILABLE_HEAD};

const int kCycleButtons[] = {IDC_CYCLE_SEVEN, IDC_CYCLE_THREE, IDC_CYCLE_ONE};

std::wstring TableString(UINT id)
{
    return win32::LoadTableString(PluginResourceInstance(), id);
}

// The heading of a built-in profile, else the form's own.
UINT HeadingFor(int32_t profile, UINT custom)
{
    switch (profile) {
    case kProfileHigh:
        return IDS_DETAILS_HIGH;
    case kProfileMedium:
        return IDS_DETAILS_MEDIUM;
    case kProfileLow:
        return IDS_DETAILS_LOW;
    default:
        return custom;
    }
}

int SelectedIndex(HWND list)
{
    const LRESULT index = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

bool Contains(HWND list, const std::wstring& text)
{
    return ::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text.c_str())) != LB_ERR;
}

void AddTo(HWND list, const std::wstring& text)
{
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DeleteFrom(HWND list, int index)
{
    ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

}  // namespace

CProfileDialog::CProfileDialog(UINT templateId, Form form) : fw::CDialog(templateId), m_form(form)
{
}

void CProfileDialog::SetProfile(int32_t profile)
{
    m_settings.SetSecurityProfile(profile);
}

ProfileLists CProfileDialog::Lists()
{
    ProfileLists lists;
    lists.shred = &m_shredList;
    lists.available = m_form == Form::BuiltIn ? nullptr : GetDlgItem(IDC_AVAILABLE_LIST);
    lists.exclude = GetDlgItem(IDC_EXCLUDE_LIST);
    return lists;
}

BOOL CProfileDialog::OnInitDialog()
{
    const HWND dialog = GetHwnd();
    const HICON icon = ::LoadIconW(PluginResourceInstance(), MAKEINTRESOURCEW(IDI_HALVORIN));
    ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (m_form == Form::BuiltIn) {
        ::ShowWindow(GetDlgItem(IDC_EXCLUDE_LIST), SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_EXCLUDE_HEAD), SW_HIDE);
    }
    // Attached first: the list fits its item height to each font it gets.
    m_shredList.Attach(GetDlgItem(IDC_SHRED_LIST));
    m_style.Apply(dialog, CurrentDisplayProperties());

    const bool loaded = m_settings.LoadProfile();
    if (!loaded && m_form != Form::BuiltIn) {
        // Shown empty, with the profile's own erase method.
        m_settings.ClearProfileBody();
        m_settings.SetEraseMethod(m_form == Form::Advanced ? kEraseOnePass : kEraseSimpleDelete);
    }

    SetCaptions();
    m_userEntries = FillLists(m_settings, Lists());
    FillRadioButtons();
    if (!m_settings.IsCustomProfile())
        ShowAsReadOnly();
    ::EnableWindow(GetDlgItem(IDC_DETAILS_APPLY), FALSE);
    FitExtents();
    return TRUE;
}

void CProfileDialog::SetCaptions()
{
    const HWND dialog = GetHwnd();
    UINT heading = IDS_PROFILE_ADVANCED;
    if (m_form == Form::Simple)
        heading = HeadingFor(m_settings.GetSecurityProfile(), IDS_PROFILE_SIMPLE);
    else if (m_form == Form::BuiltIn)
        heading = HeadingFor(m_settings.GetSecurityProfile(), IDS_PROFILE_ADVANCED);
    const std::wstring title = TableString(heading);
    ::SetWindowTextW(dialog, title.c_str());
    ::SetDlgItemTextW(dialog, IDC_DETAILS_HEADING, title.c_str());
    // Three points above the display size.
    m_headingFont.reset(m_style.MakeFont(30));
    if (m_headingFont)
        ::SendMessageW(GetDlgItem(IDC_DETAILS_HEADING), WM_SETFONT,
                       reinterpret_cast<WPARAM>(m_headingFont.get()), TRUE);

    const ControlString* begin = std::begin(kAdvancedTexts);
    const ControlString* end = std::end(kAdvancedTexts);
    if (m_form == Form::Simple) {
        begin = std::begin(kSimpleTexts);
        end = std::end(kSimpleTexts);
    } else if (m_form == Form::BuiltIn) {
        begin = std::begin(kBuiltInTexts);
        end = std::end(kBuiltInTexts);
    }
    for (const ControlString* text = begin; text != end; ++text)
        schedule::SetControlText(dialog, *text);
}

void CProfileDialog::FillRadioButtons()
{
    if (m_form == Form::Simple)
        return;
    int checked = 0;
    switch (m_settings.GetEraseMethod()) {
    case kEraseSevenPasses:
        checked = IDC_CYCLE_SEVEN;
        break;
    case kEraseThreePasses:
        checked = IDC_CYCLE_THREE;
        break;
    case kEraseOnePass:
        checked = IDC_CYCLE_ONE;
        break;
    case kEraseSimpleDelete:
        break;
    default:
        // An editable profile falls back to one pass; a built-in one shows
        // none.
        checked = m_form == Form::Advanced ? IDC_CYCLE_ONE : 0;
        break;
    }
    for (int id : kCycleButtons)
        ::CheckDlgButton(GetHwnd(), id, id == checked ? BST_CHECKED : BST_UNCHECKED);
}

void CProfileDialog::ShowAsReadOnly()
{
    if (m_form != Form::BuiltIn) {
        for (int id : kEditingControls)
            ::ShowWindow(GetDlgItem(id), SW_HIDE);
        ::EnableWindow(m_shredList.GetHwnd(), FALSE);
    }
    for (int id : kCycleButtons)
        ::EnableWindow(GetDlgItem(id), FALSE);
}

void CProfileDialog::FitExtents()
{
    FitHorizontalExtent(m_shredList.GetHwnd(), m_shredList.CheckAreaWidth());
    FitHorizontalExtent(GetDlgItem(IDC_EXCLUDE_LIST));
    if (m_form != Form::BuiltIn)
        FitHorizontalExtent(GetDlgItem(IDC_AVAILABLE_LIST));
}

void CProfileDialog::EnableApply()
{
    ::EnableWindow(GetDlgItem(IDC_DETAILS_APPLY), TRUE);
}

void CProfileDialog::Error(UINT textId, const std::wstring& entry)
{
    std::wstring text = TableString(textId);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, entry);
    fw::ShowMessageBox(GetHwnd(), text.c_str(), TableString(IDS_ADD_FILE_ERROR).c_str(), MB_OK);
}

bool CProfileDialog::OnCommand(WORD id, WORD notifyCode, HWND control)
{
    if (id == IDC_SHRED_LIST) {
        if (notifyCode == fw::CCheckListBox::kCheckChange)
            EnableApply();
        return true;
    }
    if (notifyCode != BN_CLICKED)
        return fw::CDialog::OnCommand(id, notifyCode, control);
    const bool editable = m_form != Form::BuiltIn;
    switch (id) {
    case IDC_DETAILS_APPLY:
        Apply();
        return true;
    case IDC_DETAILS_CANCEL:
        EndDialog(0);
        return true;
    case IDC_CYCLE_SEVEN:
    case IDC_CYCLE_THREE:
    case IDC_CYCLE_ONE:
        if (m_form == Form::Advanced)
            EnableApply();
        return true;
    default:
        break;
    }
    if (editable) {
        switch (id) {
        case IDC_MOVE_TO_SHRED:
            MoveToShredList();
            return true;
        case IDC_MOVE_BACK:
            MoveBack();
            return true;
        case IDC_AVAILABLE_DELETE:
            DeleteAvailable();
            return true;
        case IDC_ADD_CUSTOM:
            AddCustomOption();
            return true;
        case IDC_EXCLUDE_ADD:
            AddExclude();
            return true;
        case IDC_EXCLUDE_REMOVE:
            RemoveExclude();
            return true;
        default:
            break;
        }
    }
    return fw::CDialog::OnCommand(id, notifyCode, control);
}

HBRUSH CProfileDialog::OnCtlColor(HDC dc, HWND control, UINT)
{
    return m_style.OnCtlColor(dc, control);
}

bool CProfileDialog::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result)
{
    if (message != WM_DRAWITEM || !lParam)
        return false;
    if (!m_shredList.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
        return false;
    result = TRUE;
    return true;
}

void CProfileDialog::OnDestroy()
{
    m_shredList.Detach();
}

void CProfileDialog::MoveToShredList()
{
    EnableApply();
    const HWND available = GetDlgItem(IDC_AVAILABLE_LIST);
    const HWND shred = m_shredList.GetHwnd();
    const int selected = SelectedIndex(available);
    const std::wstring text = selected < 0 ? std::wstring() : ListText(available, selected);
    if (text.empty())
        return;
    if (!OptionFromCaption(text)) {
        if (m_userEntries >= kMaxUserEntries) {
            Error(IDS_ENTRY_LIMIT);
            return;
        }
        if (m_settings.IsProtectedPath(text)) {
            Error(IDS_ENTRY_PROTECTED, text);
            FitExtents();
            return;
        }
        // Already there: it stays where it is.
        if (Contains(shred, text)) {
            FitExtents();
            return;
        }
        ++m_userEntries;
    }
    AddTo(shred, text);  // unchecked: a confirmation is asked for anew
    DeleteFrom(available, selected);
    FitExtents();
}

void CProfileDialog::MoveBack()
{
    EnableApply();
    const HWND shred = m_shredList.GetHwnd();
    const int selected = SelectedIndex(shred);
    const std::wstring text = selected < 0 ? std::wstring() : ListText(shred, selected);
    if (text.empty())
        return;
    if (!OptionFromCaption(text))
        --m_userEntries;
    AddTo(GetDlgItem(IDC_AVAILABLE_LIST), text);
    DeleteFrom(shred, selected);
    FitExtents();
}

void CProfileDialog::DeleteAvailable()
{
    const HWND available = GetDlgItem(IDC_AVAILABLE_LIST);
    const int selected = SelectedIndex(available);
    if (selected >= 0)
        DeleteFrom(available, selected);
}

void CProfileDialog::AddCustomEntryTo(int listId)
{
    CAddCustomDlg dialog;
    if (dialog.DoModal(GetHwnd()) != IDOK)
        return;
    const std::wstring value = dialog.GetValue();
    const HWND list = GetDlgItem(listId);
    if (value.empty() || Contains(list, value))
        return;
    AddTo(list, value);
    FitExtents();
}

void CProfileDialog::AddCustomOption()
{
    // An entry of the available list is never stored: Apply stays as it is.
    AddCustomEntryTo(IDC_AVAILABLE_LIST);
}

void CProfileDialog::AddExclude()
{
    // Excluding is always safe: no protected-path test and no limit.
    EnableApply();
    AddCustomEntryTo(IDC_EXCLUDE_LIST);
}

void CProfileDialog::RemoveExclude()
{
    EnableApply();
    const HWND exclude = GetDlgItem(IDC_EXCLUDE_LIST);
    const int selected = SelectedIndex(exclude);
    if (selected >= 0)
        DeleteFrom(exclude, selected);
}

void CProfileDialog::Apply()
{
    if (m_form != Form::BuiltIn && !m_settings.IsCustomProfile()) {
        EndDialog(0);
        return;
    }
    SaveLists(m_settings, Lists());
    if (m_form == Form::Simple) {
        m_settings.SetEraseMethod(kEraseSimpleDelete);
    } else if (::IsDlgButtonChecked(GetHwnd(), IDC_CYCLE_SEVEN) == BST_CHECKED) {
        m_settings.SetEraseMethod(kEraseSevenPasses);
    } else if (::IsDlgButtonChecked(GetHwnd(), IDC_CYCLE_THREE) == BST_CHECKED) {
        m_settings.SetEraseMethod(kEraseThreePasses);
    } else if (::IsDlgButtonChecked(GetHwnd(), IDC_CYCLE_ONE) == BST_CHECKED) {
        m_settings.SetEraseMethod(kEraseOnePass);
    }
    // Only this profile's subkey: which profile is current is the Settings
    // page's business. A failed save is not reported.
    m_settings.SaveProfileBody();
    EndDialog(0);
}

CDetailsDlg::CDetailsDlg() : CProfileDialog(IDD_ADVANCED_DETAILS, Form::Advanced) {}

CSimpleDetailsDlg::CSimpleDetailsDlg() : CProfileDialog(IDD_SIMPLE_DETAILS, Form::Simple) {}

CProfileDetailsDlg::CProfileDetailsDlg() : CProfileDialog(IDD_PROFILE_DETAILS, Form::BuiltIn) {}

std::unique_ptr<CProfileDialog> MakeProfileDialog(int32_t profile)
{
    std::unique_ptr<CProfileDialog> dialog;
    if (profile == kProfileAdvanced)
        dialog.reset(new (std::nothrow) CDetailsDlg);
    else if (profile == kProfileSimple)
        dialog.reset(new (std::nothrow) CSimpleDetailsDlg);
    else
        dialog.reset(new (std::nothrow) CProfileDetailsDlg);
    if (dialog)
        dialog->SetProfile(profile);
    return dialog;
}
