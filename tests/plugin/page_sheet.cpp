#include "tests/plugin/page_sheet.h"

#include "framework/build_seams.h"
#include "framework/module.h"
#include "ipc/bleach_protocol.h"
#include "tests/plugin/host_test_support.h"
#include "win32/registry.h"

#include <commctrl.h>
#include <oleauto.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>

namespace hosttest {

namespace {

// The host stand-in's sheet has no Apply button; the PSM_CHANGED cases need
// one to see the sheet's answer.
HWND CreateSheetWithApply(std::vector<HPROPSHEETPAGE> pages)
{
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS;
    header.pszCaption = L"Console";
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    return reinterpret_cast<HWND>(::PropertySheetW(&header));
}

}  // namespace

PageSheet::PageSheet(std::vector<size_t> pages, std::vector<DisplayAnswer> answers, bool withApply)
{
    if (!fw::EnsureCommonControls())
        return;
    win32::ComPtr<IFWTWPages> plugin;
    if (FAILED(InProcessCreator(IID_IFWTWPages, IID_IFWTWPages, plugin.put_void())))
        return;
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    for (const DisplayAnswer& answer : answers) {
        VARIANT value;
        ::VariantInit(&value);
        if (answer.text) {
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = ::SysAllocString(answer.text);
        } else {
            V_VT(&value) = VT_I4;
            V_I4(&value) = answer.number;
        }
        site->SetProperty(answer.index, value);
        ::VariantClear(&value);
    }
    if (!pages.empty())
        for (size_t offer = kLandingPage; offer <= kSettingsPage; ++offer)
            if (std::find(pages.begin(), pages.end(), offer) == pages.end())
                site->RefuseOffer(offer);
    if (plugin->CreatePages(site.get()) != S_OK)
        return;
    std::vector<HPROPSHEETPAGE> accepted = site->TakeAcceptedPages();
    m_sheet = withApply ? CreateSheetWithApply(std::move(accepted))
                        : fwhost::CreatePropertySheet(accepted, nullptr, L"Console");
}

PageSheet::~PageSheet()
{
    Destroy();
}

HWND PageSheet::Select(int tab)
{
    if (!m_sheet)
        return nullptr;
    PropSheet_SetCurSel(m_sheet, nullptr, tab);
    return CurrentPage();
}

HWND PageSheet::CurrentPage() const
{
    return m_sheet ? PropSheet_GetCurrentPageHwnd(m_sheet) : nullptr;
}

void PageSheet::Destroy()
{
    if (m_sheet)
        ::DestroyWindow(m_sheet);
    m_sheet = nullptr;
}

namespace {

bool ProgIdExists()
{
    win32::UniqueKey key;
    return win32::OpenKey(HKEY_CLASSES_ROOT, kDesktopIconProgId, KEY_QUERY_VALUE, key) ==
           ERROR_SUCCESS;
}

}  // namespace

void PageTest::SetUp()
{
    testsupport::ProductRegistryTest::SetUp();
    static std::atomic<int> serial{0};
    const std::wstring suffix =
        L"_pages_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
    controlPipe = kBleachControlPipe + suffix;
    ASSERT_TRUE(::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, suffix.c_str()));
    ASSERT_TRUE(::SetEnvironmentVariableW(fw::kDesktopIconPauseVariable, L"0"));
    m_progIdBefore = ProgIdExists();
}

void PageTest::TearDown()
{
    if (m_progIdCreated) {
        EXPECT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CLASSES_ROOT, kDesktopIconProgId));
    }
    ::SetEnvironmentVariableW(fw::kBleachPipeSuffixVariable, nullptr);
    ::SetEnvironmentVariableW(fw::kDesktopIconPauseVariable, nullptr);
    testsupport::ProductRegistryTest::TearDown();
}

void PageTest::SetDesktopIconRegistered(bool registered)
{
    if (m_progIdBefore) {
        if (!registered) {
            GTEST_SKIP() << "the desktop icon is registered in this prefix";
        }
        return;
    }
    if (registered && !m_progIdCreated) {
        win32::UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  win32::CreateKey(HKEY_CLASSES_ROOT, kDesktopIconProgId, KEY_WRITE, key));
        m_progIdCreated = true;
    } else if (!registered && m_progIdCreated) {
        ASSERT_EQ(ERROR_SUCCESS, win32::DeleteTree(HKEY_CLASSES_ROOT, kDesktopIconProgId));
        m_progIdCreated = false;
    }
    ASSERT_EQ(registered, ProgIdExists());
}

}  // namespace hosttest
