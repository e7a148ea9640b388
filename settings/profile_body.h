// The profile part of the settings record: which traces are shredded and
// confirmed, how many passes are made, what is excluded and what the user
// added. Also the three built-in bodies High, Medium and Low.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The eleven trace kinds in their fixed order (memory and registry order).
enum TraceKind : int {
    kBrowseHistory,
    kBrowseURL,
    kCookies,
    kAutoComplete,
    kTempIntFiles,
    kRecycle,
    kRecentMenu,
    kRecentOfficeDocs,
    kRecentMP,
    kRecentRP,
    kTempFiles,
    kTraceKindCount
};

// Registry value names of each kind's flags ("ShredCookies", "ConfirmShredCookies").
const wchar_t* ShredFlagName(TraceKind kind);
const wchar_t* ConfirmFlagName(TraceKind kind);

// Security profile numbers.
enum SecurityProfileId : int32_t {
    kProfileHigh = 0,
    kProfileMedium = 1,
    kProfileLow = 2,
    kProfileAdvanced = 3,
    kProfileSimple = 4,
};
inline constexpr int32_t kProfileCount = 5;

inline bool IsValidProfile(int32_t profile)
{
    return profile >= kProfileHigh && profile <= kProfileSimple;
}

// Overwrite methods, stored as "EraseMethod".
enum EraseMethodId : int32_t {
    kEraseSimpleDelete = 1,
    kEraseOnePass = 2,
    kEraseThreePasses = 3,
    kEraseSevenPasses = 4,
    kEraseFreeSpace = 5,
};

struct FileEntry {
    std::wstring path;
    bool confirm = false;

    bool operator==(const FileEntry&) const = default;
};

struct ProfileBody {
    std::array<bool, kTraceKindCount> shred{};
    std::array<bool, kTraceKindCount> confirm{};
    std::vector<FileEntry> filesAndFolders;
    std::vector<std::wstring> excludeList;
    int32_t eraseMethod = kEraseSimpleDelete;

    bool operator==(const ProfileBody&) const = default;
};

// The built-in bodies, indexed by profile number 0 High, 1 Medium, 2 Low.
// Built once and never written afterwards, so readers on any thread see a
// whole body.
const std::array<ProfileBody, 3>& BuiltInProfiles();

// The registry subkey of a profile ("High" ... "Simple"), or null.
const wchar_t* ProfileSubkeyName(int32_t profile);

// The kinds whose flags a profile's subkey holds, in the order they are read.
std::vector<TraceKind> StoredKinds(int32_t profile);
