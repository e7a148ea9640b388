#include "framework/file_dialog.h"

#include "framework/dialog.h"
#include "framework/ui_seam.h"

#include <shlwapi.h>

#include <cwctype>

namespace fw {

namespace {

// Marks the hook windows this class attached to.
constexpr wchar_t kAttachedProperty[] = L"Scoravel.fw.CFileDialog";

// "Text|*.txt|All|*.*||" with each bar made a NUL: the list of pairs the
// dialog reads, ending in two NULs.
std::wstring FilterList(const wchar_t* filter)
{
    std::wstring list = filter;
    for (wchar_t& c : list)
        if (c == L'|')
            c = L'\0';
    list.append(2, L'\0');
    return list;
}

// "C:\..." or "\\server\share...": what the file system can open. Not a
// parsing name such as "::{GUID}" (PathIsRelativeW takes its "::" for a drive).
bool IsFileSystemPath(const std::wstring& path)
{
    if (path.size() >= 3 && ::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\')
        return true;
    return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\' &&
           path[2] != L'?' && path[2] != L'.';
}

}  // namespace

CFileDialog::CFileDialog(bool openDialog, const wchar_t* defaultExt, const wchar_t* fileName,
                         DWORD flags, const wchar_t* filter, HWND parent)
    : m_openDialog(openDialog)
{
    // A name that does not fit is left out rather than cut.
    if (fileName && ::wcslen(fileName) < ARRAYSIZE(m_file))
        ::lstrcpynW(m_file, fileName, ARRAYSIZE(m_file));
    if (filter)
        m_filter = FilterList(filter);
    if (defaultExt)
        m_defaultExt = defaultExt;

    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = parent;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_file;
    m_ofn.nMaxFile = ARRAYSIZE(m_file);
    m_ofn.lpstrFileTitle = m_fileTitle;
    m_ofn.nMaxFileTitle = ARRAYSIZE(m_fileTitle);
    m_ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK;
    m_ofn.lpfnHook = &CFileDialog::HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
}

INT_PTR CFileDialog::DoModal()
{
    if (m_hook)
        return IDCANCEL;
    UiRequest request;
    request.kind = UiRequest::Kind::ModalDialog;
    request.owner = m_ofn.hwndOwner;
    request.caption = m_openDialog ? L"Open" : L"Save As";

    UiResponder responder;
    switch (detail::CurrentModalPolicy(responder)) {
    case detail::ModalPolicy::Refuse:
        detail::ReportUnanswered(request);
        return IDCANCEL;
    case detail::ModalPolicy::Answer:
        m_modalResponder = &responder;
        break;
    case detail::ModalPolicy::Real:
        break;
    }
    m_initDone = false;
    m_answered = false;
    m_fileTitle[0] = L'\0';
    const BOOL ok = m_openDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    m_modalResponder = nullptr;
    m_hook = nullptr;
    if (m_answered)
        return m_answer;
    return ok ? IDOK : IDCANCEL;
}

std::wstring CFileDialog::AskDialog(UINT message) const
{
    const HWND dialog = GetDialogWindow();
    if (!dialog)
        return {};
    wchar_t text[MAX_PATH] = {};
    // The size with its NUL, a negative value on failure, or the size the
    // text needs when it does not fit: then nothing is taken.
    const LRESULT cch =
        ::SendMessageW(dialog, message, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    if (cch <= 0 || cch > static_cast<LRESULT>(ARRAYSIZE(text)))
        return {};
    text[ARRAYSIZE(text) - 1] = L'\0';
    return text;
}

std::wstring CFileDialog::GetPathName() const
{
    if (m_hook)
        return AskDialog(CDM_GETFILEPATH);
    return m_file;
}

std::wstring CFileDialog::GetFileName() const
{
    if (m_hook)
        return AskDialog(CDM_GETSPEC);
    return m_fileTitle;
}

std::wstring CFileDialog::GetFileTitle() const
{
    std::wstring name = GetFileName();
    const wchar_t* extension = ::PathFindExtensionW(name.c_str());
    name.resize(static_cast<size_t>(extension - name.c_str()));
    return name;
}

std::wstring CFileDialog::GetFileExt() const
{
    const std::wstring name = GetFileName();
    const wchar_t* extension = ::PathFindExtensionW(name.c_str());
    return *extension == L'.' ? std::wstring(extension + 1) : std::wstring();
}

std::wstring CFileDialog::GetFolderPath() const
{
    if (!m_hook)
        return {};
    // A virtual folder has no path: the message fails, or (Wine) gives its
    // parsing name "::{GUID}".
    std::wstring folder = AskDialog(CDM_GETFOLDERPATH);
    return IsFileSystemPath(folder) ? folder : std::wstring();
}

void CFileDialog::HandleInitDone()
{
    if (m_initDone)
        return;
    m_initDone = true;
    // The system opens it at its owner's top-left corner, or without an
    // owner wherever it likes: over the owner, else mid-screen.
    CentreOnOwner(GetDialogWindow(), ::IsWindow(m_ofn.hwndOwner) ? m_ofn.hwndOwner : nullptr);
    if (!m_modalResponder)
        return;
    UiRequest request;
    request.kind = UiRequest::Kind::ModalDialog;
    request.owner = m_ofn.hwndOwner;
    request.caption = m_openDialog ? L"Open" : L"Save As";
    request.window = GetDialogWindow();
    INT_PTR answer = -1;
    try {
        answer = (*static_cast<UiResponder*>(m_modalResponder))(request);
    } catch (...) {
        answer = -1;
    }
    if (answer == kUiLetRun)
        return;
    // The dialog ends its own way, as cancelled; DoModal reports the answer.
    m_answer = answer;
    m_answered = true;
    ::PostMessageW(request.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

UINT_PTR CFileDialog::HandleNotify(const OFNOTIFYW& notify)
{
    switch (notify.hdr.code) {
    case CDN_INITDONE:
        OnInitDone();
        HandleInitDone();
        return 0;
    case CDN_SELCHANGE:
        OnFileNameChange();
        return 0;
    case CDN_FOLDERCHANGE:
        OnFolderChange();
        return 0;
    case CDN_FILEOK:
        if (!OnFileNameOK())
            return 0;
        ::SetWindowLongPtrW(m_hook, DWLP_MSGRESULT, 1);
        return 1;
    default:
        return 0;
    }
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    try {
        if (message == WM_INITDIALOG) {
            const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
            auto* self = ofn ? reinterpret_cast<CFileDialog*>(ofn->lCustData) : nullptr;
            if (!self)
                return FALSE;
            self->m_hook = hook;
            ::SetPropW(hook, kAttachedProperty, self);
            return self->OnInitDialog();
        }
        auto* self = static_cast<CFileDialog*>(::GetPropW(hook, kAttachedProperty));
        if (!self)
            return 0;
        switch (message) {
        case WM_NOTIFY:
            return lParam ? self->HandleNotify(*reinterpret_cast<const OFNOTIFYW*>(lParam)) : 0;
        case WM_DESTROY:
            // From here on the dialog is going: the accessors read the result.
            ::RemovePropW(hook, kAttachedProperty);
            self->m_hook = nullptr;
            return 0;
        default:
            return 0;
        }
    } catch (...) {
        return 0;
    }
}

}  // namespace fw
