#include "framework/ui_seam.h"

#include "tests/framework/test_dialog.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using fw::ScopedUiResponder;
using fw::UiRequest;

TEST(UiSeam, MessageBoxIsAnsweredByTheInnermostResponder)
{
    std::vector<UiRequest> seen;
    ScopedUiResponder outer([&seen](const UiRequest& request) -> INT_PTR {
        seen.push_back(request);
        return IDNO;
    });
    EXPECT_EQ(IDNO, fw::ShowMessageBox(nullptr, L"Shred it?", L"Scoravel", MB_YESNO));
    {
        ScopedUiResponder inner([](const UiRequest&) -> INT_PTR { return IDYES; });
        EXPECT_EQ(IDYES, fw::ShowMessageBox(nullptr, L"again", L"Scoravel", MB_YESNO));
    }
    EXPECT_EQ(IDNO, fw::ShowMessageBox(nullptr, L"third", nullptr, MB_OK | MB_ICONWARNING));

    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(UiRequest::Kind::MessageBox, seen[0].kind);
    EXPECT_EQ(L"Shred it?", seen[0].text);
    EXPECT_EQ(L"Scoravel", seen[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), seen[0].type);
    EXPECT_EQ(L"third", seen[1].text);
    EXPECT_EQ(L"", seen[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), seen[1].type);
}

// The test rig marks every test program unattended: UI nobody answers fails
// at once instead of waiting for a click.
TEST(UiSeam, UnansweredUiFailsAtOnceInATestProgram)
{
    ASSERT_TRUE(fw::IsUnattendedUi());
    EXPECT_EQ(0, fw::ShowMessageBox(nullptr, L"nobody answers", L"Scoravel", MB_YESNO));

    fwtest::CTestDialog dialog;
    EXPECT_EQ(-1, dialog.DoModal(nullptr));
    EXPECT_EQ(-1, dialog.attachedAtDestroy.load());  // never created

    bool shown = false;
    UiRequest request;
    request.caption = L"Browse";
    EXPECT_EQ(-1, fw::RunModalCall(request, [&shown]() -> INT_PTR {
        shown = true;
        return IDOK;
    }));
    EXPECT_FALSE(shown);
}

TEST(UiSeam, ModalDialogIsInitialisedBeforeTheResponderAnswers)
{
    fwtest::CTestDialog dialog;
    std::wstring textSeen;
    UINT templateSeen = 0;
    bool modalSeen = false;
    ScopedUiResponder responder([&](const UiRequest& request) -> INT_PTR {
        EXPECT_EQ(UiRequest::Kind::ModalDialog, request.kind);
        templateSeen = request.templateId;
        textSeen = fwtest::TextOf(::GetDlgItem(request.window, IDC_TEST_TEXT));
        modalSeen = fw::CDialog::FromHandle(request.window) == &dialog && dialog.IsModal();
        return 1234;
    });
    EXPECT_EQ(1234, dialog.DoModal(nullptr));
    EXPECT_EQ(static_cast<UINT>(IDD_TEST_DIALOG), templateSeen);
    EXPECT_EQ(L"set by OnInitDialog", textSeen);
    EXPECT_TRUE(modalSeen);
    EXPECT_EQ(nullptr, dialog.GetHwnd());
    EXPECT_EQ(1, dialog.attachedAtDestroy.load());
}

TEST(UiSeam, ResponderCanDriveTheDialogThroughItsOwnModalLoop)
{
    struct Case {
        WPARAM key;
        INT_PTR expected;
    };
    for (const Case& c : {Case{VK_ESCAPE, IDCANCEL}, Case{VK_RETURN, IDOK}}) {
        fwtest::CTestDialog dialog;
        ScopedUiResponder responder([&c](const UiRequest& request) -> INT_PTR {
            ::PostMessageW(request.window, WM_KEYDOWN, c.key, 0);
            return fw::kUiLetRun;
        });
        EXPECT_EQ(c.expected, dialog.DoModal(nullptr)) << "key " << c.key;
    }

    fwtest::CTestDialog clicked;
    ScopedUiResponder responder([](const UiRequest& request) -> INT_PTR {
        ::SendMessageW(::GetDlgItem(request.window, IDCANCEL), BM_CLICK, 0, 0);
        return fw::kUiLetRun;
    });
    EXPECT_EQ(IDCANCEL, clicked.DoModal(nullptr));
}

TEST(UiSeam, ThrowingResponderStillEndsTheDialog)
{
    fwtest::CTestDialog dialog;
    ScopedUiResponder responder(
        [](const UiRequest&) -> INT_PTR { throw std::runtime_error("responder failed"); });
    EXPECT_EQ(-1, dialog.DoModal(nullptr));
    EXPECT_EQ(nullptr, dialog.GetHwnd());
}

TEST(UiSeam, MissingTemplateNeverReachesTheResponder)
{
    bool asked = false;
    ScopedUiResponder responder([&asked](const UiRequest&) -> INT_PTR {
        asked = true;
        return IDOK;
    });
    fwtest::CTestDialog dialog(IDD_MISSING);
    EXPECT_EQ(-1, dialog.DoModal(nullptr));
    EXPECT_FALSE(asked);
}

TEST(UiSeam, OtherModalCallsAreReplacedByTheAnswer)
{
    UiRequest seen;
    ScopedUiResponder responder([&seen](const UiRequest& request) -> INT_PTR {
        seen = request;
        return IDCANCEL;
    });
    UiRequest request;
    request.kind = UiRequest::Kind::Other;
    request.caption = L"Select file or folder";
    bool shown = false;
    EXPECT_EQ(IDCANCEL, fw::RunModalCall(request, [&shown]() -> INT_PTR {
                  shown = true;
                  return IDOK;
              }));
    EXPECT_FALSE(shown);
    EXPECT_EQ(L"Select file or folder", seen.caption);
}

}  // namespace
