// The shred list builder: the profile becomes the run's ordered list of
// assets (browser traces, system traces, the user's files and folders), and
// everything in it that lies on the exclude list or in a protected place is
// marked so that the run and the engine skip it. Also the list's weight and
// the post-shred actions.
#include "engine/eraser.h"
#include "engine/traces/browser.h"
#include "engine/traces/system_traces.h"
#include "settings/install_location.h"
#include "settings/list_entry.h"
#include "shred/shred_manager.h"
#include "win32/path.h"

#include <shlwapi.h>

std::atomic<bool> HistoryCleanupStarted{false};

namespace {

enum class Selector { Nothing, InternetExplorer, Firefox, Everything };

Selector SelectorFor(int32_t listType)
{
    switch (listType) {
    case kListInternetExplorer:
        return Selector::InternetExplorer;
    case kListFirefox:
        return Selector::Firefox;
    case 5:
    case kListEverything:
        return Selector::Everything;
    default:
        return Selector::Nothing;
    }
}

std::wstring ExtensionOf(const std::wstring& path)
{
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot);
}

// A refused trace (its folder is not one it may empty) lists nothing: it is
// kept apart, by name and folder, for the run's log.
void Append(AssetList& list, std::vector<RefusedTrace>& refused, std::unique_ptr<IDAsset> asset)
{
    if (!asset)
        return;
    if (asset->IsRefused())
        refused.push_back({asset->GetName(), asset->GetPath()});
    else
        list.push_back(std::move(asset));
}

uint64_t WeightOf(IDAsset& asset);

uint64_t WeightOfList(AssetList& list)
{
    uint64_t total = 0;
    for (auto& entry : list) {
        if (entry)
            total += WeightOf(*entry);
    }
    return total;
}

// Reads the tree without changing it.
uint64_t WeightOf(IDAsset& asset)
{
    switch (asset.GetKind()) {
    case AssetKind::File:
        return static_cast<DocFile&>(asset).GetSize();
    case AssetKind::Folder:
        return WeightOfList(static_cast<DocFolder&>(asset).GetChildren()) + kContainerWeight;
    case AssetKind::FileList:
        return WeightOfList(static_cast<DocFileList&>(asset).GetItems()) + kContainerWeight;
    case AssetKind::RegistryEntry:
        return kContainerWeight;
    default:
        return 0;
    }
}

// The exclude list, made ready once for a whole marking. An entry that
// names a place (however it is spelled: separators, "." and "..", short
// names, "\\?\") excludes the item of that place and everything below it;
// a pattern excludes by its extension alone, in every folder; any entry
// still excludes the one path spelled exactly like it.
class ExcludeRules {
public:
    explicit ExcludeRules(const SettingsStore& settings)
    {
        for (int i = 0; i < settings.GetExcludeListCount(); ++i) {
            std::wstring entry = settings.GetExcludeEntry(i);
            if (entry.empty())
                continue;
            std::wstring canonical;
            if (entry.find(L'*') != std::wstring::npos) {
                const std::wstring extension = ExtensionOf(entry);
                if (!extension.empty())
                    m_extensions.push_back(extension);
            } else if (win32::IsFullyQualified(entry) && win32::CanonicalPathOf(entry, canonical)) {
                // A relative entry is left to its text: against the shredding
                // program's own current folder it would name something else.
                m_places.push_back(std::move(canonical));
            }
            m_texts.push_back(std::move(entry));
        }
    }

    // `path` as the asset carries it; `canonical` its canonical spelling, or
    // empty when it has none.
    bool Match(const std::wstring& path, const std::wstring& canonical) const
    {
        if (path.empty())
            return false;
        for (const auto& text : m_texts) {
            if (win32::EqualNoCase(text, path))
                return true;
        }
        if (!canonical.empty()) {
            for (const auto& place : m_places) {
                if (win32::IsSameOrBelow(canonical, place))
                    return true;
            }
        }
        const std::wstring pathExtension = ExtensionOf(path);
        if (pathExtension.empty())
            return false;
        for (const auto& extension : m_extensions) {
            if (win32::EqualNoCase(extension, pathExtension))
                return true;
        }
        return false;
    }

private:
    std::vector<std::wstring> m_texts;
    std::vector<std::wstring> m_places;
    std::vector<std::wstring> m_extensions;
};

std::wstring CanonicalOrEmpty(const std::wstring& path)
{
    std::wstring canonical;
    return win32::CanonicalPathOf(path, canonical) ? canonical : std::wstring();
}

// The canonical spelling of `path`. A child listed in its folder is the
// folder's path, a separator and the name the listing gave: its spelling
// follows from the folder's without another look at the disk.
std::wstring CanonicalOfChild(const std::wstring& path, const std::wstring& parentPath,
                              const std::wstring& parentCanonical)
{
    if (!parentPath.empty() && !parentCanonical.empty() && path.size() > parentPath.size() &&
        path.compare(0, parentPath.size(), parentPath) == 0) {
        size_t nameStart = parentPath.size();
        const bool parentEndsInSeparator = parentPath.back() == L'\\' || parentPath.back() == L'/';
        if (!parentEndsInSeparator && path[nameStart++] != L'\\')
            return CanonicalOrEmpty(path);
        const std::wstring name = path.substr(nameStart);
        if (!name.empty() && name != L"." && name != L".." &&
            name.find_first_of(L"\\/") == std::wstring::npos)
            return win32::JoinPath(parentCanonical, name);
    }
    return CanonicalOrEmpty(path);
}

void MarkList(ShredManager& manager, AssetList& list, const ExcludeRules& rules,
              const std::wstring& parentPath, const std::wstring& parentCanonical)
{
    for (auto& entry : list) {
        if (!entry)
            continue;
        const AssetKind kind = entry->GetKind();
        if (kind != AssetKind::File && kind != AssetKind::Folder) {
            if (kind == AssetKind::FileList)
                MarkList(manager, static_cast<DocFileList&>(*entry).GetItems(), rules, L"", L"");
            continue;
        }
        const std::wstring& path = entry->GetPath();
        const std::wstring canonical = CanonicalOfChild(path, parentPath, parentCanonical);
        const bool blocked = manager.IsProtected(path);
        if (blocked)
            entry->SetBlocked(true);
        if (rules.Match(path, canonical))
            entry->SetExcluded(true);
        if (kind == AssetKind::Folder && !blocked)
            MarkList(manager, static_cast<DocFolder&>(*entry).GetChildren(), rules, path,
                     canonical);
    }
}

}  // namespace

void ShredList::Clear()
{
    m_assets = nullptr;
    m_totalWeight = 0;
}

ShredList& ShredList::Build(int32_t listType, ShredManager& manager)
{
    if (listType < 1 || listType > kListEverything)
        return *this;
    manager.BuildShredList(listType);
    m_assets = &manager.GetAssetList();
    return *this;
}

uint64_t ShredList::SumSizes(const AssetList& list)
{
    m_totalWeight += WeightOfList(const_cast<AssetList&>(list));
    return m_totalWeight;
}

void ShredManager::BuildShredList(int32_t listType)
{
    ClearAssets();
    m_leftOutEntries.clear();
    m_refusedTraces.clear();
    const Selector selector = SelectorFor(listType);
    if (selector == Selector::Nothing)
        return;
    const SettingsStore& settings = m_settings;
    const auto add = [this](std::unique_ptr<IDAsset> asset) {
        Append(m_assets, m_refusedTraces, std::move(asset));
    };

    // Browser traces, kind by kind: Internet Explorer's, then Firefox's.
    const bool internetExplorer =
        selector == Selector::InternetExplorer || selector == Selector::Everything;
    const bool firefox = selector == Selector::Firefox || selector == Selector::Everything;
    InternetExp ie;
    FireFox ff;
    using Builder = std::unique_ptr<IDAsset> (Browser::*)(bool);
    const struct {
        TraceKind kind;
        Builder build;
    } browserTraces[] = {
        {kAutoComplete, &Browser::MakeAutoCompleteAsset},
        {kBrowseHistory, &Browser::MakeHistoryAsset},
        {kBrowseURL, &Browser::MakeUrlListAsset},
        {kCookies, &Browser::MakeCookiesAsset},
        {kTempIntFiles, &Browser::MakeTempFilesAsset},
    };
    for (const auto& trace : browserTraces) {
        if (!settings.GetShred(trace.kind))
            continue;
        const bool confirm = settings.GetConfirm(trace.kind);
        if (internetExplorer)
            add((ie.*trace.build)(confirm));
        if (firefox)
            add((ff.*trace.build)(confirm));
    }
    if (selector != Selector::Everything) {
        MarkProtectedAndExcluded(m_assets);
        return;
    }

    // System traces.
    if (settings.GetShred(kRecentMenu))
        add(MakeRecentDocumentsAsset(settings.GetConfirm(kRecentMenu)));
    if (settings.GetShred(kRecentOfficeDocs))
        add(MakeOfficeRecentAsset(settings.GetConfirm(kRecentOfficeDocs)));
    if (settings.GetShred(kRecentMP))
        add(MakeMediaPlayerRecentAsset(settings.GetConfirm(kRecentMP)));
    if (settings.GetShred(kRecentRP))
        add(MakeRealPlayerRecentAsset(settings.GetConfirm(kRecentRP)));
    if (settings.GetShred(kRecycle))
        add(MakeRecycleBinAsset(settings.GetConfirm(kRecycle)));
    if (settings.GetShred(kTempFiles))
        add(MakeTempFilesAsset(settings.GetConfirm(kTempFiles)));

    // The user's own files and folders that still exist (a wildcard entry
    // never does). Only full paths: a relative entry (older settings, another
    // program's write) would name whatever lies below this program's current
    // folder.
    for (int i = 0; i < settings.GetFilesAndFoldersCount(); ++i) {
        bool confirm = false;
        const std::wstring path = settings.GetFileEntry(i, confirm);
        if (path.empty())
            continue;
        if (!IsFullPathEntry(path)) {
            if (!IsWildcardPattern(path))
                m_leftOutEntries.push_back(path);
            continue;
        }
        // Collected in its full form ("\\" separators, no "." or ".."), so
        // that the items below it carry paths the exclude list is tested
        // against as they will be opened. Never longer than the entry: short
        // names stay short, or a deep tree could grow past what the writer
        // opens.
        std::wstring full;
        if (!win32::FullPathOf(path, full) || !win32::FitsMaxPath(full) ||
            ItemAttributes(full) == INVALID_FILE_ATTRIBUTES)
            continue;
        std::unique_ptr<IDAsset> asset = MakePathAsset(full);
        asset->SetConfirm(confirm);
        m_assets.push_back(std::move(asset));
    }
    MarkProtectedAndExcluded(m_assets);
}

bool ShredManager::IsProtected(const std::wstring& path)
{
    return m_settings.IsProtectedPath(path);
}

bool ShredManager::IsExcluded(const std::wstring& path) const
{
    return ExcludeRules(m_settings).Match(path, CanonicalOrEmpty(path));
}

void ShredManager::MarkProtectedAndExcluded(AssetList& list)
{
    MarkList(*this, list, ExcludeRules(m_settings), L"", L"");
}

void ShredManager::MarkProtectedAndExcludedBelow(DocFolder& folder)
{
    MarkList(*this, folder.GetChildren(), ExcludeRules(m_settings), folder.GetPath(),
             CanonicalOrEmpty(folder.GetPath()));
}

int32_t ShredManager::RunPostShredActions(int32_t flags)
{
    ShredPlatform& platform = CurrentShredPlatform();
    std::wstring ieVersion;
    const bool haveVersion = platform.ReadIEVersion(ieVersion);

    if ((flags & kPostIEHistory) && m_settings.GetShredBrowseHistory()) {
        if (haveVersion && !ieVersion.empty() && ieVersion[0] == L'8') {
            // Internet Explorer 8 keeps its history away from the store; the
            // clean-up program clears it (and is started again at next log-on).
            HistoryCleanupStarted = true;
            platform.StartHistoryCleanup(win32::JoinPath(InstallFolderOrDefault(), L"OVSCCleanup.exe"));
        } else if (platform.ClearUrlHistory()) {
            flags &= ~kPostIEHistory;
        }
    }
    if ((flags & kPostRecycleBin) && m_settings.GetShredRecycle()) {
        platform.EmptyRecycleBin();
        flags &= ~kPostRecycleBin;
    }
    if ((flags & kPostIEAutoComplete) && haveVersion) {
        if (ieVersion.empty() || ieVersion[0] != L'6' || platform.ClearProtectedStorage())
            flags &= ~kPostIEAutoComplete;
    }
    return flags;
}
