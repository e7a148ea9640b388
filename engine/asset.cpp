#include "engine/asset.h"

#include "win32/path.h"
#include "win32/unique_handle.h"

#include <algorithm>

namespace {

bool HasWildcard(const std::wstring& path)
{
    return path.find(L'*') != std::wstring::npos;
}

// The "\\?\" form of `path` for a call that only reads; empty when the path
// cannot be made full (the call then fails like one on a missing item).
std::wstring ReadablePath(const std::wstring& path)
{
    std::wstring full;
    return win32::FullPathOf(path, full) ? win32::ExtendedPath(full) : std::wstring();
}

// A file that is a link is never measured or opened. Its attributes are
// read at the name itself: with a trailing separator they would be read
// through a link instead of at it.
bool IsLinkFile(const std::wstring& path)
{
    return IsLinkAttributes(ItemAttributes(win32::WithoutTrailingSeparators(path)));
}

// A folder is listed only when it is reached as itself: a folder link, or a
// folder behind a link in any component, is not ours to list.
bool IsReachedThroughLink(const std::wstring& folder)
{
    std::wstring full;
    if (!win32::FullPathOf(folder, full))
        return true;
    return IsLinkAttributes(ItemAttributes(full)) || ProbePathReach(full) == PathReach::ThroughLink;
}

// Names that, joined to their folder's path, would name something else: a
// file in another folder, a stream, or whatever a pattern matches.
bool IsUnusableName(const std::wstring& name)
{
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos)
        return true;
    return std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 32; });
}

bool MeasureFile(const std::wstring& path, uint64_t& size)
{
    win32::UniqueFile file(::CreateFileW(ReadablePath(path).c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file.get(), &length))
        return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

// Another program holds the file, or it is read-only: either way it cannot
// be opened for writing now.
bool CanOpenForWriting(const std::wstring& path)
{
    win32::UniqueFile file(::CreateFileW(ReadablePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

}  // namespace

PathReach ProbePathReach(const std::wstring& fullPath)
{
    win32::UniqueFile probe(::CreateFileW(
        win32::ExtendedPath(win32::WithoutTrailingSeparators(fullPath)).c_str(),
        FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe)
        return PathReach::Unopened;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(probe.get(), FileAttributeTagInfo, &tag, sizeof(tag)) ||
        IsLinkAttributes(tag.FileAttributes) || !win32::HandleReachesPath(probe.get(), fullPath))
        return PathReach::ThroughLink;
    return PathReach::Itself;
}

DWORD ItemAttributes(const std::wstring& path)
{
    const std::wstring readable = ReadablePath(path);
    return readable.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(readable.c_str());
}

std::unique_ptr<IDAsset> MakePathAsset(const std::wstring& path)
{
    const DWORD attributes = ItemAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        auto folder = std::make_unique<DocFolder>();
        folder->SetPath(path, false);
        return folder;
    }
    auto file = std::make_unique<DocFile>();
    file->SetPath(path);
    return file;
}

IDAsset::IDAsset() = default;

IDAsset::IDAsset(AssetKind kind) : m_kind(kind) {}

IDAsset::~IDAsset() = default;

DocFile::DocFile() : IDAsset(AssetKind::File) {}

void DocFile::SetPath(const std::wstring& path)
{
    const bool wildcard = HasWildcard(path);
    uint64_t size = 0;
    if (!wildcard && !IsLinkFile(path))
        MeasureFile(path, size);
    m_wildcard = wildcard;
    m_size = size;
    ReplacePath(path);
}

void DocFile::SetListedPath(const std::wstring& path, uint64_t size)
{
    m_wildcard = false;
    m_size = size;
    ReplacePath(path);
}

void DocFile::SetLinkPath(const std::wstring& path)
{
    m_wildcard = false;
    m_size = 0;
    ReplacePath(path);
}

DocFolder::DocFolder() : IDAsset(AssetKind::Folder)
{
    SetRemoveSelf(true);
}

void DocFolder::SetPath(const std::wstring& path, bool checkInUse)
{
    m_wildcard = HasWildcard(path);
    ReplacePath(path);
    if (m_wildcard) {
        SetRemoveSelf(false);
        CollectMatches();
    } else if (IsReachedThroughLink(path)) {
        // A folder that is a link is removed as a link; what it points at is
        // not ours to list.
        m_children.clear();
    } else if (checkInUse) {
        CollectChildrenMarkInUse();
    } else {
        CollectChildren();
    }
}

void DocFolder::SetListedPath(const std::wstring& path, bool checkInUse)
{
    m_wildcard = false;
    ReplacePath(path);
    CollectWith(checkInUse ? Walk::MarkInUse : Walk::Plain);
}

void DocFolder::SetLinkPath(const std::wstring& path)
{
    m_wildcard = false;
    m_children.clear();
    ReplacePath(path);
}

void DocFolder::CollectChildren()
{
    CollectWith(Walk::Plain);
}

void DocFolder::CollectChildrenMarkInUse()
{
    CollectWith(Walk::MarkInUse);
}

void DocFolder::CollectMatches()
{
    CollectWith(Walk::Matches);
}

void DocFolder::CollectWith(Walk walk)
{
    const std::wstring& path = GetPath();
    std::wstring search;
    std::wstring prefix;
    if (walk == Walk::Matches) {
        search = path;
        const size_t slash = path.rfind(L'\\');
        prefix = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    } else {
        prefix = win32::JoinPath(path, L"");
        search = win32::JoinPath(path, L"*.*");
    }

    AssetList children;
    WIN32_FIND_DATAW found;
    win32::UniqueFind find(::FindFirstFileW(ReadablePath(search).c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring childPath = prefix + name;
            if (IsUnusableName(name)) {
                // Kept only to be reported: its path names something else.
                auto file = std::make_unique<DocFile>();
                file->SetLinkPath(childPath);
                file->SetUnusableName(true);
                children.push_back(std::move(file));
                continue;
            }
            const bool isLink = IsLinkAttributes(found.dwFileAttributes);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                auto folder = std::make_unique<DocFolder>();
                if (isLink)
                    folder->SetLinkPath(childPath);
                else
                    folder->SetListedPath(childPath, walk == Walk::MarkInUse);
                children.push_back(std::move(folder));
                continue;
            }
            auto file = std::make_unique<DocFile>();
            if (isLink) {
                file->SetLinkPath(childPath);
            } else if (walk == Walk::MarkInUse && !CanOpenForWriting(childPath)) {
                // Measured by opening, as a chosen file is: 0 when it cannot
                // be read either.
                file->SetInUse(true);
                file->SetPath(childPath);
            } else {
                file->SetListedPath(childPath, (static_cast<uint64_t>(found.nFileSizeHigh) << 32) |
                                                   found.nFileSizeLow);
            }
            children.push_back(std::move(file));
        } while (::FindNextFileW(find.get(), &found));
    }
    m_children = std::move(children);
}

DocFileList::DocFileList() : IDAsset(AssetKind::FileList) {}

void DocFileList::AddFolder(const std::wstring& path, bool removeSelf)
{
    auto folder = std::make_unique<DocFolder>();
    folder->SetConfirm(GetConfirm());
    folder->SetPath(path, false);
    folder->SetRemoveSelf(removeSelf);
    m_items.push_back(std::move(folder));
}

void DocFileList::AddFile(const std::wstring& path)
{
    auto file = std::make_unique<DocFile>();
    file->SetPath(path);
    m_items.push_back(std::move(file));
}

RegistryEntry::RegistryEntry() : IDAsset(AssetKind::RegistryEntry) {}

void RegistryEntry::AddItem(const std::wstring& keyPath, const std::wstring& valueName)
{
    m_items.emplace_back(keyPath, valueName);
}
