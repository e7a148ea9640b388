#include "tests/plugin/page_sheet.h"

#include "framework/module.h"
#include "host/host.h"
#include "plugin/page_instances.h"
#include "tests/common/wait.h"
#include "tests/plugin/host_test_support.h"

#include <commctrl.h>
#include <oleauto.h>
#include <prsht.h>

namespace plugintest {

namespace {

constexpr int kLandingTab = 0;
constexpr int kShredTab = 1;
constexpr int kBleachTab = 2;
constexpr int kSettingsTab = 3;

template <typename Page>
Page* Attach(HWND window, CEditingPage*& slot, std::unique_ptr<Page>& owned)
{
    if (!window)
        return nullptr;
    if (slot && slot->GetHwnd() == window)
        return static_cast<Page*>(slot);  // the page procedure made it
    auto page = std::make_unique<Page>();
    slot = page.get();
    if (!page->SubclassWindow(window)) {
        slot = nullptr;
        return nullptr;
    }
    page->OnInitDialog();
    owned = std::move(page);
    return owned.get();
}

template <typename Page>
void Release(CEditingPage*& slot, std::unique_ptr<Page>& owned)
{
    if (owned && slot == owned.get())
        slot = nullptr;
    owned.reset();
}

}  // namespace

PageSheet::~PageSheet()
{
    Close();
}

bool PageSheet::Open(int fontSize)
{
    if (!fw::EnsureCommonControls() ||
        FAILED(hosttest::InProcessCreator(IID_IFWTWPages, IID_IFWTWPages, m_plugin.put_void())))
        return false;
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    if (fontSize > 0) {
        VARIANT size;
        ::VariantInit(&size);
        V_VT(&size) = VT_I4;
        V_I4(&size) = fontSize;
        site->SetProperty(kFwtwFontSize, size);
    }
    if (m_plugin->CreatePages(site.get()) != S_OK)
        return false;
    m_sheet = fwhost::CreatePropertySheet(site->TakeAcceptedPages(), nullptr, L"Console");
    return m_sheet != nullptr;
}

HWND PageSheet::PageWindow(int index) const
{
    if (!m_sheet || !PropSheet_SetCurSel(m_sheet, nullptr, index))
        return nullptr;
    // The sheet may make the page's window after the selection returns.
    HWND page = nullptr;
    testsupport::WaitUntil(
        [&] { return (page = PropSheet_IndexToHwnd(m_sheet, index)) != nullptr; });
    return page;
}

HWND PageSheet::ShowLanding()
{
    return PageWindow(kLandingTab);
}

CShredDlg* PageSheet::ShowShred()
{
    return Attach(PageWindow(kShredTab), OpenPages().shred, m_shred);
}

CBleachDlg* PageSheet::ShowBleach()
{
    return Attach(PageWindow(kBleachTab), OpenPages().bleach, m_bleach);
}

CSettingsDlg* PageSheet::ShowSettings()
{
    return Attach(PageWindow(kSettingsTab), OpenPages().settings, m_settings);
}

void PageSheet::Close()
{
    if (m_sheet)
        ::DestroyWindow(m_sheet);
    m_sheet = nullptr;
    // The windows are gone and the objects detached from them.
    Release(OpenPages().shred, m_shred);
    Release(OpenPages().bleach, m_bleach);
    Release(OpenPages().settings, m_settings);
    m_plugin.reset();
}

}  // namespace plugintest
