// The walk of one asset and everything below it, pass by pass: files to the
// overwrite writer, folders after their contents, registry entries to the
// registry deletes. Apart from the writer and the log, which the bleach
// service uses alone, so that the service links no registry or URL-cache
// deletes.
#include "engine/eraser.h"

#include "engine/progress_reporter.h"
#include "engine/run_state.h"
#include "resources/engine/text_ids.h"

namespace {

bool IsShreddableKind(AssetKind kind)
{
    return kind == AssetKind::File || kind == AssetKind::Folder ||
           kind == AssetKind::RegistryEntry || kind == AssetKind::FileList;
}

}  // namespace

void Eraser::EraseWithPasses(IDAsset* asset, int32_t passes)
{
    if (asset && IsShreddableKind(asset->GetKind()))
        ShredAsset(asset, passes);
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
