// The drop target of the desktop icon: one dropped file or folder is handed
// to Graventa for shredding. Two or more, or a path that is not fully
// qualified or does not fit 260 characters, are refused while dragging and
// ignored when dropped.
#pragma once

#include "desktop/fennick_guids.h"
#include "framework/com/com_object.h"

#include <windows.h>
#include <oleidl.h>

#include <string>

// The drop target's own interface: nothing beyond IUnknown.
struct IOVHWDropTargetImpl : IUnknown {};

class COVHWDropTargetImpl final
    : public fw::CComObject<fw::ComInterface<IOVHWDropTargetImpl, IID_IOVHWDropTargetImpl>,
                            fw::ComInterface<IDropTarget, IID_IDropTarget>> {
public:
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
    ~COVHWDropTargetImpl() override = default;

    // Set by a refused DragEnter until the drag leaves or drops, so that
    // DragOver keeps showing the no-drop cursor.
    bool m_refused = false;
};

HRESULT CreateDropTarget(REFIID riid, void** ppv);
