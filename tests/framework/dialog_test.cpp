#include "framework/dialog.h"

#include "tests/framework/test_dialog.h"

#include <gtest/gtest.h>

namespace {

using fwtest::CHostThread;
using fwtest::TextOf;

// A modeless test dialog on a UI thread of its own, driven from the test
// thread with real messages.
class ModelessDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.StartAndWait());
        hwnd = host.dialog.GetHwnd();
        ASSERT_TRUE(::IsWindow(hwnd));
    }

    CHostThread host;
    HWND hwnd = nullptr;
};

TEST_F(ModelessDialog, IsAttachedFromInitDialogAndCreatedHidden)
{
    EXPECT_EQ(&host.dialog, fw::CDialog::FromHandle(hwnd));
    EXPECT_FALSE(host.dialog.IsModal());
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(L"set by OnInitDialog", TextOf(::GetDlgItem(hwnd, IDC_TEST_TEXT)));
    // A window the class did not make is never taken for one of its objects.
    EXPECT_EQ(nullptr, fw::CDialog::FromHandle(::GetDlgItem(hwnd, IDC_TEST_TEXT)));
    EXPECT_EQ(nullptr, fw::CDialog::FromHandle(::GetDesktopWindow()));
}

TEST(DialogLookupTest, ADialogOfAnotherProcedureIsNeverTakenForAnObject)
{
    // Its own procedure keeps a pointer where the class keeps its object:
    // only the class's mark lets FromHandle read that slot.
    static int foreignState = 0;
    const DLGPROC foreignProc = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG)
            ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(&foreignState));
        return message == WM_INITDIALOG;
    };
    const HWND foreign = ::CreateDialogParamW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TEST_DIALOG), nullptr, foreignProc, 0);
    ASSERT_NE(nullptr, foreign);
    ASSERT_EQ(reinterpret_cast<LONG_PTR>(&foreignState), ::GetWindowLongPtrW(foreign, DWLP_USER));
    EXPECT_EQ(nullptr, fw::CDialog::FromHandle(foreign));
    ::DestroyWindow(foreign);
}

TEST_F(ModelessDialog, PassesCtlColorAndNotifyToTheHandlersWithTheirResults)
{
    const HDC dc = ::CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    const HWND text = ::GetDlgItem(hwnd, IDC_TEST_TEXT);
    EXPECT_EQ(reinterpret_cast<LRESULT>(host.dialog.brush),
              ::SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(text)));
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_STATIC), host.dialog.lastCtlColorType.load());
    EXPECT_EQ(RGB(1, 2, 3), ::GetTextColor(dc));
    EXPECT_EQ(reinterpret_cast<LRESULT>(host.dialog.brush),
              ::SendMessageW(hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(hwnd)));
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_DLG), host.dialog.lastCtlColorType.load());
    ::DeleteDC(dc);

    NMHDR handled = {text, IDC_TEST_TEXT, fwtest::kHandledNotify};
    EXPECT_EQ(77,
              ::SendMessageW(hwnd, WM_NOTIFY, IDC_TEST_TEXT, reinterpret_cast<LPARAM>(&handled)));
    NMHDR other = {text, IDC_TEST_TEXT, fwtest::kHandledNotify + 1};
    EXPECT_EQ(0, ::SendMessageW(hwnd, WM_NOTIFY, IDC_TEST_TEXT, reinterpret_cast<LPARAM>(&other)));
}

TEST_F(ModelessDialog, AnExceptionInAHandlerStaysInsideTheDialogProcedure)
{
    EXPECT_EQ(0, ::SendMessageW(hwnd, WM_COMMAND, fwtest::kThrowingCommand, 0));
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(host.IsRunning());
    EXPECT_EQ(&host.dialog, fw::CDialog::FromHandle(hwnd));
}

TEST_F(ModelessDialog, EscapeThroughTheMessageLoopCancelsAndTheObjectIsDetached)
{
    // The key goes through the thread's loop, which hands it to the dialog
    // manager; the default Cancel of a modeless dialog destroys it. The quit
    // posted after it is handled after it.
    ASSERT_TRUE(::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0));
    ASSERT_TRUE(host.PostQuit());
    ASSERT_EQ(WAIT_OBJECT_0, host.WaitForEnd(INFINITE));
    EXPECT_FALSE(host.windowAliveAtExit);
    EXPECT_EQ(1, host.dialog.attachedAtDestroy.load());
    EXPECT_EQ(nullptr, host.dialog.GetHwnd());
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(DialogTemplate, MissingTemplateFailsBothWays)
{
    fwtest::CTestDialog dialog(IDD_MISSING);
    EXPECT_FALSE(dialog.Create(nullptr));
    EXPECT_EQ(nullptr, dialog.GetHwnd());
}

}  // namespace
