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

uint64_t Eraser::SumAssetSize(IDAsset* asset, bool)
{
    return asset ? SumAndRelease(asset) : 0;
}
