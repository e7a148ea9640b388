// The desktop folder "Scoravel": a name-space folder without items whose
// context menu forwards each command to Graventa's window or starts the
// host's console, and which hands out the drop target. It keeps nothing
// between calls.
#pragma once

#include "desktop/fennick_guids.h"
#include "framework/com/com_object.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

// The folder's own interface: nothing beyond IUnknown.
struct IOVHWDesktopFolderImpl : IUnknown {};

// The commands of the menu, by offset from the first id the shell gives.
enum FolderCommand : UINT {
    kCommandDefault = 0,
    kCommandOpenFramework = 1,
    kCommandShredAll = 2,
    kCommandShredFileOrFolder = 3,
    kCommandBleachNow = 4,
    kCommandConfigure = 5,
    kCommandRemoveIcon = 6,
    kCommandCount = 7,
};

class COVHWDesktopFolderImpl final
    : public fw::CComObject<fw::ComInterface<IOVHWDesktopFolderImpl, IID_IOVHWDesktopFolderImpl>,
                            fw::ComInterface<IShellFolder, IID_IShellFolder>,
                            fw::ComInterface<IPersistFolder, IID_IPersistFolder>,
                            fw::ComInterface<IShellExtInit, IID_IShellExtInit>,
                            fw::ComInterface<IContextMenu, IID_IContextMenu>> {
public:
    // IShellFolder: only attributes and the drop target; the rest E_NOTIMPL.
    STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                  ULONG*) override;
    STDMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList**) override;
    STDMETHODIMP BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override;
    STDMETHODIMP BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override;
    STDMETHODIMP CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override;
    STDMETHODIMP CreateViewObject(HWND owner, REFIID riid, void** ppv) override;
    STDMETHODIMP GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF* rgfInOut) override;
    STDMETHODIMP GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void**) override;
    STDMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override;
    STDMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override;

    // IPersistFolder
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) override { return S_OK; }

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    // A text longer than the caller's buffer is cut and terminated, and the
    // result is STRSAFE_E_INSUFFICIENT_BUFFER.
    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer,
                                  UINT cchBuffer) override;

private:
    ~COVHWDesktopFolderImpl() override = default;
};

// The creator of the module's object map.
HRESULT CreateDesktopFolder(REFIID riid, void** ppv);

// The offset of a verb's name in any letter case; false for an unknown one.
bool FindVerb(const wchar_t* verb, UINT& offset);
