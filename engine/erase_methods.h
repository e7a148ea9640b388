// The erase methods a profile can choose ("EraseMethod"), and the factory the
// shred manager makes them with.
//   1 SimpleDelete  no overwrite; files and empty folders go to the Recycle Bin
//   2 OneX          1 pass  (3 writes per region, 1 rename)
//   3 ThreeX        3 passes (9 writes, 3 renames)
//   4 SevenX        7 passes (21 writes, 7 renames)
//   5 Bleach        the service's free-space method; erases no asset itself
#pragma once

#include "engine/eraser.h"
#include "settings/profile_body.h"

#include <memory>

class SimpleDelete : public Eraser {
public:
    ~SimpleDelete() override;

    int32_t GetMethodId() const override { return kEraseSimpleDelete; }
    void Erase(IDAsset* asset) override;
    // Its own total and percentage; the base's stay untouched.
    void SetByteCount(uint64_t total) override { m_ownTotalWeight = total; }
    uint64_t GetByteCount() const override { return m_ownTotalWeight; }

private:
    bool RecycleFile(DocFile* file);
    bool RecycleFolder(DocFolder* folder);
    // The shell's delete with undo: the item goes to the Recycle Bin.
    int SendToRecycleBin(const std::wstring& path);

    uint64_t m_ownTotalWeight = 0;
    int32_t m_ownCurrentPercent = 0;
};

class OneX : public Eraser {
public:
    int32_t GetMethodId() const override { return kEraseOnePass; }
    void Erase(IDAsset* asset) override { EraseWithPasses(asset, 1); }
};

class ThreeX : public Eraser {
public:
    int32_t GetMethodId() const override { return kEraseThreePasses; }
    void Erase(IDAsset* asset) override { EraseWithPasses(asset, 3); }
};

class SevenX : public Eraser {
public:
    int32_t GetMethodId() const override { return kEraseSevenPasses; }
    void Erase(IDAsset* asset) override { EraseWithPasses(asset, 7); }
};

// The free-space method: the service makes one for its wipe, and the factory
// for a profile that names it; its work is the free-space wipe, not assets.
class Bleach : public Eraser {
public:
    // The free-space wipe of the drive root `drive` through this eraser's
    // writer and log.
    bool WipeFreeSpace(const std::wstring& drive);
};

// The erase method for an "EraseMethod" id, or null outside 1 to 5.
std::unique_ptr<Eraser> MakeEraser(int32_t eraseMethodId);
