// CPlugin: hands the four property pages to the host's console and records
// the host's display properties for the pages and for Graventa's windows.
// The pages' dialog procedures make each page's object when the host creates
// its window and delete it with the window.
#include "framework/com/com_object.h"
#include "plugin/bleach_page.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/landing_page.h"
#include "plugin/page_instances.h"
#include "plugin/pages.h"
#include "plugin/plugin_objects.h"
#include "plugin/settings_page.h"
#include "plugin/shred_page.h"
#include "resources/halvorin/resource.h"
#include "win32/string_table.h"

#include <commctrl.h>
#include <oleauto.h>
#include <prsht.h>

#include <cwchar>
#include <memory>
#include <new>

namespace {

DisplaySettings g_display;

// The category the host files the pages under.
constexpr wchar_t kPageCategory[] = L"Scoravel";
constexpr UINT kAddPageKind = 3;
constexpr DWORD kPageInfoKind = 5;

struct PageRow {
    UINT templateId;
    UINT titleId;
    DLGPROC proc;
    UINT position;
};

constexpr PageRow kPages[] = {
    {IDD_LANDING_PAGE, IDS_PRODUCT_NAME, LandingPageProc, 1},
    {IDD_SHRED_PAGE, IDS_PAGE_SHRED, ShredPageProc, 2},
    {IDD_BLEACH_PAGE, IDS_PAGE_BLEACHING, BleachPageProc, 2},
    {IDD_SETTINGS_PAGE, IDS_PAGE_SETTINGS, SettingsPageProc, 2},
};

// Asks the site for one property as `type`; a failed call or a value that
// does not convert leaves `value` empty and the caller keeps its default.
bool AskProperty(IFWTWPageSite* site, UINT index, VARTYPE type, VARIANT& value)
{
    ::VariantInit(&value);
    if (FAILED(site->GetProperty(index, &value))) {
        // A failing site may still have written half a variant.
        ::VariantClear(&value);
        return false;
    }
    if (V_VT(&value) != type && FAILED(::VariantChangeType(&value, &value, 0, type))) {
        ::VariantClear(&value);
        return false;
    }
    return V_VT(&value) == type;
}

void AskInteger(IFWTWPageSite* site, UINT index, int& target)
{
    VARIANT value;
    if (AskProperty(site, index, VT_I4, value))
        target = V_I4(&value);
    ::VariantClear(&value);
}

void AskColour(IFWTWPageSite* site, UINT index, COLORREF& target)
{
    int colour = static_cast<int>(target);
    AskInteger(site, index, colour);
    target = static_cast<COLORREF>(colour);
}

DisplaySettings AskDisplayProperties(IFWTWPageSite* site)
{
    DisplaySettings properties;
    AskColour(site, kFwtwBackgroundColour, properties.background);
    AskColour(site, kFwtwTextColour, properties.text);
    VARIANT face;
    if (AskProperty(site, kFwtwFontFaceName, VT_BSTR, face)) {
        const wchar_t* name = V_BSTR(&face) ? V_BSTR(&face) : L"";
        // LOGFONT holds 31 characters and the NUL: a longer name is cut.
        properties.faceName.assign(name, ::wcsnlen(name, LF_FACESIZE - 1));
    }
    ::VariantClear(&face);
    AskInteger(site, kFwtwFontSize, properties.fontSize);
    AskInteger(site, kFwtwDisplayValue, properties.fourth);
    return properties;
}

// The page parameter is the CPlugin that made the page: each page holds a
// reference on it from creation to destruction, so a page that outlives the
// host's own reference never points at a freed object.
UINT CALLBACK PageLifetimeCallback(HWND, UINT message, PROPSHEETPAGEW* page)
{
    auto* owner = reinterpret_cast<IUnknown*>(page->lParam);
    if (message == PSPCB_ADDREF)
        owner->AddRef();
    else if (message == PSPCB_RELEASE)
        owner->Release();
    return 1;
}

class CPlugin final : public fw::CComObjectBase<IFWTWPages, IID_IFWTWPages> {
public:
    STDMETHODIMP CreatePages(IFWTWPageSite* site) override
    {
        if (!site)
            return E_POINTER;
        return fw::ComBoundary([&] { return OfferPages(site); });
    }

private:
    HRESULT OfferPages(IFWTWPageSite* site)
    {
        g_display = AskDisplayProperties(site);
        // When it cannot be stored the pages still show and Graventa keeps
        // its defaults.
        WriteDisplaySettings(g_display);

        BSTR category = ::SysAllocString(kPageCategory);
        if (!category)
            return E_OUTOFMEMORY;
        const HINSTANCE instance = PluginResourceInstance();
        const HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_HALVORIN));
        for (const PageRow& row : kPages) {
            // Loaded per page: the host may keep the pointer for the call only.
            const std::wstring title = win32::LoadTableString(instance, row.titleId);
            PROPSHEETPAGEW page = {};
            page.dwSize = sizeof(page);
            page.dwFlags =
                PSP_USEHICON | PSP_USETITLE | PSP_HASHELP | PSP_PREMATURE | PSP_USECALLBACK;
            page.hInstance = instance;
            page.pszTemplate = MAKEINTRESOURCEW(row.templateId);
            page.hIcon = icon;
            page.pszTitle = title.c_str();
            page.pfnDlgProc = row.proc;
            page.lParam = reinterpret_cast<LPARAM>(static_cast<IFWTWPages*>(this));
            page.pfnCallback = PageLifetimeCallback;
            const HPROPSHEETPAGE handle = ::CreatePropertySheetPageW(&page);
            if (!handle)
                continue;  // the other pages are still offered

            FWTW_PAGEINFO info = {};
            info.cbSize = sizeof(info);
            info.page = handle;
            info.kind = kPageInfoKind;
            info.title = title.c_str();
            info.instance = instance;
            info.iconId = IDI_HALVORIN;
            if (FAILED(site->AddPage(kAddPageKind, category, row.position, 0, &info)))
                ::DestroyPropertySheetPage(handle);
        }
        ::SysFreeString(category);
        return S_OK;
    }
};

// What the page procedures do beyond creating and deleting their object.
enum PageTraits : unsigned {
    // A command the page object left marks the page changed.
    kMarksChanges = 1,
    // Showing or hiding the page asks for the desktop icon.
    kEnsuresDesktopIcon = 2,
};

// The object a page procedure made for its window. A window property, not
// PageInstances: a second window of the same page has an object of its own.
constexpr wchar_t kPageObjectProperty[] = L"Scoravel.Halvorin.PageObject";

fw::CPropertyPage* PageObject(HWND page)
{
    return static_cast<fw::CPropertyPage*>(::GetPropW(page, kPageObjectProperty));
}

template <typename Page, auto Slot>
void CreatePageObject(HWND window)
{
    // A repeated WM_INITDIALOG initialises the object the window has.
    if (fw::CPropertyPage* existing = PageObject(window)) {
        existing->OnInitDialog();
        return;
    }
    std::unique_ptr<Page> page(new (std::nothrow) Page);
    if (!page)
        return;
    if (!::SetPropW(window, kPageObjectProperty, static_cast<fw::CPropertyPage*>(page.get())))
        return;
    if (!page->SubclassWindow(window)) {
        ::RemovePropW(window, kPageObjectProperty);
        return;
    }
    // One object per page in the record: a later window of the same page
    // while the first lives keeps its object to itself.
    auto& recorded = OpenPages().*Slot;
    if (!recorded)
        recorded = page.get();
    page.release()->OnInitDialog();
}

template <typename Page, auto Slot>
void DeletePageObject(HWND window)
{
    fw::CPropertyPage* object = PageObject(window);
    if (!object)
        return;
    ::RemovePropW(window, kPageObjectProperty);
    auto& recorded = OpenPages().*Slot;
    if (recorded == object)
        recorded = nullptr;
    // By now the object has let go of the window (fw::CPropertyPage).
    delete object;
}

// The dialog procedure of one page. Every branch answers FALSE, so that the
// dialog manager does its default processing, except the end of the
// session, which is answered 1 at once whatever the page is doing.
template <typename Page, auto Slot, unsigned Traits>
INT_PTR RunPageProc(HWND page, UINT message) noexcept
{
    try {
        switch (message) {
        case WM_INITDIALOG:
            CreatePageObject<Page, Slot>(page);
            return FALSE;  // no focus set by the dialog manager
        case WM_COMMAND:
            // Only commands the page object did not handle get here.
            if ((Traits & kMarksChanges) != 0)
                ::SendMessageW(::GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
            return FALSE;
        case WM_SHOWWINDOW:
            if ((Traits & kEnsuresDesktopIcon) != 0)
                EnsureDesktopIcon();
            return FALSE;
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            ::SetWindowLongPtrW(page, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_NCDESTROY:
            DeletePageObject<Page, Slot>(page);
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace

const DisplaySettings& CurrentDisplayProperties()
{
    return g_display;
}

HINSTANCE PluginResourceInstance()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(&PluginResourceInstance), &module);
    return module;
}

INT_PTR CALLBACK LandingPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    return RunPageProc<CLandingDlg, &PageInstances::landing, kEnsuresDesktopIcon>(page, message);
}

INT_PTR CALLBACK ShredPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    return RunPageProc<CShredDlg, &PageInstances::shred, kMarksChanges>(page, message);
}

INT_PTR CALLBACK BleachPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    return RunPageProc<CBleachDlg, &PageInstances::bleach, kMarksChanges>(page, message);
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    return RunPageProc<CSettingsDlg, &PageInstances::settings, kMarksChanges | kEnsuresDesktopIcon>(
        page, message);
}

HRESULT CreatePluginPages(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CPlugin>(riid, ppv);
}
