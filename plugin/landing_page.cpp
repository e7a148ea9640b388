#include "plugin/landing_page.h"

#include "commands/command_sender.h"
#include "framework/build_seams.h"
#include "ipc/bleach_pipe_client.h"
#include "ipc/bleach_protocol.h"
#include "plugin/pages.h"
#include "resources/halvorin/resource.h"
#include "settings/product_version.h"
#include "win32/registry.h"
#include "win32/string_table.h"

#include <prsht.h>
#include <shlobj.h>

namespace {

// Closing the help window must not hang the console behind a stuck hh.exe.
constexpr UINT kHelpCloseTimeoutMs = 5000;

constexpr wchar_t kTitleFace[] = L"Arial";
constexpr int kTitleTenthsOfPoint = 170;

// The desktop icon's ProgID: present while the icon is registered.
constexpr wchar_t kDesktopIconProgId[] = L"Fennick.OVHWDesktopFolderImpl";
// The service starts regsvr32 and returns at once: give it time before the
// shell looks again.
constexpr DWORD kRegistrationPauseMs = 1500;

void SetText(HWND control, const std::wstring& text)
{
    if (control)
        ::SetWindowTextW(control, text.c_str());
}

}  // namespace

CLandingDlg::CLandingDlg() : fw::CPropertyPage(IDD_LANDING_PAGE) {}

BOOL CLandingDlg::OnInitDialog()
{
    fw::CPropertyPage::OnInitDialog();
    const HINSTANCE instance = PluginResourceInstance();
    m_style.Apply(GetHwnd(), CurrentDisplayProperties());

    // The title has a face of its own. The new font first: the title lets
    // go of the old one before the member deletes it.
    const HWND title = GetDlgItem(IDC_LANDING_TITLE);
    fw::UniqueFont titleFont(fw::CreatePointFont(kTitleTenthsOfPoint, kTitleFace));
    if (title)
        ::SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont.get()), TRUE);
    m_titleFont = std::move(titleFont);

    SetText(title, win32::LoadTableString(instance, IDS_PRODUCT_NAME));
    SetText(GetDlgItem(IDC_LANDING_DESCRIPTION),
            win32::LoadTableString(instance, IDS_PRODUCT_DESCRIPTION));
    SetText(GetDlgItem(IDC_LANDING_VERSION),
            ProductVersionText(win32::LoadTableString(instance, IDS_VERSION_PREFIX)));
    return TRUE;
}

bool CLandingDlg::OnNotify(NMHDR& header, LRESULT& /*result*/)
{
    if (header.code == static_cast<UINT>(PSN_HELP))
        OpenProductHelp();
    // Nothing to apply: every notification, PSN_APPLY too, goes on to the
    // dialog manager's default answer.
    return false;
}

HBRUSH CLandingDlg::OnCtlColor(HDC dc, HWND control, UINT /*type*/)
{
    return m_style.OnCtlColor(dc, control);
}

bool CLandingDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DESTROY)
        return false;
    result = Default(message, wParam, lParam);
    if (const HWND help = FindProductHelpWindow()) {
        DWORD_PTR unused = 0;
        ::SendMessageTimeoutW(help, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kHelpCloseTimeoutMs, &unused);
    }
    return true;
}

std::wstring ProductVersionText(const std::wstring& prefix)
{
    const ProductVersion version = ReadProductVersion();
    // Without a version the word alone would dangle under the description.
    if (!version.high)
        return {};
    std::wstring text = prefix;
    const DWORD high = *version.high;
    text += L' ';
    text += std::to_wstring(high / 100) + L'.' + std::to_wstring(high % 100 / 10) + L'.' +
            std::to_wstring(high % 10) + L'.';
    if (version.low)
        text += std::to_wstring(*version.low);
    return text;
}

void EnsureDesktopIcon()
{
    win32::UniqueKey progId;
    if (win32::OpenKey(HKEY_CLASSES_ROOT, kDesktopIconProgId, KEY_QUERY_VALUE, progId) ==
        ERROR_SUCCESS)
        return;

    const auto processId = static_cast<int32_t>(::GetCurrentProcessId());
    const auto threadId = static_cast<int32_t>(::GetCurrentThreadId());
    // Only a test build has a suffix (framework/build_seams.h).
    const std::wstring name = kBleachControlPipe + fw::BleachPipeSuffix();
    win32::UniqueFile pipe;
    // The service sends no reply to this request: nothing to read.
    if (OpenBleachPipe(name, BleachPipeRole::Control, pipe))
        WriteControlMessage(pipe.get(), kRegisterDesktopIcon, processId, threadId);
    pipe.reset();

    ::Sleep(fw::DesktopIconPauseMs(kRegistrationPauseMs));
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}
