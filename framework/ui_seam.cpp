#include "framework/ui_seam.h"

#include "framework/build_seams.h"
#include "framework/dialog.h"
#include "win32/string_table.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace fw {

namespace {

std::mutex g_lock;
UiResponder g_responder;

UiResponder CurrentResponder()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_responder;
}

// MessageBoxW centres its box on the monitor: a hook of the calling thread
// moves it over its owner when it is first activated, before it shows.
thread_local HWND t_boxOwner = nullptr;

LRESULT CALLBACK PlaceMessageBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && t_boxOwner) {
        wchar_t name[16] = {};
        const auto box = reinterpret_cast<HWND>(wParam);
        if (::GetClassNameW(box, name, ARRAYSIZE(name)) && ::lstrcmpW(name, L"#32770") == 0) {
            CentreOnOwner(box, t_boxOwner);
            t_boxOwner = nullptr;  // later activations are the user's
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class MessageBoxPlacement {
public:
    explicit MessageBoxPlacement(HWND owner) : m_previousOwner(t_boxOwner)
    {
        if (!owner || !::IsWindow(owner))
            return;
        m_hook = ::SetWindowsHookExW(WH_CBT, &PlaceMessageBox, nullptr, ::GetCurrentThreadId());
        if (m_hook)
            t_boxOwner = owner;
    }
    ~MessageBoxPlacement()
    {
        if (m_hook)
            ::UnhookWindowsHookEx(m_hook);
        t_boxOwner = m_previousOwner;
    }
    MessageBoxPlacement(const MessageBoxPlacement&) = delete;
    MessageBoxPlacement& operator=(const MessageBoxPlacement&) = delete;

private:
    HWND m_previousOwner;
    HHOOK m_hook = nullptr;
};

}  // namespace

ScopedUiResponder::ScopedUiResponder(UiResponder responder)
{
    std::lock_guard<std::mutex> guard(g_lock);
    m_previous = std::exchange(g_responder, std::move(responder));
}

ScopedUiResponder::~ScopedUiResponder()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_responder = std::move(m_previous);
}

bool IsUnattendedUi()
{
    return UnattendedUi();
}

namespace detail {

ModalPolicy CurrentModalPolicy(UiResponder& responder)
{
    responder = CurrentResponder();
    if (responder)
        return ModalPolicy::Answer;
    return IsUnattendedUi() ? ModalPolicy::Refuse : ModalPolicy::Real;
}

void ReportUnanswered(const UiRequest& request)
{
    std::wstring line = L"Scoravel: unattended, no answer for ";
    switch (request.kind) {
    case UiRequest::Kind::MessageBox:
        line += L"message box \"" + request.text + L"\"";
        break;
    case UiRequest::Kind::ModalDialog:
        line += L"dialog " + std::to_wstring(request.templateId);
        break;
    case UiRequest::Kind::Other:
        line += L"modal call \"" + request.caption + L"\"";
        break;
    }
    line += L"\n";
    ::OutputDebugStringW(line.c_str());
    std::fputws(line.c_str(), stderr);
}

}  // namespace detail

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    UiRequest request;
    request.kind = UiRequest::Kind::MessageBox;
    request.owner = owner;
    request.text = text ? text : L"";
    request.caption = caption ? caption : L"";
    request.type = type;

    UiResponder responder;
    switch (detail::CurrentModalPolicy(responder)) {
    case detail::ModalPolicy::Answer: {
        const INT_PTR answer = responder(request);
        if (answer != kUiLetRun)
            return static_cast<int>(answer);
        break;
    }
    case detail::ModalPolicy::Refuse:
        detail::ReportUnanswered(request);
        return 0;
    case detail::ModalPolicy::Real:
        break;
    }
    MessageBoxPlacement placement(owner);
    return ::MessageBoxW(owner, text, caption, type);
}

int ShowTableMessage(HWND owner, HINSTANCE strings, UINT textId, UINT captionId, UINT type)
{
    const std::wstring text = win32::LoadTableString(strings, textId);
    const std::wstring caption = win32::LoadTableString(strings, captionId);
    return ShowMessageBox(owner, text.c_str(), caption.c_str(), type);
}

INT_PTR RunModalCall(const UiRequest& request, const std::function<INT_PTR()>& show)
{
    UiResponder responder;
    switch (detail::CurrentModalPolicy(responder)) {
    case detail::ModalPolicy::Answer:
        return responder(request);
    case detail::ModalPolicy::Refuse:
        detail::ReportUnanswered(request);
        return -1;
    case detail::ModalPolicy::Real:
        break;
    }
    return show ? show() : -1;
}

}  // namespace fw
