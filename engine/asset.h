// What can be shredded: one file, a folder with everything below it, a list
// of files and folders, or a set of registry keys and values. A folder lists
// its tree when its path is set, so the set of things to destroy is fixed
// before the first byte is overwritten.
//
// Ownership: an asset owns its path and name; parents own their children.
// The erase methods take children off the lists as they go, which frees them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

enum class AssetKind : int32_t {
    None = 0,
    File = 1,
    Folder = 2,
    RegistryEntry = 3,
    FileList = 4,
};

// Outcome of an asset after a shred attempt.
inline constexpr int32_t kAssetDestroyed = 0;
inline constexpr int32_t kAssetNotDestroyed = 1;  // as built, or the attempt failed
inline constexpr int32_t kAssetNotFound = 2;
inline constexpr int32_t kAssetFolderNotRemoved = 4;

// Weight of every folder, file list and registry entry in the progress sums.
inline constexpr uint64_t kContainerWeight = 1000;

class IDAsset;
using AssetList = std::deque<std::unique_ptr<IDAsset>>;

class IDAsset {
public:
    IDAsset();
    virtual ~IDAsset();
    IDAsset(const IDAsset&) = delete;
    IDAsset& operator=(const IDAsset&) = delete;

    AssetKind GetKind() const { return m_kind; }

    // Full path of a file or folder, or a folder search pattern.
    const std::wstring& GetPath() const { return m_path; }
    // Records where the item now is (after a rename); lists and measures nothing.
    void ReplacePath(std::wstring path) { m_path = std::move(path); }

    std::wstring GetName() const { return m_name; }
    void SetName(std::wstring name) { m_name = std::move(name); }

    void SetConfirm(bool confirm) { m_confirm = confirm; }
    bool GetConfirm() const { return m_confirm; }
    void SetBlocked(bool blocked) { m_blocked = blocked; }
    bool IsBlocked() const { return m_blocked; }
    void SetExcluded(bool excluded) { m_excluded = excluded; }
    bool IsExcluded() const { return m_excluded; }
    void SetInUse(bool inUse) { m_inUse = inUse; }
    bool IsInUse() const { return m_inUse; }
    // A name from a folder listing that cannot be joined into a path of its
    // folder (it holds "\", "/", ":" or a wildcard): never touched.
    void SetUnusableName(bool unusable) { m_unusableName = unusable; }
    bool HasUnusableName() const { return m_unusableName; }
    // A trace whose folder is not one it may empty (a shell folder or the
    // temporary folder pointed at the user's files): it lists nothing, its
    // path is the refused folder, and the list builder only logs it.
    void SetRefused(bool refused) { m_refused = refused; }
    bool IsRefused() const { return m_refused; }
    void SetRemoveSelf(bool removeSelf) { m_removeSelf = removeSelf; }
    bool GetRemoveSelf() const { return m_removeSelf; }
    void SetStatus(int32_t status) { m_status = status; }
    int32_t GetStatus() const { return m_status; }

protected:
    explicit IDAsset(AssetKind kind);

private:
    std::wstring m_path;
    std::wstring m_name;
    bool m_confirm = false;
    bool m_blocked = false;
    bool m_excluded = false;
    bool m_inUse = false;
    bool m_unusableName = false;
    bool m_refused = false;
    AssetKind m_kind = AssetKind::None;
    bool m_removeSelf = false;
    int32_t m_status = kAssetNotDestroyed;
};

class DocFile : public IDAsset {
public:
    DocFile();

    // Copies the path and, unless it is a pattern or a link, measures the file
    // (a file that cannot be opened keeps size 0).
    void SetPath(const std::wstring& path);
    uint64_t GetSize() const { return m_size; }
    bool IsWildcard() const { return m_wildcard; }

private:
    friend class DocFolder;
    // A link found by a folder walk: never opened, so never measured.
    void SetLinkPath(const std::wstring& path);
    // A plain file found by a folder walk, with the size the listing gave.
    void SetListedPath(const std::wstring& path, uint64_t size);

    bool m_wildcard = false;
    uint64_t m_size = 0;
};

class DocFolder : public IDAsset {
public:
    DocFolder();

    // Copies the path and lists the tree below it: with the in-use test or
    // without; a pattern lists its matches and is never removed itself. A
    // folder that is a link is not listed.
    void SetPath(const std::wstring& path, bool checkInUse);
    AssetList& GetChildren() { return m_children; }
    bool IsWildcard() const { return m_wildcard; }

    // The three walks; each replaces the children with a fresh listing.
    void CollectChildren();
    void CollectChildrenMarkInUse();
    void CollectMatches();

private:
    enum class Walk { Plain, MarkInUse, Matches };
    void CollectWith(Walk walk);
    void SetLinkPath(const std::wstring& path);
    // A folder found by a walk, which the listing showed is no link: listed
    // without looking again (every item below is checked when shredded).
    void SetListedPath(const std::wstring& path, bool checkInUse);

    bool m_wildcard = false;
    AssetList m_children;
};

class DocFileList : public IDAsset {
public:
    DocFileList();

    // New folder with this list's confirm flag, listed with the plain walk.
    void AddFolder(const std::wstring& path, bool removeSelf);
    void AddFile(const std::wstring& path);
    AssetList& GetItems() { return m_items; }

private:
    AssetList m_items;
};

class RegistryEntry : public IDAsset {
public:
    // Key path ("HKEY_CURRENT_USER\Software\..."), value name; an empty value
    // name stands for the whole key.
    using Item = std::pair<std::wstring, std::wstring>;

    RegistryEntry();

    void AddItem(const std::wstring& keyPath, const std::wstring& valueName);
    std::vector<Item> GetItems() const { return m_items; }

private:
    std::vector<Item> m_items;
};

// How a path reaches the item it names.
enum class PathReach {
    Itself,
    ThroughLink,  // a link in some component, or the item is a link
    Unopened,     // missing, or it could not be opened to look
};

// Opens the full path `fullPath` just to look (its "\\?\" form, the last
// component not followed where the system allows) and tells what it reached.
PathReach ProbePathReach(const std::wstring& fullPath);

// Attributes of the item at `path` (any spelling), looked up through its
// "\\?\" form so that no device name is involved; INVALID_FILE_ATTRIBUTES
// when there is none.
DWORD ItemAttributes(const std::wstring& path);

// A folder asset (listed with the plain walk) when `path` names a folder,
// otherwise a file asset.
std::unique_ptr<IDAsset> MakePathAsset(const std::wstring& path);

// True when `attributes` (from a listing or GetFileAttributesW) mark a link:
// a symbolic link, junction or mount point.
inline bool IsLinkAttributes(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
