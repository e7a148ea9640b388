// CTWTrayMenu: the product's submenu in the host's tray-icon menu, and what
// its items do.
#include "commands/command_sender.h"
#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "plugin/pages.h"
#include "plugin/plugin_objects.h"
#include "resources/halvorin/resource.h"
#include "win32/last_error.h"
#include "win32/string_table.h"

#include <new>
#include <string>

namespace {

// The host's first id F: the items take F+2 to F+7 and the count reserves 8.
constexpr UINT kOpenOffset = 2;
constexpr UINT kShredOneOffset = 3;
constexpr UINT kShredAllOffset = 4;
constexpr UINT kBleachOffset = 5;
constexpr UINT kSeparatorOffset = 6;
constexpr UINT kSettingsOffset = 7;
constexpr UINT kItemCount = 8;

// The console pages the Open and Settings items start at.
constexpr int kLandingConsolePage = 0;
constexpr int kSettingsConsolePage = 3;

// The ids of the last AddMenuItems, shared by every menu object as the host
// builds one tray menu at a time. None until the first: an id 0..7 of a host
// that never asked for the items must not run a command.
struct MenuIds {
    bool known = false;
    UINT first = 0;
};
MenuIds g_menuIds;

class CTWTrayMenu final : public fw::CComObjectBase<IFWTWTrayMenuItems, IID_IFWTWTrayMenuItems> {
public:
    STDMETHODIMP AddMenuItems(HMENU menu, UINT firstId, UINT* count) override
    {
        return fw::ComBoundary([&] {
            const HRESULT hr = InsertSubmenu(menu, firstId);
            if (FAILED(hr))
                return hr;
            g_menuIds = {true, firstId};
            if (count)
                *count = kItemCount;
            return S_OK;
        });
    }

    STDMETHODIMP InvokeMenuItem(UINT id) override
    {
        return fw::ComBoundary([id] {
            RunItem(id);
            return S_OK;
        });
    }

    STDMETHODIMP Reserved() override { return S_OK; }

private:
    static void RunItem(UINT id)
    {
        if (!g_menuIds.known)
            return;
        // Unsigned: an id below F wraps round to an offset no item has.
        switch (id - g_menuIds.first) {
        case kOpenOffset:
            OpenHostConsole(kLandingConsolePage);
            break;
        case kShredOneOffset:
            RequestShredOne(std::wstring());
            break;
        case kShredAllOffset:
            RequestShredAll(0);
            break;
        case kBleachOffset:
            RequestDiskBleach(0);
            break;
        case kSettingsOffset:
            OpenHostConsole(kSettingsConsolePage);
            break;
        default:
            break;  // the separator and every other id
        }
    }

    static HRESULT InsertSubmenu(HMENU menu, UINT first)
    {
        const HINSTANCE instance = PluginResourceInstance();
        auto text = [instance](UINT id) { return win32::LoadTableString(instance, id); };
        const HMENU popup = ::CreatePopupMenu();
        if (!popup)
            return win32::LastErrorHResult();
        const struct {
            UINT offset;
            UINT textId;
        } items[] = {{kOpenOffset, IDS_MENU_OPEN_PRODUCT},
                     {kShredOneOffset, IDS_MENU_SHRED_ONE},
                     {kShredAllOffset, IDS_MENU_SHRED_ALL},
                     {kBleachOffset, IDS_MENU_BLEACH_NOW},
                     {kSeparatorOffset, 0},
                     {kSettingsOffset, IDS_MENU_SETTINGS}};
        for (const auto& item : items) {
            const std::wstring label = item.textId ? text(item.textId) : L"-";
            const UINT flags = item.textId ? MF_STRING : MF_SEPARATOR;
            if (!::AppendMenuW(popup, flags, first + item.offset, label.c_str())) {
                const HRESULT hr = win32::LastErrorHResult();
                ::DestroyMenu(popup);
                return hr;
            }
        }
        // Once inserted the host's menu owns the submenu and destroys it.
        const std::wstring label = text(IDS_PRODUCT_NAME);
        if (!::InsertMenuW(menu, first + 1, MF_BYPOSITION | MF_POPUP | MF_STRING,
                           reinterpret_cast<UINT_PTR>(popup), label.c_str())) {
            const HRESULT hr = win32::LastErrorHResult();
            ::DestroyMenu(popup);
            return hr;
        }
        return S_OK;
    }
};

}  // namespace

HRESULT CreateTrayMenu(REFIID riid, void** ppv)
{
    return fw::CreateComObject<CTWTrayMenu>(riid, ppv);
}
