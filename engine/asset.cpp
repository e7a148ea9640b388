#include "engine/asset.h"

#include "win32/unique_handle.h"

namespace {

bool HasWildcard(const std::wstring& path)
{
    return path.find(L'*') != std::wstring::npos;
}

// "C:\Temp\" names the folder itself; GetFileAttributesW with the trailing
// separator would look through a link instead of at it.
std::wstring WithoutTrailingSeparators(const std::wstring& path)
{
    std::wstring trimmed = path;
    while (trimmed.size() > 3 && trimmed.back() == L'\\')
        trimmed.pop_back();
    return trimmed;
}

bool IsLinkPath(const std::wstring& path)
{
    return IsLinkAttributes(::GetFileAttributesW(WithoutTrailingSeparators(path).c_str()));
}

bool MeasureFile(const std::wstring& path, uint64_t& size)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
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
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

}  // namespace

IDAsset::IDAsset() = default;

IDAsset::IDAsset(AssetKind kind) : m_kind(kind) {}

IDAsset::~IDAsset() = default;

DocFile::DocFile() : IDAsset(AssetKind::File) {}

void DocFile::SetPath(const std::wstring& path)
{
    const bool wildcard = HasWildcard(path);
    uint64_t size = 0;
    if (!wildcard && !IsLinkPath(path))
        MeasureFile(path, size);
    m_wildcard = wildcard;
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
    } else if (IsLinkPath(path)) {
        // A folder that is a link is removed as a link; what it points at is
        // not ours to list.
        m_children.clear();
    } else if (checkInUse) {
        CollectChildrenMarkInUse();
    } else {
        CollectChildren();
    }
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
        prefix = path;
        if (prefix.empty() || prefix.back() != L'\\')
            prefix += L'\\';
        search = prefix + L"*.*";
    }

    AssetList children;
    WIN32_FIND_DATAW found;
    win32::UniqueFind find(::FindFirstFileW(search.c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring childPath = prefix + name;
            const bool isLink = IsLinkAttributes(found.dwFileAttributes);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                auto folder = std::make_unique<DocFolder>();
                if (isLink)
                    folder->SetLinkPath(childPath);
                else
                    folder->SetPath(childPath, walk == Walk::MarkInUse);
                children.push_back(std::move(folder));
                continue;
            }
            auto file = std::make_unique<DocFile>();
            if (isLink) {
                file->SetLinkPath(childPath);
            } else {
                if (walk == Walk::MarkInUse && !CanOpenForWriting(childPath))
                    file->SetInUse(true);
                file->SetPath(childPath);
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
