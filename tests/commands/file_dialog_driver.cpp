#include "tests/commands/file_dialog_driver.h"

#include "commands/file_folder_dialog.h"
#include "tests/common/wait.h"

#include <commctrl.h>
#include <shlobj.h>

namespace plugintest {

namespace {

// Asks the common dialog for its shell browser (the message its shell view
// uses to find it).
constexpr UINT kGetShellBrowser = WM_USER + 7;

IShellBrowser* BrowserOf(HWND dialog)
{
    return reinterpret_cast<IShellBrowser*>(::SendMessageW(dialog, kGetShellBrowser, 0, 0));
}

}  // namespace

bool ShowsAs(const std::wstring& shown, const std::wstring& fileName)
{
    if (shown == fileName)
        return true;
    const size_t dot = fileName.rfind(L'.');
    return dot != std::wstring::npos && dot > 0 && shown == fileName.substr(0, dot);
}

DialogDriver::~DialogDriver()
{
    Join();
}

INT_PTR DialogDriver::Start(HWND dialog, Script script)
{
    if (m_dialog || !dialog)
        return IDCANCEL;
    m_dialog = dialog;
    // The timer dies with the dialog window; its id carries the driver.
    if (!::SetTimer(dialog, reinterpret_cast<UINT_PTR>(this), 10, &DialogDriver::TimerProc))
        return IDCANCEL;
    m_thread = std::thread([this, script = std::move(script)] {
        m_succeeded = script(*this);
        if (!m_succeeded)
            ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        // A script that ends without closing the dialog would hang the test.
        if (!testsupport::WaitUntil([this] { return !::IsWindow(m_dialog); }, 10000)) {
            m_succeeded = false;
            ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    });
    return fw::kUiLetRun;
}

void DialogDriver::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CALLBACK DialogDriver::TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    reinterpret_cast<DialogDriver*>(id)->RunPending();
}

void DialogDriver::RunPending()
{
    std::unique_lock<std::mutex> lock(m_lock);
    // An action that pumps messages must not run the next one inside it.
    if (!m_pending || m_running)
        return;
    m_running = true;
    const std::function<void()>* action = m_pending;
    lock.unlock();
    (*action)();
    lock.lock();
    m_pending = nullptr;
    m_running = false;
    m_changed.notify_all();
}

bool DialogDriver::OnDialog(const std::function<void()>& action)
{
    // Helpers called from an action already run on the dialog's thread.
    if (::GetWindowThreadProcessId(m_dialog, nullptr) == ::GetCurrentThreadId()) {
        action();
        return true;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_pending = &action;
    const ULONGLONG deadline = ::GetTickCount64() + testsupport::kPatienceMs;
    while (m_pending) {
        if (!m_running && (!::IsWindow(m_dialog) || ::GetTickCount64() > deadline)) {
            m_pending = nullptr;
            return false;
        }
        m_changed.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

bool DialogDriver::WaitFor(const std::function<bool()>& state)
{
    bool holds = false;
    return testsupport::WaitUntil([&] { return OnDialog([&] { holds = state(); }) && holds; }) &&
           holds;
}

HWND DialogDriver::List() const
{
    return ::GetDlgItem(::GetDlgItem(m_dialog, CFileFolderDialog::kShellViewId),
                        CFileFolderDialog::kListId);
}

bool DialogDriver::Navigate(const std::wstring& folder)
{
    HRESULT hr = E_FAIL;
    OnDialog([&] {
        IShellBrowser* browser = BrowserOf(m_dialog);
        PIDLIST_ABSOLUTE pidl = ::ILCreateFromPathW(folder.c_str());
        if (browser && pidl)
            hr = browser->BrowseObject(pidl, SBSP_SAMEBROWSER | SBSP_ABSOLUTE);
        ::ILFree(pidl);
    });
    return SUCCEEDED(hr) && WaitFor([&] { return FolderShown() == folder && List(); });
}

bool DialogDriver::NavigateToComputer()
{
    HRESULT hr = E_FAIL;
    OnDialog([&] {
        IShellBrowser* browser = BrowserOf(m_dialog);
        PIDLIST_ABSOLUTE pidl = nullptr;
        if (browser && SUCCEEDED(::SHGetSpecialFolderLocation(m_dialog, CSIDL_DRIVES, &pidl)))
            hr = browser->BrowseObject(pidl, SBSP_SAMEBROWSER | SBSP_ABSOLUTE);
        ::ILFree(pidl);
    });
    // The computer lists its drives.
    return SUCCEEDED(hr) && WaitFor([&] { return !Items().empty(); });
}

std::vector<std::wstring> DialogDriver::Items()
{
    std::vector<std::wstring> items;
    OnDialog([&] {
        const HWND list = List();
        const int count = list ? static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
        for (int i = 0; i < count; ++i) {
            wchar_t text[MAX_PATH] = {};
            LVITEMW item{};
            item.pszText = text;
            item.cchTextMax = ARRAYSIZE(text);
            ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            items.emplace_back(text);
        }
    });
    return items;
}

bool DialogDriver::Select(const std::wstring& shownText)
{
    const std::vector<std::wstring> items = Items();
    int index = -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == shownText)
            index = static_cast<int>(i);
    if (index < 0 || !ClearSelection())
        return false;
    bool selected = false;
    OnDialog([&] {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(List(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
        selected = ::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                  LVNI_SELECTED) == index;
    });
    return selected;
}

bool DialogDriver::ClearSelection()
{
    return OnDialog([&] {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        ::SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(&item));
    });
}

bool DialogDriver::Open(const std::wstring& shownText)
{
    if (!Select(shownText))
        return false;
    return OnDialog([&] {
        const HWND list = List();
        const int index = static_cast<int>(
            ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        RECT rect{};
        rect.left = LVIR_LABEL;
        ::SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
        const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
    });
}

bool DialogDriver::Press(int buttonId)
{
    return OnDialog([&] { ::SendMessageW(::GetDlgItem(m_dialog, buttonId), BM_CLICK, 0, 0); });
}

std::wstring DialogDriver::FolderShown()
{
    std::wstring folder;
    OnDialog([&] {
        wchar_t text[MAX_PATH] = {};
        const LRESULT cch = ::SendMessageW(m_dialog, CDM_GETFOLDERPATH, ARRAYSIZE(text),
                                           reinterpret_cast<LPARAM>(text));
        if (cch > 0 && cch <= static_cast<LRESULT>(ARRAYSIZE(text)))
            folder = text;
    });
    return folder;
}

bool DialogDriver::IsEnabled(int controlId)
{
    bool enabled = false;
    OnDialog([&] {
        const HWND control = ::GetDlgItem(m_dialog, controlId);
        enabled = control && ::IsWindowEnabled(control);
    });
    return enabled;
}

}  // namespace plugintest
