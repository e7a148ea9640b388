// A stand-in for the security-manager host, for tests and for a person who
// wants to see the plug-in's pages and menu: it finds plug-ins the way the
// host does, creates their objects and plays the host's side of every call.
// It is test rig, not product: nothing of the product links it.
#pragma once

#include "framework/com/com_object.h"
#include "plugin/host_sdk/fwtw_sdk.h"
#include "win32/com_ptr.h"

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fwhost {

inline constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Ferrowind\\FWTW\\Plugins";
inline constexpr wchar_t kTrayIconCategory[] = L"TrayIcon";
inline constexpr wchar_t kUserConsoleCategory[] = L"UserConsole";
inline constexpr wchar_t kBackupRestoreCategory[] = L"UIElements\\BackupRestore";

// Creates an object of a class: a library's DllGetClassObject followed by
// IClassFactory::CreateInstance, or a test's own table of creators.
using ObjectCreator = std::function<HRESULT(REFCLSID clsid, REFIID riid, void** ppv)>;

struct PluginEntry {
    std::wstring category;
    CLSID clsid = {};
    std::wstring library;  // environment strings expanded
};

// Every entry of the three categories below root\path.
std::vector<PluginEntry> ReadPluginKey(HKEY root = HKEY_LOCAL_MACHINE,
                                       const wchar_t* path = kPluginsKey);

// Loads `library` for the rest of the process's life, as the host keeps its
// plug-ins, and gives a creator through its DllGetClassObject.
HRESULT LibraryCreator(const std::wstring& library, ObjectCreator& creator);

// The objects of all entries, by the interface their category implies.
struct PluginObjects {
    std::vector<win32::ComPtr<IFWTWPages>> pages;
    std::vector<win32::ComPtr<IFWTWTrayMenuItems>> menus;
    std::vector<win32::ComPtr<IFWTWTraySubscribe>> subscribers;
    std::vector<win32::ComPtr<IFWTWTrayNotifyCallback>> callbacks;
    std::vector<win32::ComPtr<IFWTWElementUI>> elements;
    // Entries whose object could not be made, with the reason.
    std::vector<std::pair<PluginEntry, HRESULT>> failures;
};

// `creator` for every entry when given, else each entry's own library.
PluginObjects CreatePluginObjects(const std::vector<PluginEntry>& entries,
                                  const ObjectCreator& creator = {});

// The console's page site: answers the display properties it was given
// (any index not given fails), refuses the pages it was told to, and keeps
// the accepted ones until they are handed to a sheet.
class CHostPageSite final : public fw::CComObjectBase<IFWTWPageSite, IID_IFWTWPageSite> {
public:
    struct Offer {
        UINT kind = 0;
        std::wstring category;
        UINT position = 0;
        UINT flags = 0;
        FWTW_PAGEINFO info = {};
        std::wstring title;  // copied from the info during the call
        bool accepted = false;
    };

    CHostPageSite() = default;
    void SetProperty(UINT index, const VARIANT& value);
    // `offer`: 0 for the first page offered to this site, and so on.
    void RefuseOffer(size_t offer) { m_refused.push_back(offer); }
    std::vector<Offer> Offers() const { return m_offers; }
    // The accepted pages, now the caller's (a property sheet destroys them).
    std::vector<HPROPSHEETPAGE> TakeAcceptedPages();

    STDMETHODIMP AddPage(UINT kind, BSTR category, UINT position, UINT flags,
                         FWTW_PAGEINFO* page) override;
    STDMETHODIMP GetProperty(UINT index, VARIANT* value) override;

private:
    ~CHostPageSite() override;

    std::map<UINT, VARIANT> m_properties;
    std::vector<size_t> m_refused;
    std::vector<Offer> m_offers;
    std::vector<HPROPSHEETPAGE> m_accepted;
};

// A modeless sheet of `pages`, which it owns from now on (also on failure).
HWND CreatePropertySheet(const std::vector<HPROPSHEETPAGE>& pages, HWND owner,
                         const wchar_t* caption);
// The tab titles of a sheet, in order.
std::vector<std::wstring> SheetTabTitles(HWND sheet);

// The tray: records every balloon, from any thread, and clicks one on a
// thread of its own as the shell's notification would arrive. A tray that
// holds no callbacks keeps only the pointers it was given, as a host may
// that counts on the plug-in to keep a clickable balloon's callback alive.
class CHostTray final : public fw::CComObjectBase<IFWTWTraySink, IID_IFWTWTraySink> {
public:
    struct Balloon {
        std::wstring title;
        std::wstring text;
        UINT kind = 0;
        UINT id = 0;
        bool hasCallback = false;
    };

    explicit CHostTray(bool holdsCallbacks = true) : m_holdsCallbacks(holdsCallbacks) {}
    std::vector<Balloon> Balloons() const;
    bool WaitForBalloons(size_t count, DWORD milliseconds) const;
    // OnNotify(0x405, id) on the callback of balloon `index`; its result.
    HRESULT Click(size_t index);

    STDMETHODIMP ShowBalloon(const wchar_t* title, const wchar_t* text, UINT kind, UINT balloonId,
                             IFWTWTrayNotifyCallback* callback) override;

private:
    ~CHostTray() override = default;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<Balloon> m_balloons;
    const bool m_holdsCallbacks;
    std::vector<win32::ComPtr<IFWTWTrayNotifyCallback>> m_callbacks;
    std::vector<IFWTWTrayNotifyCallback*> m_pointers;  // not held
};

// The tray icon's menu: the host's own two items, then each plug-in's items
// from `firstId` on, one id range per plug-in. The plug-ins' menu objects
// must outlive the menu.
class HostTrayMenu {
public:
    static constexpr UINT kOpenConsoleId = 1;
    static constexpr UINT kExitId = 2;

    HostTrayMenu() = default;
    ~HostTrayMenu();
    HostTrayMenu(const HostTrayMenu&) = delete;
    HostTrayMenu& operator=(const HostTrayMenu&) = delete;

    // The first failure of a plug-in's AddMenuItems (the others still add).
    HRESULT Build(const std::vector<win32::ComPtr<IFWTWTrayMenuItems>>& menus, UINT firstId);
    HMENU Menu() const { return m_menu; }
    // Hands `id` to the plug-in whose range holds it; false when none does.
    bool Invoke(UINT id) const;

private:
    struct Range {
        IFWTWTrayMenuItems* items;
        UINT first;
        UINT count;
    };
    HMENU m_menu = nullptr;
    std::vector<Range> m_ranges;
};

}  // namespace fwhost
