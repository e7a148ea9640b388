#include "engine/eraser.h"

#include "engine/progress_reporter.h"
#include "engine/run_state.h"
#include "resources/engine/text_ids.h"
#include "settings/install_location.h"

#include <climits>

std::atomic<uint64_t> BytesDone{0};
std::atomic<int32_t> LastPercent{0};
std::atomic<bool> AnyAssetShredded{false};

namespace {

bool IsShreddableKind(AssetKind kind)
{
    return kind == AssetKind::File || kind == AssetKind::Folder ||
           kind == AssetKind::RegistryEntry || kind == AssetKind::FileList;
}

// Weight of an asset and everything below it; every child is freed once
// counted, so a skipped tree is gone from memory when the skip is done.
uint64_t SumAndRelease(IDAsset* asset)
{
    uint64_t sum = 0;
    AssetList* children = nullptr;
    switch (asset->GetKind()) {
    case AssetKind::File:
        if (auto* file = dynamic_cast<DocFile*>(asset))
            sum = file->GetSize();
        return sum;
    case AssetKind::Folder:
        if (auto* folder = dynamic_cast<DocFolder*>(asset))
            children = &folder->GetChildren();
        break;
    case AssetKind::FileList:
        if (auto* list = dynamic_cast<DocFileList*>(asset))
            children = &list->GetItems();
        break;
    case AssetKind::RegistryEntry:
        return kContainerWeight;
    default:
        return 0;
    }
    if (children) {
        while (!children->empty()) {
            sum += SumAndRelease(children->front().get());
            children->pop_front();
        }
    }
    return sum + kContainerWeight;
}

}  // namespace

Eraser::Eraser() : m_successLogging(ReadEnableSuccessLogging()), m_calls(&FileCalls::Real()) {}

Eraser::~Eraser() = default;

int32_t Eraser::GetMethodId() const
{
    return 0;
}

void Eraser::Erase(IDAsset*) {}

void Eraser::SetByteCount(uint64_t total)
{
    m_totalWeight = total;
}

uint64_t Eraser::GetByteCount() const
{
    return m_totalWeight;
}

void Eraser::SetFileCalls(FileCalls* calls)
{
    m_calls = calls ? calls : &FileCalls::Real();
}

void Eraser::EraseWithPasses(IDAsset* asset, int32_t passes)
{
    if (asset && IsShreddableKind(asset->GetKind()))
        ShredAsset(asset, passes);
}

bool Eraser::SkipMarkedAsset(IDAsset* asset, UINT excludedTextId)
{
    if (asset->IsExcluded())
        LogTextAndPath(excludedTextId, asset->GetPath());
    else if (asset->IsBlocked())
        LogTextAndPath(IDS_LOG_BLOCKED, asset->GetPath());
    else if (asset->IsInUse())
        LogTextLine(IDS_LOG_IN_USE, {asset->GetPath()});
    else if (asset->HasUnusableName())
        LogTextLine(IDS_LOG_DELETE_FAILED, {asset->GetPath()}, ERROR_INVALID_NAME, true);
    else
        return false;
    BytesDone += SumAssetSize(asset, true);
    return true;
}

void Eraser::StepProgress(ProgressReporter* reporter, uint64_t total, int32_t& currentPercent)
{
    if (total == 0)
        return;
    const uint64_t ratio = BytesDone.load() * 100 / total;
    const int32_t percent = ratio > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ratio);
    currentPercent = percent;
    if (percent != LastPercent.load()) {
        reporter->SetPercent(percent);
        LastPercent = percent;
    }
    // A finished run starts the next one from zero.
    if (percent == 100) {
        BytesDone = 0;
        LastPercent = 0;
    }
}

void Eraser::ShredChildren(AssetList& children, int32_t passes)
{
    while (!children.empty()) {
        ShredAsset(children.front().get(), passes);
        children.pop_front();
    }
}

void Eraser::ShredAsset(IDAsset* asset, int32_t passes)
{
    if (!asset)
        return;
    ProgressReporter* reporter = m_progress;
    if (!reporter) {
        LogTextLine(IDS_LOG_NO_SHARED_DATA, {});
        return;
    }
    if (reporter->IsCancelled()) {
        BytesDone = 0;
        LastPercent = 0;
        return;
    }
    if (SkipMarkedAsset(asset, IDS_LOG_EXCLUDED))
        return;

    switch (asset->GetKind()) {
    case AssetKind::File:
        if (auto* file = dynamic_cast<DocFile*>(asset)) {
            if (ShredFile(file, passes))
                AnyAssetShredded = true;
            BytesDone += file->GetSize();
        }
        break;
    case AssetKind::Folder:
        if (auto* folder = dynamic_cast<DocFolder*>(asset)) {
            ShredChildren(folder->GetChildren(), passes);
            if (DeleteFolder(folder, passes))
                AnyAssetShredded = true;
            BytesDone += kContainerWeight;
        }
        break;
    case AssetKind::RegistryEntry:
        if (auto* entry = dynamic_cast<RegistryEntry*>(asset)) {
            if (DeleteRegistryEntry(entry))
                AnyAssetShredded = true;
            BytesDone += kContainerWeight;
        }
        break;
    case AssetKind::FileList:
        if (auto* list = dynamic_cast<DocFileList*>(asset)) {
            ShredChildren(list->GetItems(), passes);
            BytesDone += kContainerWeight;
        }
        break;
    default:
        return;
    }
    StepProgress(reporter, m_totalWeight, m_currentPercent);
}

uint64_t Eraser::SumAssetSize(IDAsset* asset, bool)
{
    return asset ? SumAndRelease(asset) : 0;
}
