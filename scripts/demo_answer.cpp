// DemoAnswer.exe: answers Graventa's shred question the way a person would,
// for scripts/demo.sh. Run under Wine beside "Graventa.exe ShredOneFile
// <path>": it waits for Graventa's confirmation dialog to show its question,
// checks that the question names <path>, and presses Yes. Any other question
// or a warning is reported, answered No (or OK) and ends it with 1; so does
// Graventa ending without asking, or nothing being asked in time.
// Usage: DemoAnswer <path> [seconds]   (default 60)
#include "resources/graventa/resource.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kProgram[] = L"Graventa.exe";
constexpr DWORD kPollMs = 50;

std::wstring TextOf(HWND window)
{
    // The question holds a path of up to 259 characters and its sentence.
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

// True when a Graventa.exe runs with process id `pid` (0: with any id). When
// the processes cannot be listed, true: the caller keeps to its deadline.
bool GraventaRuns(DWORD pid)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return true;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
         more = ::Process32NextW(snapshot, &entry))
        found =
            (pid == 0 || entry.th32ProcessID == pid) && ::_wcsicmp(entry.szExeFile, kProgram) == 0;
    ::CloseHandle(snapshot);
    return found;
}

struct Found {
    HWND dialog = nullptr;
    int textId = 0;  // IDC_CONFIRM_TEXT or IDC_WARN_TEXT
    std::wstring text;
};

// A dialog of Graventa's whose message is set. The window exists before its
// initialisation has put the message in: an empty question is not ready.
Found FindReadyDialog()
{
    Found found;
    for (HWND window = ::GetTopWindow(nullptr); window && !found.dialog;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, ARRAYSIZE(name));
        if (std::wcscmp(name, L"#32770") != 0)
            continue;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        for (const int id : {IDC_CONFIRM_TEXT, IDC_WARN_TEXT}) {
            const HWND control = ::GetDlgItem(window, id);
            if (!control)
                continue;
            std::wstring text = TextOf(control);
            // The warning's template has a text of its own: only a visible
            // dialog has been through its initialisation.
            const bool ready = id == IDC_CONFIRM_TEXT ? !text.empty() : ::IsWindowVisible(window);
            if (ready && GraventaRuns(pid)) {
                found = {window, id, std::move(text)};
                break;
            }
        }
    }
    return found;
}

// Clicks `buttonId` and waits until the dialog has gone.
bool Press(HWND dialog, int buttonId, DWORD timeoutMs)
{
    const HWND button = ::GetDlgItem(dialog, buttonId);
    if (!button)
        return false;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::IsWindow(dialog) && ::GetTickCount64() < deadline)
        ::Sleep(kPollMs);
    return !::IsWindow(dialog);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || !*argv[1]) {
        std::fwprintf(stderr, L"usage: DemoAnswer <path> [seconds]\n");
        return 2;
    }
    const std::wstring path = argv[1];
    const DWORD timeoutMs = (argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 60) * 1000;
    const std::wstring named = L"\"" + path + L"\"";

    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool seenRunning = false;
    Found found;
    while (!(found = FindReadyDialog()).dialog) {
        // Graventa may not have started yet; once it has, its end means it
        // will not ask any more.
        const bool running = GraventaRuns(0);
        if (seenRunning && !running) {
            std::fwprintf(stderr, L"DemoAnswer: Graventa ended without asking\n");
            return 1;
        }
        seenRunning = seenRunning || running;
        if (::GetTickCount64() >= deadline) {
            std::fwprintf(stderr, L"DemoAnswer: no question from Graventa in time\n");
            return 1;
        }
        ::Sleep(kPollMs);
    }

    if (found.textId == IDC_WARN_TEXT) {
        std::fwprintf(stderr, L"DemoAnswer: Graventa warns: %ls\n", found.text.c_str());
        Press(found.dialog, IDOK, timeoutMs);
        return 1;
    }
    if (found.text.find(named) == std::wstring::npos) {
        std::fwprintf(stderr, L"DemoAnswer: not the demo's question, answering No: %ls\n",
                      found.text.c_str());
        Press(found.dialog, IDCANCEL, timeoutMs);
        return 1;
    }
    std::fwprintf(stdout, L"DemoAnswer: %ls -> Yes\n", found.text.c_str());
    std::fflush(stdout);
    if (!Press(found.dialog, IDOK, timeoutMs)) {
        std::fwprintf(stderr, L"DemoAnswer: the question did not close\n");
        return 1;
    }
    return 0;
}
