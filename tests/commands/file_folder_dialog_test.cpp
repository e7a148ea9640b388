// The file-or-folder dialog, the real common Open dialog driven through the
// UI seam the way a user would: show a folder, select in its list, press OK.
#include "commands/file_folder_dialog.h"

#include "framework/ui_seam.h"
#include "tests/commands/file_dialog_driver.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "win32/path.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>
#include <string>

namespace {

using plugintest::DialogDriver;
using testsupport::ScratchFolder;

constexpr wchar_t kAdvancedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(ARRAYSIZE(folder), folder);
    return folder;
}

std::wstring DocumentsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

// Every case starts in a folder of its own with a file with an extension, one
// without and a sub-folder, while the list hides known extensions. The
// process's current folder and the user's Explorer setting are put back.
class FileFolderDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = CurrentFolder();
        m_hideFileExt = testsupport::GetRaw(HKEY_CURRENT_USER, kAdvancedKey, L"HideFileExt");
        testsupport::PutDword(HKEY_CURRENT_USER, kAdvancedKey, L"HideFileExt", 1);
        ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"report.txt", "text"));
        ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"README", "text"));
        ASSERT_TRUE(::CreateDirectoryW((m_scratch / L"sub").c_str(), nullptr));
        ASSERT_TRUE(testsupport::WriteFileBytes(m_scratch / L"sub\\inner.txt", "text"));
    }

    void TearDown() override
    {
        ::SetCurrentDirectoryW(m_folder.c_str());
        if (m_hideFileExt.exists)
            testsupport::PutRaw(HKEY_CURRENT_USER, kAdvancedKey, L"HideFileExt", m_hideFileExt.type,
                                m_hideFileExt.bytes.data(),
                                static_cast<DWORD>(m_hideFileExt.bytes.size()));
        else
            ::SHDeleteValueW(HKEY_CURRENT_USER, kAdvancedKey, L"HideFileExt");
    }

    // Runs the dialog with `script` driving it; its DoModal result.
    INT_PTR Run(CFileFolderDialog& dialog, DialogDriver& driver, DialogDriver::Script script)
    {
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
            return driver.Start(request.window, script);
        });
        const INT_PTR result = dialog.DoModal();
        driver.Join();
        return result;
    }

    ScratchFolder m_scratch;
    std::wstring m_folder;
    testsupport::RawValue m_hideFileExt;
};

struct Choice {
    const char* name;
    const wchar_t* open;    // a sub-folder opened first, or null
    const wchar_t* select;  // the item selected (its file name), or null
    const wchar_t* chosen;  // the result below the scratch folder ("" the folder itself)
};

void PrintTo(const Choice& choice, std::ostream* out)
{
    *out << choice.name;
}

class FileFolderDialogChoice : public FileFolderDialogTest,
                               public ::testing::WithParamInterface<Choice> {};

TEST_P(FileFolderDialogChoice, OkReturnsWhatTheListSelects)
{
    const Choice& choice = GetParam();
    const std::wstring expected = *choice.chosen ? m_scratch / choice.chosen : m_scratch.Path();
    CFileFolderDialog dialog(true, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, nullptr);
    DialogDriver driver;
    std::wstring shown;
    const INT_PTR result = Run(dialog, driver, [&](DialogDriver& d) {
        EXPECT_FALSE(d.IsEnabled(CFileFolderDialog::kFileNameEditId) ||
                     d.IsEnabled(CFileFolderDialog::kFileNameComboId))
            << "file-name box";
        EXPECT_FALSE(d.IsEnabled(CFileFolderDialog::kFileTypeId)) << "file-type box";
        if (!d.Navigate(m_scratch.Path()))
            return false;
        // The current folder is the whole process's: the dialog's own is what
        // it shows.
        d.OnDialog([] {
            wchar_t windows[MAX_PATH] = {};
            ::GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
            ::SetCurrentDirectoryW(windows);
        });
        if (choice.open) {
            if (!d.Open(choice.open) ||
                !d.WaitFor([&] { return d.FolderShown() == m_scratch / choice.open; }))
                return false;
        }
        if (choice.select) {
            for (const std::wstring& item : d.Items())
                if (plugintest::ShowsAs(item, choice.select))
                    shown = item;
            if (!d.Select(shown))
                return false;
        }
        // The list's notifications have chosen before OK is pressed.
        if (choice.open || choice.select) {
            EXPECT_TRUE(d.WaitFor([&] { return dialog.GetPath() == expected; }))
                << "before OK: " << testing::PrintToString(dialog.GetPath());
        }
        return d.Press(IDOK);
    });

    EXPECT_TRUE(driver.Succeeded());
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(expected, dialog.GetPath());
    EXPECT_TRUE(win32::EqualNoCase(DocumentsFolder(), CurrentFolder()));
    if (choice.select && std::wstring(choice.select) == L"report.txt") {
        EXPECT_EQ(L"report", shown) << "the list hides the extension";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, FileFolderDialogChoice,
    ::testing::Values(Choice{"FileWithExtension", nullptr, L"report.txt", L"report.txt"},
                      Choice{"FileWithoutExtension", nullptr, L"README", L"README"},
                      Choice{"SubFolder", nullptr, L"sub", L"sub"},
                      Choice{"NothingSelected", nullptr, nullptr, L""},
                      Choice{"NothingSelectedInAnOpenedFolder", L"sub", nullptr, L"sub"},
                      Choice{"FileInAnOpenedFolder", L"sub", L"inner.txt", L"sub\\inner.txt"}),
    [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

// The computer names nothing to shred: OK leaves the dialog open with no
// path (the last real folder is not returned), and Cancel ends it.
TEST_F(FileFolderDialogTest, OnAVirtualFolderOkDoesNotEndTheDialog)
{
    CFileFolderDialog dialog(true, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, nullptr);
    DialogDriver driver;
    bool openAfterOk = false;
    const INT_PTR result = Run(dialog, driver, [&](DialogDriver& d) {
        if (!d.Navigate(m_scratch.Path()) || !d.NavigateToComputer())
            return false;
        // Wine names it "::{GUID}", Windows not at all: no folder either way.
        d.OnDialog([&] { EXPECT_EQ(L"", dialog.GetFolderPath()); });
        if (!d.Press(IDOK))
            return false;
        // A dialog that ended would run no more actions.
        openAfterOk = d.OnDialog([&] {}) && ::IsWindowVisible(d.Dialog());
        EXPECT_EQ(L"", dialog.GetPath());
        return d.Press(IDCANCEL);
    });
    EXPECT_TRUE(driver.Succeeded());
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(L"", dialog.GetPath());
}

// A test build never waits for a person: with nobody to answer, the dialog
// is not shown and counts as cancelled.
TEST_F(FileFolderDialogTest, UnansweredInATestBuildItEndsAsCancelled)
{
    ASSERT_TRUE(fw::IsUnattendedUi());
    CFileFolderDialog dialog(true, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, nullptr);
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(L"", dialog.GetPath());
}

}  // namespace
