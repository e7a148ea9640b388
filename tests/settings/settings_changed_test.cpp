// The settings-changed command reaches the shredding program's window, and
// no other window, and the title is put back.
#include "ipc/main_window_command.h"
#include "settings/settings_store.h"
#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct SetTextCall {
    WPARAM code;
    std::wstring text;
};

std::vector<SetTextCall> g_calls;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        g_calls.push_back({wParam, text ? text : L"<null>"});
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

class RecordingWindow {
public:
    explicit RecordingWindow(const wchar_t* title)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ScoravelSettingsTestWindow";
        ::RegisterClassW(&wc);
        m_window = ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPED, 0, 0, 10, 10,
                                     nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~RecordingWindow() { ::DestroyWindow(m_window); }
    HWND get() const { return m_window; }

private:
    HWND m_window = nullptr;
};

std::wstring TitleOf(HWND window)
{
    wchar_t title[300] = {};
    ::GetWindowTextW(window, title, ARRAYSIZE(title));
    return title;
}

class SettingsChanged : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        g_calls.clear();
    }
};

TEST_F(SettingsChanged, SaversSendTheReloadCommandAndRestoreTheTitle)
{
    RecordingWindow program(kMainWindowTitle);
    ASSERT_TRUE(program.get());
    g_calls.clear();

    SettingsStore store;
    ASSERT_TRUE(store.SaveTriggers());
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ(0xBABE06u, g_calls[0].code);
    EXPECT_EQ(L"", g_calls[0].text);  // no text goes as an empty one
    EXPECT_EQ(0u, g_calls[1].code);
    EXPECT_EQ(L"Graventa", g_calls[1].text);
    EXPECT_EQ(L"Graventa", TitleOf(program.get()));

    g_calls.clear();
    ASSERT_TRUE(store.SaveAll());
    EXPECT_EQ(2u, g_calls.size());
    g_calls.clear();
    ASSERT_TRUE(store.SaveBleachSchedule());
    ASSERT_TRUE(store.SaveProfile());
    EXPECT_TRUE(g_calls.empty()) << "only the trigger and whole savers notify";
}

TEST_F(SettingsChanged, WithoutTheProgramNoOtherWindowIsRetitled)
{
    RecordingWindow bystander(L"Some other program");
    ASSERT_TRUE(bystander.get());
    g_calls.clear();
    SettingsStore store;
    ASSERT_TRUE(store.SaveTriggers());
    ASSERT_TRUE(store.SaveAll());
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(L"Some other program", TitleOf(bystander.get()));
}

}  // namespace
