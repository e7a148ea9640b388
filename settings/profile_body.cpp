#include "settings/profile_body.h"

namespace {

struct KindNames {
    const wchar_t* shred;
    const wchar_t* confirm;
};

constexpr KindNames kKindNames[kTraceKindCount] = {
    {L"ShredBrowseHistory", L"ConfirmShredBrowseHistory"},
    {L"ShredBrowseURL", L"ConfirmShredBrowseURL"},
    {L"ShredCookies", L"ConfirmShredCookies"},
    {L"ShredAutoComplete", L"ConfirmShredAutoComplete"},
    {L"ShredTempIntFiles", L"ConfirmShredTempIntFiles"},
    {L"ShredRecycle", L"ConfirmShredRecycle"},
    {L"ShredRecentMenu", L"ConfirmShredRecentMenu"},
    {L"ShredRecentOfficeDocs", L"ConfirmShredRecentOfficeDocs"},
    {L"ShredRecentMP", L"ConfirmShredRecentMP"},
    {L"ShredRecentRP", L"ConfirmShredRecentRP"},
    {L"ShredTempFiles", L"ConfirmShredTempFiles"},
};

constexpr TraceKind kFirstFive[] = {kBrowseHistory, kBrowseURL, kCookies, kAutoComplete,
                                    kTempIntFiles};

ProfileBody MakeBuiltIn(std::initializer_list<TraceKind> kinds, int32_t eraseMethod)
{
    ProfileBody body;
    for (TraceKind kind : kinds) {
        body.shred[kind] = true;
        body.confirm[kind] = true;
    }
    body.eraseMethod = eraseMethod;
    return body;
}

}  // namespace

const wchar_t* ShredFlagName(TraceKind kind)
{
    return kKindNames[kind].shred;
}

const wchar_t* ConfirmFlagName(TraceKind kind)
{
    return kKindNames[kind].confirm;
}

const std::array<ProfileBody, 3>& BuiltInProfiles()
{
    // A function-local static is built once, under the runtime's own lock.
    static const std::array<ProfileBody, 3> profiles = {
        MakeBuiltIn({kBrowseHistory, kBrowseURL, kCookies, kAutoComplete, kTempIntFiles, kRecycle,
                     kRecentMenu, kRecentOfficeDocs, kRecentMP, kRecentRP, kTempFiles},
                    kEraseSevenPasses),
        MakeBuiltIn({kBrowseHistory, kBrowseURL, kCookies, kAutoComplete, kTempIntFiles, kRecycle,
                     kTempFiles},
                    kEraseThreePasses),
        MakeBuiltIn({kBrowseHistory, kBrowseURL, kCookies, kAutoComplete, kTempIntFiles},
                    kEraseOnePass),
    };
    return profiles;
}

const wchar_t* ProfileSubkeyName(int32_t profile)
{
    switch (profile) {
    case kProfileHigh:
        return L"High";
    case kProfileMedium:
        return L"Medium";
    case kProfileLow:
        return L"Low";
    case kProfileAdvanced:
        return L"Advanced";
    case kProfileSimple:
        return L"Simple";
    default:
        return nullptr;
    }
}

std::vector<TraceKind> StoredKinds(int32_t profile)
{
    std::vector<TraceKind> kinds(std::begin(kFirstFive), std::end(kFirstFive));
    switch (profile) {
    case kProfileLow:
        break;
    case kProfileMedium:
        kinds.push_back(kRecycle);
        kinds.push_back(kTempFiles);
        break;
    default:
        kinds.clear();
        for (int kind = 0; kind < kTraceKindCount; ++kind)
            kinds.push_back(static_cast<TraceKind>(kind));
        break;
    }
    return kinds;
}
