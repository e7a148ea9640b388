// The one place where the product shows a message box or runs a modal
// dialog. A test installs a responder that answers instead of a user, so no
// window ever waits for a click.
//
// Without a responder the real UI is shown, except when the process runs
// a test build runs unattended (framework/build_seams.h; the test rig sets
// it for every test program): then nothing is shown and the call fails the
// way a failed MessageBoxW (0) or DialogBoxParamW (-1) would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace fw {

struct UiRequest {
    enum class Kind { MessageBox, ModalDialog, Other };
    Kind kind = Kind::Other;
    HWND owner = nullptr;
    // Message boxes: the texts and the MB_ flags.
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
    // Modal dialogs: the template, and the dialog window itself, already
    // initialised, so that a responder can read or drive its controls.
    UINT templateId = 0;
    HWND window = nullptr;
};

// A responder returns the answer (IDOK, IDYES, IDNO, IDCANCEL, a dialog
// result ...). For a modal dialog it may instead drive the dialog itself
// (click a button, send a key) and return kUiLetRun: the dialog then runs on
// and ends the way its own code ends it. For a message box kUiLetRun shows
// the real box, which whoever let it run must then close.
using UiResponder = std::function<INT_PTR(const UiRequest&)>;
inline constexpr INT_PTR kUiLetRun = static_cast<INT_PTR>(0x7FFFBEEF);

// Installs a process-wide responder for the lifetime of the object and puts
// the previous one back afterwards. Responders are called on the thread that
// shows the UI, which may be any thread.
class ScopedUiResponder {
public:
    explicit ScopedUiResponder(UiResponder responder);
    ~ScopedUiResponder();
    ScopedUiResponder(const ScopedUiResponder&) = delete;
    ScopedUiResponder& operator=(const ScopedUiResponder&) = delete;

private:
    UiResponder m_previous;
};

// MessageBoxW through the seam; the box opens centred on its owner.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
// The same, its text and caption strings `textId` and `captionId` of the
// string table in `strings`.
int ShowTableMessage(HWND owner, HINSTANCE strings, UINT textId, UINT captionId, UINT type);

// Any other modal call (a common dialog, a shell browser): `show` runs it for
// real; a responder's answer replaces it. Unattended without a responder: -1.
INT_PTR RunModalCall(const UiRequest& request, const std::function<INT_PTR()>& show);

// True in a test build run unattended (framework/build_seams.h); never in
// the shipped programs.
bool IsUnattendedUi();

namespace detail {

// How the next modal dialog is to run: for real, answered by `responder`, or
// refused (unattended, nobody to answer).
enum class ModalPolicy { Real, Answer, Refuse };
ModalPolicy CurrentModalPolicy(UiResponder& responder);
void ReportUnanswered(const UiRequest& request);

}  // namespace detail

}  // namespace fw
