// CPlugin: hands the four property pages to the host's console and records
// the host's display properties for the pages and for Graventa's windows.
#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/pages.h"
#include "plugin/plugin_objects.h"
#include "resources/halvorin/resource.h"
#include "settings/install_location.h"
#include "win32/registry.h"
#include "win32/string_table.h"

#include <commctrl.h>
#include <oleauto.h>

#include <cwchar>
#include <new>

namespace {

DisplayProperties g_display;

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

DisplayProperties AskDisplayProperties(IFWTWPageSite* site)
{
    DisplayProperties properties;
    AskColour(site, kFwtwBackgroundColour, properties.background);
    AskColour(site, kFwtwTextColour, properties.text);
    VARIANT face;
    if (AskProperty(site, kFwtwFontFaceName, VT_BSTR, face)) {
        const wchar_t* name = V_BSTR(&face) ? V_BSTR(&face) : L"";
        // LOGFONT holds 31 characters and the NUL: a longer name is cut.
        const size_t cch = ::wcsnlen(name, LF_FACESIZE - 1);
        std::wmemcpy(properties.faceName, name, cch);
        properties.faceName[cch] = L'\0';
    }
    ::VariantClear(&face);
    AskInteger(site, kFwtwFontSize, properties.fontSize);
    AskInteger(site, kFwtwDisplayValue, properties.hostValue);
    return properties;
}

void WriteDisplayFontSettings(const DisplayProperties& properties)
{
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE, key) != ERROR_SUCCESS &&
        win32::CreateKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key) != ERROR_SUCCESS)
        return;  // the pages still show, Graventa keeps its defaults
    win32::WriteString(key.get(), L"DisplayFontSettings", FormatDisplayFontSettings(properties));
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
        try {
            return OfferPages(site);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    HRESULT OfferPages(IFWTWPageSite* site)
    {
        const DisplayProperties properties = AskDisplayProperties(site);
        g_display = properties;
        WriteDisplayFontSettings(properties);

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

// Every page is blank until its own dialog lands: it accepts the focus
// default and answers the notifications a sheet sends with "nothing to do".
INT_PTR BlankPage(UINT message)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

const DisplayProperties& CurrentDisplayProperties()
{
    return g_display;
}

std::wstring FormatDisplayFontSettings(const DisplayProperties& properties)
{
    // Colours are written as the signed numbers the readers parse.
    return std::to_wstring(static_cast<int>(properties.background)) + L":" +
           std::to_wstring(static_cast<int>(properties.text)) + L":" +
           std::to_wstring(properties.fontSize) + L":" + std::to_wstring(properties.hostValue) +
           L":" + properties.faceName;
}

HFONT CreateDisplayFont()
{
    LOGFONTW font = {};
    std::wmemcpy(font.lfFaceName, g_display.faceName, LF_FACESIZE);
    // Tenths of a point, as the pages have always asked for it.
    const int tenths = g_display.fontSize * 10;
    const HDC screen = ::GetDC(nullptr);
    font.lfHeight = -::MulDiv(tenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, screen);
    font.lfCharSet = DEFAULT_CHARSET;
    return ::CreateFontIndirectW(&font);
}

HINSTANCE PluginResourceInstance()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(&PluginResourceInstance), &module);
    return module;
}

INT_PTR CALLBACK LandingPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return BlankPage(message);
}

INT_PTR CALLBACK ShredPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return BlankPage(message);
}

INT_PTR CALLBACK BleachPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return BlankPage(message);
}

INT_PTR CALLBACK SettingsPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return BlankPage(message);
}

HRESULT CreatePluginPages(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CPlugin>(riid, ppv);
}
