#include "tests/commands/graventa_recorder.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/wait.h"

#include <cstring>
#include <cwchar>
#include <ostream>

namespace plugintest {

namespace {

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    wchar_t title[64] = {};
    ::GetWindowTextW(window, title, ARRAYSIZE(title));
    if (pid == search->pid && std::wstring(title) == L"Graventa") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

GraventaRecorder::~GraventaRecorder()
{
    Stop();
}

bool GraventaRecorder::Start(const std::wstring& recordPath, bool hung)
{
    m_recordPath = recordPath.empty() ? m_folder / L"received.txt" : recordPath;
    std::vector<std::wstring> arguments = {m_recordPath};
    if (hung)
        arguments.push_back(L"hung");
    if (!m_child.Start(testsupport::ProgramBesideTest(L"graventa_recorder.exe"),
                       testsupport::QuotedArguments(arguments)))
        return false;
    Search search{m_child.Id(), nullptr};
    testsupport::WaitUntil([&] {
        ::EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || m_child.HasExited();
    });
    m_window = search.found;
    return m_window != nullptr;
}

std::wstring GraventaRecorder::Title() const
{
    wchar_t title[300] = {};
    ::GetWindowTextW(m_window, title, ARRAYSIZE(title));
    return title;
}

std::vector<SetText> GraventaRecorder::Received() const
{
    std::string bytes;
    std::vector<SetText> received;
    if (!testsupport::ReadFileBytes(m_recordPath, bytes))
        return received;
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t tab = line.find(L'\t');
        if (tab == std::wstring::npos)
            continue;
        received.push_back({std::wcstoul(line.c_str(), nullptr, 16), line.substr(tab + 1)});
    }
    return received;
}

std::vector<UINT> GraventaRecorder::Codes() const
{
    std::vector<UINT> codes;
    for (const SetText& setText : Received())
        if (setText.code != 0)
            codes.push_back(static_cast<UINT>(setText.code));
    return codes;
}

bool GraventaRecorder::WaitForCount(size_t count) const
{
    return testsupport::WaitUntil([&] { return Received().size() >= count; });
}

void GraventaRecorder::Stop()
{
    if (m_window && ::IsWindow(m_window))
        ::PostMessageW(m_window, WM_CLOSE, 0, 0);
    m_window = nullptr;
    if (!m_child.WaitForExit(testsupport::kPatienceMs))
        m_child.Kill();
}

void PrintTo(const SetText& setText, std::ostream* out)
{
    *out << "{0x" << std::hex << setText.code << std::dec << ", \"";
    for (const wchar_t c : setText.text)
        *out << (c < 0x80 ? static_cast<char>(c) : '?');
    *out << "\"}";
}

}  // namespace plugintest
