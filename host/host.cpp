#include "host/host.h"

#include "win32/last_error.h"
#include "win32/registry.h"

#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <thread>

namespace fwhost {

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

std::wstring Expanded(const std::wstring& text)
{
    const DWORD cch = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (cch == 0)
        return text;
    std::wstring out(cch, L'\0');
    if (::ExpandEnvironmentStringsW(text.c_str(), out.data(), cch) != cch)
        return text;
    out.resize(cch - 1);
    return out;
}

void ReadCategory(HKEY plugins, const wchar_t* category, std::vector<PluginEntry>& entries)
{
    win32::UniqueKey key;
    if (win32::OpenKey(plugins, category, KEY_READ, key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[64] = {};
        DWORD cchName = ARRAYSIZE(name);
        const LSTATUS status =
            ::RegEnumKeyExW(key.get(), index, name, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;  // not a class identifier
        if (status != ERROR_SUCCESS)
            break;
        PluginEntry entry;
        entry.category = category;
        win32::UniqueKey classKey;
        std::wstring library;
        if (FAILED(::CLSIDFromString(name, &entry.clsid)) ||
            win32::OpenKey(key.get(), name, KEY_QUERY_VALUE, classKey) != ERROR_SUCCESS ||
            win32::ReadString(classKey.get(), nullptr, library) != ERROR_SUCCESS)
            continue;
        entry.library = Expanded(library);
        entries.push_back(std::move(entry));
    }
}

template <typename Interface>
void Collect(IUnknown* object, REFIID iid, std::vector<win32::ComPtr<Interface>>& into)
{
    win32::ComPtr<Interface> found;
    if (SUCCEEDED(object->QueryInterface(iid, found.put_void())))
        into.push_back(std::move(found));
}

}  // namespace

std::vector<PluginEntry> ReadPluginKey(HKEY root, const wchar_t* path)
{
    std::vector<PluginEntry> entries;
    win32::UniqueKey plugins;
    // The host is a 32-bit program: it reads the 32-bit view, where a 64-bit
    // test build of the plug-in registers too.
    if (win32::OpenKey(root, path, KEY_READ | KEY_WOW64_32KEY, plugins) != ERROR_SUCCESS)
        return entries;
    for (const wchar_t* category :
         {kTrayIconCategory, kUserConsoleCategory, kBackupRestoreCategory})
        ReadCategory(plugins.get(), category, entries);
    return entries;
}

HRESULT LibraryCreator(const std::wstring& library, ObjectCreator& creator)
{
    // Never freed: the host keeps its plug-ins loaded while it runs, and a
    // plug-in's threads may still be on their way out.
    const HMODULE module = ::LoadLibraryW(library.c_str());
    if (!module)
        return win32::LastErrorHResult();
    // Through a plain function pointer: FARPROC's own type says nothing.
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    creator = [getClassObject](REFCLSID clsid, REFIID riid, void** ppv) {
        *ppv = nullptr;
        win32::ComPtr<IClassFactory> factory;
        const HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.put_void());
        if (FAILED(hr))
            return hr;
        return factory->CreateInstance(nullptr, riid, ppv);
    };
    return S_OK;
}

PluginObjects CreatePluginObjects(const std::vector<PluginEntry>& entries,
                                  const ObjectCreator& creator)
{
    PluginObjects objects;
    for (const PluginEntry& entry : entries) {
        ObjectCreator create = creator;
        HRESULT hr = create ? S_OK : LibraryCreator(entry.library, create);
        win32::ComPtr<IUnknown> object;
        if (SUCCEEDED(hr))
            hr = create(entry.clsid, IID_IUnknown, object.put_void());
        if (FAILED(hr) || !object) {
            objects.failures.emplace_back(entry, FAILED(hr) ? hr : E_POINTER);
            continue;
        }
        if (entry.category == kUserConsoleCategory) {
            Collect(object.get(), IID_IFWTWPages, objects.pages);
        } else if (entry.category == kTrayIconCategory) {
            Collect(object.get(), IID_IFWTWTrayMenuItems, objects.menus);
            Collect(object.get(), IID_IFWTWTraySubscribe, objects.subscribers);
            Collect(object.get(), IID_IFWTWTrayNotifyCallback, objects.callbacks);
        } else {
            Collect(object.get(), IID_IFWTWElementUI, objects.elements);
        }
    }
    return objects;
}

void CHostPageSite::SetProperty(UINT index, const VARIANT& value)
{
    VARIANT& slot = m_properties[index];
    ::VariantClear(&slot);
    ::VariantCopy(&slot, const_cast<VARIANT*>(&value));  // copies, never changes it
}

std::vector<HPROPSHEETPAGE> CHostPageSite::TakeAcceptedPages()
{
    return std::exchange(m_accepted, {});
}

STDMETHODIMP CHostPageSite::AddPage(UINT kind, BSTR category, UINT position, UINT flags,
                                    FWTW_PAGEINFO* page)
{
    if (!page)
        return E_POINTER;
    Offer offer;
    offer.kind = kind;
    offer.category = category ? category : L"";
    offer.position = position;
    offer.flags = flags;
    offer.info = *page;
    offer.title = page->title ? page->title : L"";
    offer.accepted =
        std::find(m_refused.begin(), m_refused.end(), m_offers.size()) == m_refused.end();
    if (offer.accepted)
        m_accepted.push_back(page->page);
    m_offers.push_back(std::move(offer));
    return m_offers.back().accepted ? S_OK : E_FAIL;
}

STDMETHODIMP CHostPageSite::GetProperty(UINT index, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    const auto found = m_properties.find(index);
    if (found == m_properties.end())
        return E_NOTIMPL;
    return ::VariantCopy(value, &found->second);
}

CHostPageSite::~CHostPageSite()
{
    for (const HPROPSHEETPAGE page : m_accepted)
        ::DestroyPropertySheetPage(page);
    for (auto& [index, value] : m_properties)
        ::VariantClear(&value);
}

HWND CreatePropertySheet(const std::vector<HPROPSHEETPAGE>& pages, HWND owner,
                         const wchar_t* caption)
{
    std::vector<HPROPSHEETPAGE> handles = pages;
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    return reinterpret_cast<HWND>(::PropertySheetW(&header));
}

std::vector<std::wstring> SheetTabTitles(HWND sheet)
{
    std::vector<std::wstring> titles;
    const HWND tabs = PropSheet_GetTabControl(sheet);
    const int count = TabCtrl_GetItemCount(tabs);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        TabCtrl_GetItem(tabs, i, &item);
        titles.emplace_back(text);
    }
    return titles;
}

std::vector<CHostTray::Balloon> CHostTray::Balloons() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_balloons;
}

bool CHostTray::WaitForBalloons(size_t count, DWORD milliseconds) const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [&] { return m_balloons.size() >= count; });
}

HRESULT CHostTray::Click(size_t index)
{
    IFWTWTrayNotifyCallback* callback = nullptr;
    UINT id = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (index >= m_balloons.size() || !m_pointers[index])
            return E_INVALIDARG;
        callback = m_pointers[index];
        callback->AddRef();
        id = m_balloons[index].id;
    }
    HRESULT hr = E_UNEXPECTED;
    std::thread([&] { hr = callback->OnNotify(kFwtwBalloonUserClick, id); }).join();
    callback->Release();
    return hr;
}

STDMETHODIMP CHostTray::ShowBalloon(const wchar_t* title, const wchar_t* text, UINT kind,
                                    UINT balloonId, IFWTWTrayNotifyCallback* callback)
{
    if (callback && m_holdsCallbacks)
        callback->AddRef();  // kept for a later click
    std::lock_guard<std::mutex> lock(m_lock);
    m_balloons.push_back({title ? title : L"", text ? text : L"", kind, balloonId, !!callback});
    m_callbacks.emplace_back(m_holdsCallbacks ? callback : nullptr);
    m_pointers.push_back(callback);
    m_changed.notify_all();
    return S_OK;
}

HostTrayMenu::~HostTrayMenu()
{
    if (m_menu)
        ::DestroyMenu(m_menu);
}

HRESULT HostTrayMenu::Build(const std::vector<win32::ComPtr<IFWTWTrayMenuItems>>& menus,
                            UINT firstId)
{
    if (m_menu)
        ::DestroyMenu(m_menu);
    m_ranges.clear();
    m_menu = ::CreatePopupMenu();
    if (!m_menu)
        return win32::LastErrorHResult();
    ::AppendMenuW(m_menu, MF_STRING, kOpenConsoleId, L"Open console");
    ::AppendMenuW(m_menu, MF_STRING, kExitId, L"Exit");
    HRESULT result = S_OK;
    UINT next = firstId;
    for (const auto& items : menus) {
        UINT count = 0;
        const HRESULT hr = items->AddMenuItems(m_menu, next, &count);
        if (FAILED(hr)) {
            result = SUCCEEDED(result) ? hr : result;
            continue;
        }
        m_ranges.push_back({items.get(), next, count});
        next += count;
    }
    return result;
}

bool HostTrayMenu::Invoke(UINT id) const
{
    for (const Range& range : m_ranges) {
        if (id >= range.first && id - range.first < range.count) {
            range.items->InvokeMenuItem(id);
            return true;
        }
    }
    return false;
}

}  // namespace fwhost
