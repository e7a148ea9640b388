#include "desktop/drop_target.h"

#include "commands/command_sender.h"
#include "win32/path.h"

#include <shellapi.h>

namespace {

// The dropped files, as the shell hands them over.
class DroppedFiles {
public:
    explicit DroppedFiles(IDataObject* data)
    {
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        m_got = data && SUCCEEDED(data->GetData(&format, &m_medium));
        // Another kind of medium than asked for is no file list, but it is
        // ours to release all the same.
        m_held = m_got && m_medium.tymed == TYMED_HGLOBAL;
    }
    ~DroppedFiles()
    {
        // Through the medium's release object when it has one.
        if (m_got)
            ::ReleaseStgMedium(&m_medium);
    }
    DroppedFiles(const DroppedFiles&) = delete;
    DroppedFiles& operator=(const DroppedFiles&) = delete;

    // False when the data gives no file list.
    bool Held() const { return m_held; }
    UINT Count() const { return m_held ? ::DragQueryFileW(Drop(), 0xFFFFFFFF, nullptr, 0) : 0; }
    // The first file's path, whole; empty when there is none.
    std::wstring First() const
    {
        if (!m_held)
            return {};
        const UINT cch = ::DragQueryFileW(Drop(), 0, nullptr, 0);
        if (cch == 0)
            return {};
        std::wstring path(cch + 1, L'\0');
        const UINT copied = ::DragQueryFileW(Drop(), 0, path.data(), cch + 1);
        path.resize(copied == cch ? copied : 0);
        return path;
    }

private:
    HDROP Drop() const { return static_cast<HDROP>(m_medium.hGlobal); }

    STGMEDIUM m_medium = {};
    bool m_got = false;
    bool m_held = false;
};

// One full path that Graventa can take whole; anything else is refused (a
// bare name would be looked up in Graventa's current folder).
bool Refused(const DroppedFiles& files)
{
    if (!files.Held())
        return false;
    if (files.Count() != 1)
        return true;
    const std::wstring path = files.First();
    return !win32::IsFullyQualified(path) || !win32::FitsMaxPath(path);
}

}  // namespace

HRESULT CreateDropTarget(REFIID riid, void** ppv)
{
    return fw::CreateComObject<COVHWDropTargetImpl>(riid, ppv);
}

STDMETHODIMP COVHWDropTargetImpl::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    return fw::ComBoundary([&]() -> HRESULT {
        if (!effect)
            return E_INVALIDARG;
        const DroppedFiles files(data);
        m_refused = Refused(files);
        *effect = m_refused ? DROPEFFECT_NONE : DROPEFFECT_MOVE;
        return m_refused ? E_INVALIDARG : S_OK;
    });
}

STDMETHODIMP COVHWDropTargetImpl::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    *effect = m_refused ? DROPEFFECT_NONE : DROPEFFECT_MOVE;
    return S_OK;
}

STDMETHODIMP COVHWDropTargetImpl::DragLeave()
{
    m_refused = false;
    return S_OK;
}

STDMETHODIMP COVHWDropTargetImpl::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    // The shell must not move the source: Graventa shreds it.
    if (effect)
        *effect = DROPEFFECT_NONE;
    m_refused = false;
    return fw::ComBoundary([data]() -> HRESULT {
        const DroppedFiles files(data);
        if (files.Count() != 1)
            return S_OK;
        // RequestShredOne refuses what is missing or too long; an empty path
        // would open the dialog instead.
        const std::wstring path = files.First();
        if (!path.empty())
            RequestShredOne(path);
        return S_OK;
    });
}
