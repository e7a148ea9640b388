#include "plugin/profile_lists.h"

#include "plugin/pages.h"
#include "resources/halvorin/resource.h"
#include "win32/string_table.h"

#include <algorithm>
#include <vector>

namespace {

// In the order the captions are compared; the lists are filled in this
// order too, "Web forms" left out.
const ProfileOption kOptions[] = {
    {IDS_OPTION_HISTORY, true, kBrowseHistory},
    {IDS_OPTION_COOKIES, true, kCookies},
    {IDS_OPTION_WEB_FORMS, false, kTraceKindCount},
    {IDS_OPTION_URLS, true, kBrowseURL},
    {IDS_OPTION_AUTOCOMPLETE, true, kAutoComplete},
    {IDS_OPTION_TEMP_INTERNET, true, kTempIntFiles},
    {IDS_OPTION_RECYCLE, true, kRecycle},
    {IDS_OPTION_TEMP_FILES, true, kTempFiles},
    {IDS_OPTION_RECENT_RP, true, kRecentRP},
    {IDS_OPTION_RECENT_OFFICE, true, kRecentOfficeDocs},
    {IDS_OPTION_RECENT_MP, true, kRecentMP},
    {IDS_OPTION_RECENT_MENU, true, kRecentMenu},
};

std::wstring Caption(const ProfileOption& option)
{
    return win32::LoadTableString(PluginResourceInstance(), option.captionId);
}

int AddString(HWND list, const std::wstring& text)
{
    return static_cast<int>(
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void AddChecked(fw::CCheckListBox& list, const std::wstring& text, bool checked)
{
    const int index = AddString(list.GetHwnd(), text);
    if (index >= 0 && checked)
        list.SetCheck(index, 1);
}

}  // namespace

const ProfileOption* OptionFromCaption(const std::wstring& text)
{
    for (const ProfileOption& option : kOptions) {
        const std::wstring caption = Caption(option);
        if (!caption.empty() && ::lstrcmpiW(caption.c_str(), text.c_str()) == 0)
            return &option;
    }
    return nullptr;
}

void SetOptionFlags(SettingsStore& settings, const ProfileOption& option, int check)
{
    if (!option.hasFlags)
        return;
    settings.SetShred(option.kind, true);
    settings.SetConfirm(option.kind, check == 1);
}

std::wstring ListText(HWND list, int index)
{
    const LRESULT cch = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (cch == LB_ERR || cch <= 0)
        return {};
    std::vector<wchar_t> text(static_cast<size_t>(cch) + 1, L'\0');
    if (::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(text.data())) == LB_ERR)
        return {};
    text.back() = L'\0';
    return text.data();
}

int ListCount(HWND list)
{
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

void FitHorizontalExtent(HWND list, int extra)
{
    if (!list)
        return;
    // Measured in the list's own font, which is the one it draws in.
    const HDC dc = ::GetDC(list);
    if (!dc)
        return;
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    int widest = 0;
    for (int i = 0, count = ListCount(list); i < count; ++i) {
        const std::wstring text = ListText(list, i);
        SIZE size = {};
        if (::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
            widest = std::max<int>(widest, size.cx);
    }
    if (old)
        ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    // A few pixels for the item's margins.
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + extra + 6), 0);
}

int FillLists(const SettingsStore& settings, const ProfileLists& lists)
{
    const HWND shred = lists.shred->GetHwnd();
    ::SendMessageW(shred, LB_RESETCONTENT, 0, 0);
    if (lists.available)
        ::SendMessageW(lists.available, LB_RESETCONTENT, 0, 0);
    for (const ProfileOption& option : kOptions) {
        if (!option.hasFlags)
            continue;
        if (settings.GetShred(option.kind))
            AddChecked(*lists.shred, Caption(option), settings.GetConfirm(option.kind));
        else if (lists.available)
            AddString(lists.available, Caption(option));
    }

    const int userEntries = settings.GetFilesAndFoldersCount();
    for (int i = 0; i < userEntries; ++i) {
        bool confirm = false;
        const std::wstring path = settings.GetFileEntry(i, confirm);
        if (!path.empty())
            AddChecked(*lists.shred, path, confirm);
    }

    ::SendMessageW(lists.exclude, LB_RESETCONTENT, 0, 0);
    for (int i = 0, count = settings.GetExcludeListCount(); i < count; ++i) {
        const std::wstring path = settings.GetExcludeEntry(i);
        if (!path.empty())
            AddString(lists.exclude, path);
    }
    return userEntries;
}

void SaveLists(SettingsStore& settings, const ProfileLists& lists)
{
    const bool editable = settings.IsCustomProfile();
    if (editable)
        settings.ClearProfileBody();
    const HWND shred = lists.shred->GetHwnd();
    for (int i = 0, count = ListCount(shred); i < count; ++i) {
        const std::wstring text = ListText(shred, i);
        const int check = lists.shred->GetCheck(i);
        if (const ProfileOption* option = OptionFromCaption(text))
            SetOptionFlags(settings, *option, check);
        else if (editable)
            settings.AddFileEntry(text, check == 1);
    }
    if (!editable)
        return;
    for (int i = 0, count = ListCount(lists.exclude); i < count; ++i) {
        const std::wstring text = ListText(lists.exclude, i);
        if (!text.empty())
            settings.AddExcludeEntry(text);
    }
}
