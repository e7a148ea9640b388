#include "desktop/desktop_folder.h"

#include "commands/command_sender.h"
#include "desktop/drop_target.h"
#include "desktop/fennick_guids.h"
#include "desktop/fennick_module.h"
#include "resources/fennick/resource.h"
#include "win32/last_error.h"
#include "win32/string_table.h"

#include <shellapi.h>
#include <strsafe.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct VerbEntry {
    const wchar_t* verb;
    const wchar_t* help;
};

// By offset.
constexpr VerbEntry kVerbs[kCommandCount] = {
    {L"OVHW_Default", L"do default action"},
    {L"OVHW_OpenFramework", L"Opens the TW Framework"},
    {L"OVHW_ShredAll", L"activates automatic shredding"},
    {L"OVHW_ShredFileOrFolder", L"activates manual shredding"},
    {L"OVHW_BleachNow", L"bleach now"},
    {L"OVHW_Configure", L"opens the TW framework, with Keldrun"},
    {L"OVHW_RemoveIcon", L"Removes Icon"},
};

// The host framework is 32-bit and keeps its folder in the 32-bit registry
// view; a 32-bit build of this library is in that view already.
#ifdef _WIN64
constexpr wchar_t kHostKey[] = L"Software\\Wow6432Node\\Ferrowind";
#else
constexpr const wchar_t* kHostKey = kHostKeyPath;
#endif

constexpr int kLandingPage = 0;
constexpr int kSettingsPage = 3;

struct MenuEntry {
    UINT textId;  // 0: a separator
    UINT offset;
};

constexpr UINT kHighestMenuId = 0xFFFF;

constexpr MenuEntry kMenu[] = {
    {IDS_FENNICK_OPEN, kCommandOpenFramework},
    {IDS_FENNICK_SHRED_ONE, kCommandShredFileOrFolder},
    {IDS_FENNICK_SHRED_ALL, kCommandShredAll},
    {IDS_FENNICK_REMOVE_ICON, kCommandRemoveIcon},
    {0, 0},
    {IDS_FENNICK_SETTINGS, kCommandConfigure},
};

// The offset an invocation names, or false. A Unicode record with no wide
// verb falls back to its ANSI one.
bool ChosenOffset(const CMINVOKECOMMANDINFO& info, UINT& offset)
{
    const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
    if (info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info.fMask & CMIC_MASK_UNICODE) &&
        extended.lpVerbW) {
        if (IS_INTRESOURCE(extended.lpVerbW)) {
            offset = LOWORD(reinterpret_cast<ULONG_PTR>(extended.lpVerbW));
            return offset < kCommandCount;
        }
        return FindVerb(extended.lpVerbW, offset);
    }
    if (IS_INTRESOURCE(info.lpVerb)) {
        offset = LOWORD(reinterpret_cast<ULONG_PTR>(info.lpVerb));
        return offset < kCommandCount;
    }
    wchar_t verb[64] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, info.lpVerb, -1, verb, ARRAYSIZE(verb)) == 0)
        return false;  // longer than any of ours, or not text
    return FindVerb(verb, offset);
}

// `window` is the one the user chose the command in (the shell's), or null.
void Carry(UINT offset, HWND window)
{
    switch (offset) {
    case kCommandDefault:
    case kCommandOpenFramework:
        OpenHostConsole(kLandingPage, kHostKey);
        break;
    case kCommandShredAll:
        RequestShredAll(0);
        break;
    case kCommandShredFileOrFolder:
        RequestShredOne(L"", window);
        break;
    case kCommandBleachNow:
        RequestDiskBleach(0);
        break;
    case kCommandConfigure:
        OpenHostConsole(kSettingsPage, kHostKey);
        break;
    case kCommandRemoveIcon:
        RequestRemoveIcon();
        break;
    default:
        break;
    }
}

}  // namespace

bool FindVerb(const wchar_t* verb, UINT& offset)
{
    for (UINT i = 0; i < kCommandCount; ++i) {
        if (::CompareStringOrdinal(verb, -1, kVerbs[i].verb, -1, TRUE) == CSTR_EQUAL) {
            offset = i;
            return true;
        }
    }
    return false;
}

HRESULT CreateDesktopFolder(REFIID riid, void** ppv)
{
    return fw::CreateComObject<COVHWDesktopFolderImpl>(riid, ppv);
}

STDMETHODIMP COVHWDesktopFolderImpl::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*,
                                                      PIDLIST_RELATIVE*, ULONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::EnumObjects(HWND, SHCONTF, IEnumIDList**)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::CreateViewObject(HWND, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IDropTarget))
        return E_NOTIMPL;
    return CreateDropTarget(riid, ppv);
}

STDMETHODIMP COVHWDesktopFolderImpl::GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF* rgfInOut)
{
    if (!rgfInOut)
        return E_POINTER;
    *rgfInOut = 0;
    return S_OK;
}

STDMETHODIMP COVHWDesktopFolderImpl::GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                                   void**)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                               PITEMID_CHILD*)
{
    return E_NOTIMPL;
}

STDMETHODIMP COVHWDesktopFolderImpl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_OVHWDesktopFolderImpl;
    return S_OK;
}

STDMETHODIMP COVHWDesktopFolderImpl::QueryContextMenu(HMENU menu, UINT index, UINT firstId,
                                                      UINT lastId, UINT flags)
{
    return fw::ComBoundary([&]() -> HRESULT {
        if (!menu)
            return E_INVALIDARG;
        // The shell hands out [firstId, lastId]; an id beyond it belongs to
        // another handler, and WM_COMMAND carries only 16 bits of an id.
        const UINT highestId = (std::min)(lastId, kHighestMenuId);
        const auto fits = [&](UINT offset) {
            return firstId <= highestId && offset <= highestId - firstId;
        };
        if (flags & CMF_DEFAULTONLY) {
            if (!fits(kCommandDefault))
                return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
            if (!::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, firstId, L"Default action"))
                return win32::LastErrorHResult();
            return MAKE_HRESULT(SEVERITY_SUCCESS, 0, kCommandDefault + 1);
        }
        // The menu is ours alone: whatever the shell put in goes.
        while (::GetMenuItemCount(menu) > 0)
            if (!::DeleteMenu(menu, 0, MF_BYPOSITION))
                return win32::LastErrorHResult();
        // A separator only between two entries that fit.
        std::vector<const MenuEntry*> entries;
        for (const MenuEntry& entry : kMenu) {
            if (entry.textId == 0) {
                if (!entries.empty() && entries.back()->textId != 0)
                    entries.push_back(&entry);
            } else if (fits(entry.offset)) {
                entries.push_back(&entry);
            }
        }
        if (!entries.empty() && entries.back()->textId == 0)
            entries.pop_back();
        UINT position = index;
        UINT used = 0;  // the highest offset in the menu, plus one
        for (const MenuEntry* entry : entries) {
            BOOL inserted = FALSE;
            if (entry->textId) {
                const std::wstring text =
                    win32::LoadTableString(FennickModule().Instance(), entry->textId);
                inserted = ::InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING,
                                         firstId + entry->offset, text.c_str());
                used = (std::max)(used, entry->offset + 1);
            } else {
                inserted = ::InsertMenuW(menu, position, MF_BYPOSITION | MF_SEPARATOR, 0, L"-");
            }
            if (!inserted)
                return win32::LastErrorHResult();
            ++position;
        }
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, used);
    });
}

STDMETHODIMP COVHWDesktopFolderImpl::InvokeCommand(CMINVOKECOMMANDINFO* info)
{
    return fw::ComBoundary([info]() -> HRESULT {
        if (!info || info->cbSize < sizeof(CMINVOKECOMMANDINFO))
            return E_INVALIDARG;
        UINT offset = 0;
        if (!ChosenOffset(*info, offset))
            return E_INVALIDARG;  // another handler's verb: the shell asks the next one
        Carry(offset, info->hwnd);
        return S_OK;
    });
}

STDMETHODIMP COVHWDesktopFolderImpl::GetCommandString(UINT_PTR offset, UINT type, UINT*,
                                                      CHAR* buffer, UINT cchBuffer)
{
    if (offset >= kCommandCount || !buffer || cchBuffer == 0)
        return E_INVALIDARG;
    const VerbEntry& entry = kVerbs[offset];
    switch (type) {
    case GCS_VERBW:
        return ::StringCchCopyW(reinterpret_cast<wchar_t*>(buffer), cchBuffer, entry.verb);
    case GCS_HELPTEXTW:
        return ::StringCchCopyW(reinterpret_cast<wchar_t*>(buffer), cchBuffer, entry.help);
    case GCS_HELPTEXTA: {
        // The texts are plain ASCII: one byte per character.
        char help[64] = {};
        if (::WideCharToMultiByte(CP_ACP, 0, entry.help, -1, help, sizeof(help), nullptr,
                                  nullptr) == 0)
            return win32::LastErrorHResult();
        return ::StringCchCopyA(buffer, cchBuffer, help);
    }
    default:
        return E_INVALIDARG;
    }
}
