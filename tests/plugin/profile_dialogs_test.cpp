// The profile dialogs run modally and driven through the UI seam as a user
// would drive them (select, click, tick a box); their profile bodies in the
// product key; message boxes answered and recorded.
#include "plugin/profile_dialogs.h"

#include "framework/ui_seam.h"
#include "host/host.h"
#include "plugin/add_custom_dialog.h"
#include "plugin/plugin_objects.h"
#include "resources/halvorin/resource.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/plugin/layout_check.h"

#include <prsht.h>

#include <cstring>
#include <deque>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

const std::wstring kProfileKeys[] = {L"\\High", L"\\Medium", L"\\Low", L"\\Advanced", L"\\Simple"};
const std::vector<std::wstring> kAllOptions = {L"Browser URL History",
                                               L"Cookies",
                                               L"URL Drop-down List",
                                               L"Auto-complete History",
                                               L"Temporary Internet Files",
                                               L"Recycle Bin",
                                               L"Temporary System Files",
                                               L"Recent Real Player Documents",
                                               L"Recent Microsoft Office Documents",
                                               L"Recent Windows Media Player Documents",
                                               L"Recent Start Menu Documents"};
constexpr wchar_t kLimit[] =
    L"You have reached your limit of adding additional File/Folder(s). You can't add more. ";
constexpr wchar_t kInvalid[] =
    L"The file name or path you have selected is invalid. Please enter a valid one. ";

std::vector<std::wstring> Items(HWND dialog, int id)
{
    const HWND list = ::GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    for (int i = 0, n = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t text[MAX_PATH + 1] = {};
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int IndexOf(HWND dialog, int id, const std::wstring& text)
{
    return static_cast<int>(::SendDlgItemMessageW(dialog, id, LB_FINDSTRINGEXACT, -1,
                                                  reinterpret_cast<LPARAM>(text.c_str())));
}

void Select(HWND dialog, int id, const std::wstring& text)
{
    ::SendDlgItemMessageW(dialog, id, LB_SETCURSEL, IndexOf(dialog, id, text), 0);
}

void Click(HWND dialog, int id)
{
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// The entry's check state, which the list keeps in the item's data.
bool Ticked(HWND dialog, const std::wstring& text)
{
    return ::SendDlgItemMessageW(dialog, IDC_SHRED_LIST, LB_GETITEMDATA,
                                 IndexOf(dialog, IDC_SHRED_LIST, text), 0) == 1;
}

// A click on the entry's box.
void Tick(HWND dialog, const std::wstring& text)
{
    const HWND list = ::GetDlgItem(dialog, IDC_SHRED_LIST);
    RECT item = {};
    ::SendMessageW(list, LB_GETITEMRECT, IndexOf(dialog, IDC_SHRED_LIST, text),
                   reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
}

bool Enabled(HWND dialog, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

class DialogTest : public testsupport::ProductRegistryTest {
protected:
    struct Message {
        std::wstring text;
        HWND owner;
    };
    // Drives the dialog from its initialisation; returns the answer that
    // ends it, or fw::kUiLetRun when it clicked the dialog to its end.
    using Script = std::function<INT_PTR(HWND)>;

    INT_PTR Run(fw::CDialog& dialog, const Script& script)
    {
        fw::ScopedUiResponder responder([&](const fw::UiRequest& request) -> INT_PTR {
            if (request.kind == fw::UiRequest::Kind::MessageBox) {
                EXPECT_EQ(L"Add File Error", request.caption);
                m_messages.push_back({request.text, request.owner});
                return IDOK;
            }
            if (request.templateId == dialog.TemplateId()) {
                m_window = request.window;
                return script(request.window);
            }
            if (request.templateId == IDD_ADD_CUSTOM && !m_entries.empty()) {
                ::SetDlgItemTextW(request.window, IDC_CUSTOM_PATH, m_entries.front().c_str());
                m_entries.pop_front();
                Click(request.window, IDOK);
                return fw::kUiLetRun;
            }
            EXPECT_EQ(L"Open", request.caption);
            ++m_browses;  // the file dialog, cancelled
            return IDCANCEL;
        });
        return dialog.DoModal(nullptr);
    }

    // Adds each text through "Add Custom Option" and moves it to the list.
    void AddUserEntries(HWND dialog, const std::vector<std::wstring>& texts)
    {
        for (const auto& text : texts) {
            m_entries.push_back(text);
            Click(dialog, IDC_ADD_CUSTOM);
            Select(dialog, IDC_AVAILABLE_LIST, text);
            Click(dialog, IDC_MOVE_TO_SHRED);
        }
    }

    std::wstring File(const wchar_t* name)
    {
        const std::wstring path = m_scratch / name;
        EXPECT_TRUE(testsupport::WriteFileBytes(path, "x"));
        return path;
    }

    testsupport::ScratchFolder m_scratch;
    std::vector<Message> m_messages;
    std::deque<std::wstring> m_entries;
    int m_browses = 0;
    HWND m_window = nullptr;
};

class DetailsDialog : public DialogTest, public ::testing::WithParamInterface<int32_t> {};

// What the profile shows without a subkey, and Apply waiting for a change.
TEST_P(DetailsDialog, ShowsTheProfileDefaultsUntilAChange)
{
    const int32_t profile = GetParam();
    const size_t counts[] = {11, 7, 5, 0, 0};
    const int cycles[] = {IDC_CYCLE_SEVEN, IDC_CYCLE_THREE, IDC_CYCLE_ONE, IDC_CYCLE_ONE, 0};
    auto dialog = MakeProfileDialog(profile);
    Run(*dialog, [&](HWND window) -> INT_PTR {
        const auto shown = Items(window, IDC_SHRED_LIST);
        EXPECT_EQ(counts[profile], shown.size());
        for (const auto& text : shown)
            EXPECT_TRUE(Ticked(window, text)) << "unconfirmed " << text.c_str();
        if (profile <= kProfileLow) {
            EXPECT_THAT(shown, UnorderedElementsAreArray(kAllOptions.data(), counts[profile]));
        } else {
            EXPECT_THAT(Items(window, IDC_AVAILABLE_LIST), UnorderedElementsAreArray(kAllOptions));
            EXPECT_THAT(Items(window, IDC_EXCLUDE_LIST), IsEmpty());
        }
        for (int id : {IDC_CYCLE_SEVEN, IDC_CYCLE_THREE, IDC_CYCLE_ONE})
            EXPECT_EQ(id == cycles[profile], ::IsDlgButtonChecked(window, id) == BST_CHECKED);
        EXPECT_FALSE(Enabled(window, IDC_DETAILS_APPLY));
        if (profile <= kProfileLow) {
            Tick(window, L"Cookies");
        } else {
            Select(window, IDC_AVAILABLE_LIST, L"Cookies");
            Click(window, IDC_MOVE_TO_SHRED);
        }
        EXPECT_TRUE(Enabled(window, IDC_DETAILS_APPLY));
        return IDCANCEL;
    });
    EXPECT_THAT(m_messages, IsEmpty());
    EXPECT_EQ(L"", testsupport::DumpKey(HKEY_CURRENT_USER, testsupport::kSettingsKey));
}

// A confirmation set in the dialog is stored in the profile's subkey alone
// and shown again; which profile is current stays as it was.
TEST_P(DetailsDialog, ConfirmationSurvivesApplyAndReload)
{
    const int32_t profile = GetParam();
    const std::wstring subkey = kProfileKeys[profile];
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"Revision", 2);
    testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"SecurityProfile", 7);
    // Built-in profiles confirm everything: the change is taking one back.
    const bool builtIn = profile <= kProfileLow;
    if (!builtIn)
        testsupport::PutDword(HKEY_CURRENT_USER, testsupport::kSettingsKey + subkey, L"EraseMethod",
                              3);
    const std::wstring entry = builtIn ? L"Cookies" : File(L"own file.txt");
    auto dialog = MakeProfileDialog(profile);
    Run(*dialog, [&](HWND window) -> INT_PTR {
        if (!builtIn)
            AddUserEntries(window, {entry});
        Tick(window, entry);
        EXPECT_NE(builtIn, Ticked(window, entry));
        Click(window, IDC_DETAILS_APPLY);
        return fw::kUiLetRun;
    });
    EXPECT_EQ(7u, testsupport::SettingsDword(L"", L"SecurityProfile"));
    const DWORD methods[] = {4, 3, 2, 3, 1};
    EXPECT_EQ(methods[profile], testsupport::SettingsDword(subkey, L"EraseMethod"));
    if (builtIn) {
        EXPECT_EQ(0u, testsupport::SettingsDword(subkey, L"ConfirmShredCookies"));
    } else {
        EXPECT_EQ(1u, testsupport::SettingsDword(subkey, L"ConfirmShredAddFile0"));
    }
    for (const auto& other : kProfileKeys) {
        if (other != subkey) {
            EXPECT_EQ(L"",
                      testsupport::DumpKey(HKEY_CURRENT_USER, testsupport::kSettingsKey + other));
        }
    }

    auto again = MakeProfileDialog(profile);
    Run(*again, [&](HWND window) -> INT_PTR {
        EXPECT_EQ(!builtIn, Ticked(window, entry));
        return IDCANCEL;
    });
}

INSTANTIATE_TEST_SUITE_P(Profiles, DetailsDialog, ::testing::Values(0, 1, 2, 3, 4),
                         [](const auto& info) { return std::to_string(info.param); });

class EditableDialog : public DialogTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(EditableDialog, FourthOwnEntryWaitsUntilOneMovesBack)
{
    const std::wstring files[] = {File(L"a.txt"), File(L"b.txt"), File(L"c.txt"), File(L"d.txt")};
    auto dialog = MakeProfileDialog(GetParam());
    Run(*dialog, [&](HWND window) -> INT_PTR {
        AddUserEntries(window, {files[0], files[1], files[2], files[3]});
        EXPECT_GE(IndexOf(window, IDC_AVAILABLE_LIST, files[3]), 0);
        EXPECT_EQ(3u, Items(window, IDC_SHRED_LIST).size());
        EXPECT_EQ(1u, m_messages.size());
        Select(window, IDC_SHRED_LIST, files[1]);
        Click(window, IDC_MOVE_BACK);
        Select(window, IDC_AVAILABLE_LIST, files[3]);
        Click(window, IDC_MOVE_TO_SHRED);
        EXPECT_GE(IndexOf(window, IDC_SHRED_LIST, files[3]), 0);
        return IDCANCEL;
    });
    ASSERT_EQ(1u, m_messages.size());
    EXPECT_EQ(kLimit, m_messages[0].text);
    EXPECT_EQ(m_window, m_messages[0].owner);
}

TEST_P(EditableDialog, ProtectedPathsAreRefusedButMayBeExcluded)
{
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, ARRAYSIZE(windows));
    const std::vector<std::wstring> protectedPaths = {L"*.dll", windows};
    auto dialog = MakeProfileDialog(GetParam());
    Run(*dialog, [&](HWND window) -> INT_PTR {
        AddUserEntries(window, protectedPaths);
        EXPECT_THAT(Items(window, IDC_SHRED_LIST), IsEmpty());
        for (const auto& path : protectedPaths) {
            m_entries.push_back(path);
            Click(window, IDC_EXCLUDE_ADD);
        }
        Click(window, IDC_DETAILS_APPLY);
        return fw::kUiLetRun;
    });
    ASSERT_EQ(2u, m_messages.size());
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(L"\"" + protectedPaths[i] + L"\" is a system file/folder. It cannot be added.",
                  m_messages[i].text);
    const auto stored = testsupport::GetRaw(
        HKEY_CURRENT_USER, testsupport::kSettingsKey + kProfileKeys[GetParam()], L"ExcludeList");
    const std::wstring list(reinterpret_cast<const wchar_t*>(stored.bytes.data()),
                            stored.bytes.size() / sizeof(wchar_t));
    EXPECT_NE(std::wstring::npos, list.find(L"*.dll|"));
    EXPECT_NE(std::wstring::npos, list.find(std::wstring(windows) + L"|"));
}

INSTANTIATE_TEST_SUITE_P(Profiles, EditableDialog, ::testing::Values(3, 4),
                         [](const auto& info) { return std::to_string(info.param); });

// The custom option: what is typed is accepted as it is, made full, or
// refused with the dialog left open and the field as typed.
struct EntryCase {
    const char* name;
    const wchar_t* typed;
    const wchar_t* stored;  // null: refused; empty: the scratch file's full path
};
// A stored entry and its terminator fit a path buffer.
const std::wstring kLongestPattern = L"*." + std::wstring(MAX_PATH - 3, L'p');
const std::wstring kLongPattern = kLongestPattern + L"p";
const EntryCase kEntryCases[] = {
    {"Pattern", L"*.tmp", L"*.tmp"},
    {"NamePattern", L"report.*", L"report.*"},
    {"StarAlone", L"*", nullptr},
    {"ExtensionAlone", L".tmp", nullptr},
    {"Bar", L"*.t|mp", nullptr},
    {"RelativeFile", L"relative.txt", L""},
    {"LongestPattern", kLongestPattern.c_str(), kLongestPattern.c_str()},
    {"PatternTooLong", kLongPattern.c_str(), nullptr},
};

void PrintTo(const EntryCase& entry, std::ostream* out)
{
    *out << entry.name;
}

class CustomEntry : public DialogTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(CustomEntry, IsAcceptedOrRefused)
{
    const EntryCase& entry = GetParam();
    const std::wstring file = File(L"relative.txt");
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(ARRAYSIZE(previous), previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(m_scratch.Path().c_str()));
    CAddCustomDlg dialog;
    const INT_PTR result = Run(dialog, [&](HWND window) -> INT_PTR {
        ::SetDlgItemTextW(window, IDC_CUSTOM_PATH, entry.typed);
        Click(window, IDOK);
        if (!entry.stored) {
            wchar_t shown[2 * MAX_PATH] = {};
            ::GetDlgItemTextW(window, IDC_CUSTOM_PATH, shown, ARRAYSIZE(shown));
            EXPECT_STREQ(entry.typed, shown);
            Click(window, IDCANCEL);
        }
        return fw::kUiLetRun;
    });
    ::SetCurrentDirectoryW(previous);
    if (entry.stored) {
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(*entry.stored ? entry.stored : file, dialog.GetValue());
        EXPECT_THAT(m_messages, IsEmpty());
    } else {
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(L"", dialog.GetValue());
        ASSERT_EQ(1u, m_messages.size());
        EXPECT_EQ(kInvalid, m_messages[0].text);
    }
}

INSTANTIATE_TEST_SUITE_P(Typed, CustomEntry, ::testing::ValuesIn(kEntryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, CancelledBrowseKeepsTheField)
{
    CAddCustomDlg dialog;
    const INT_PTR result = Run(dialog, [&](HWND window) -> INT_PTR {
        ::SetDlgItemTextW(window, IDC_CUSTOM_PATH, L"kept.*");
        Click(window, IDC_CUSTOM_BROWSE);
        Click(window, IDOK);
        return fw::kUiLetRun;
    });
    EXPECT_EQ(1, m_browses);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(L"kept.*", dialog.GetValue());
}

// Every control inside its dialog, clear of the others, its text whole: at
// the host's default font size, at the size 120 DPI makes of it, and at 12
// points, which the host offers too.
class DialogLayout : public DialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(DialogLayout, NothingIsCutOffOrOverlaps)
{
    win32::ComPtr<IFWTWPages> plugin;
    ASSERT_EQ(S_OK, CreatePluginPages(IID_IFWTWPages, plugin.put_void()));
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    VARIANT size;
    ::VariantInit(&size);
    V_VT(&size) = VT_I4;
    V_I4(&size) = GetParam();
    site->SetProperty(kFwtwFontSize, size);
    ASSERT_EQ(S_OK, plugin->CreatePages(site.get()));
    for (HPROPSHEETPAGE page : site->TakeAcceptedPages())
        ::DestroyPropertySheetPage(page);

    CAddCustomDlg custom;
    std::vector<fw::CDialog*> dialogs = {&custom};
    std::vector<std::unique_ptr<CProfileDialog>> details;
    for (int32_t profile : {kProfileHigh, kProfileAdvanced, kProfileSimple})
        dialogs.push_back(details.emplace_back(MakeProfileDialog(profile)).get());
    for (fw::CDialog* dialog : dialogs) {
        SCOPED_TRACE(dialog->TemplateId());
        // The editable details dialogs are laid out for their lists: no
        // empty corner. (A built-in profile hides its exclude list.)
        const bool lists = dialog->TemplateId() == IDD_ADVANCED_DETAILS ||
                           dialog->TemplateId() == IDD_SIMPLE_DETAILS;
        Run(*dialog, [lists](HWND window) -> INT_PTR {
            EXPECT_GE(plugintest::ExpectNothingCutOffOrOverlaps(window), 5u);
            if (lists)
                plugintest::ExpectNoEmptyRegion(window);
            return IDCANCEL;
        });
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, DialogLayout, ::testing::Values(8, 10, 12),
                         [](const auto& info) { return std::to_string(info.param) + "pt"; });

}  // namespace
