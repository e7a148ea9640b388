// The registry layout of the settings record: load and save by group.
// Every stored value is outside input: a value that is missing, of the wrong
// type or of the wrong size reads as its field's default (0, off, or the
// profile and erase-method fallbacks), never as whatever was read before.
#include "settings/install_location.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"
#include "win32/registry.h"

#include <cwchar>

namespace {

namespace value = settingsvalue;

constexpr DWORD kLayoutRevision = 2;
constexpr DWORD kMissing = value::kMissing;

DWORD ReadDwordOr(HKEY key, const wchar_t* name, DWORD fallback)
{
    DWORD value = fallback;
    if (win32::ReadDword(key, name, value) != ERROR_SUCCESS)
        return fallback;
    return value;
}

DWORD ReadRaw(HKEY key, const value::Dword& stored)
{
    return ReadDwordOr(key, stored.name, stored.missing);
}

bool ReadFlag(HKEY key, const wchar_t* name, value::Rule rule)
{
    const DWORD raw = ReadDwordOr(key, name, 0);
    return (rule == value::Rule::LowByteFlag ? (raw & 0xFF) : raw) != 0;
}

bool ReadFlag(HKEY key, const value::Dword& stored)
{
    return ReadFlag(key, stored.name, stored.rule);
}

int32_t ReadNumber(HKEY key, const value::Dword& stored)
{
    return static_cast<int32_t>(ReadRaw(key, stored));
}

// 1 to 4 stay as read; anything else (missing included) gives `fallback`.
int32_t MapEraseMethod(HKEY key, int32_t fallback)
{
    const DWORD raw = ReadRaw(key, value::kEraseMethod);
    if (raw >= kEraseSimpleDelete && raw <= kEraseSevenPasses)
        return static_cast<int32_t>(raw);
    return fallback;
}

bool OpenSettingsForRead(win32::UniqueKey& key)
{
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return false;
    return ReadRaw(key.get(), value::kRevision) == kLayoutRevision;
}

// The first failure among a saver's writes. After a failed write a saver
// goes on with the rest of its save instead of stopping: every value that
// could be written then matches the record, so the store differs from it in
// the failed values only, and saving the same record again mends it. A stop
// would leave every later value stale as well (a new list of files under
// the confirm flags of the old one, say).
class WriteStatus {
public:
    void Note(LSTATUS status)
    {
        if (m_first == ERROR_SUCCESS)
            m_first = status;
    }
    LSTATUS First() const { return m_first; }
    bool Ok() const { return m_first == ERROR_SUCCESS; }

private:
    LSTATUS m_first = ERROR_SUCCESS;
};

// Opens (or creates) the Settings key for a saver and writes "Revision", the
// first value of every save. False when there is no key to write to: the
// profile subkeys lie below it, so a saver then writes nothing at all.
bool OpenSettingsForSave(win32::UniqueKey& key, WriteStatus& status)
{
    if (win32::OpenKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_SET_VALUE, key) != ERROR_SUCCESS) {
        const LSTATUS created =
            win32::CreateKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key);
        if (created != ERROR_SUCCESS) {
            status.Note(created);
            return false;
        }
    }
    status.Note(win32::WriteDword(key.get(), value::kRevision.name, kLayoutRevision));
    return true;
}

std::wstring ProfileKeyPath(int32_t profile)
{
    return std::wstring(kSettingsKeyPath) + L"\\" + ProfileSubkeyName(profile);
}

bool OpenProfileForRead(int32_t profile, win32::UniqueKey& key)
{
    return win32::OpenKey(HKEY_CURRENT_USER, ProfileKeyPath(profile).c_str(), KEY_QUERY_VALUE,
                          key) == ERROR_SUCCESS;
}

bool ProfileKeyExists(int32_t profile)
{
    win32::UniqueKey key;
    return OpenProfileForRead(profile, key);
}

LSTATUS OpenOrCreateProfile(int32_t profile, win32::UniqueKey& key)
{
    const std::wstring path = ProfileKeyPath(profile);
    if (win32::OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE, key) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    return win32::CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, key);
}

// "a|b|" gives a and b; text after the last "|" is dropped; "||" gives an
// empty entry.
std::vector<std::wstring> SplitList(const std::wstring& text)
{
    std::vector<std::wstring> entries;
    size_t start = 0;
    for (size_t bar = text.find(L'|'); bar != std::wstring::npos; bar = text.find(L'|', start)) {
        entries.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    return entries;
}

std::wstring JoinList(const std::vector<std::wstring>& entries)
{
    std::wstring text;
    for (const auto& entry : entries)
        text += entry + L"|";
    return text;
}

std::wstring ConfirmValueName(size_t index)
{
    wchar_t name[40];
    std::swprintf(name, ARRAYSIZE(name), value::kConfirmAddFileFormat, static_cast<int>(index));
    return name;
}

LSTATUS WriteFlag(HKEY key, const wchar_t* name, bool on)
{
    return win32::WriteDword(key, name, on ? 1 : 0);
}

LSTATUS WriteFlag(HKEY key, const value::Dword& stored, bool on)
{
    return WriteFlag(key, stored.name, on);
}

LSTATUS WriteNumber(HKEY key, const value::Dword& stored, int32_t number)
{
    return win32::WriteDword(key, stored.name, static_cast<DWORD>(number));
}

// The order in which a saver writes a profile's flag pairs.
std::vector<TraceKind> SaveOrder(int32_t profile)
{
    if (profile == kProfileHigh)
        return {kBrowseHistory,    kBrowseURL, kCookies,   kAutoComplete,
                kTempIntFiles,     kRecycle,   kTempFiles, kRecentMenu,
                kRecentOfficeDocs, kRecentMP,  kRecentRP};
    return StoredKinds(profile);
}

}  // namespace

// Reading -------------------------------------------------------------------

namespace {

struct TriggerGroup {
    bool systemShutdown, browserStartup, browserShutdown, keyPress, cron;
    int32_t cronNumDays, numDaysSinceLastActivate;
};

struct BleachGroup {
    bool fsbOnCron;
    int32_t cronFSBNumDays, numFSBDaysSinceLastActivate;
};

BleachGroup ReadBleachGroup(HKEY key)
{
    return {ReadFlag(key, value::kActivateFSBOnCron), ReadNumber(key, value::kCronFSBNumDays),
            ReadNumber(key, value::kNumFSBDaysSinceLastActivate)};
}

// Reads the flag pairs a profile's subkey holds; kinds it does not hold keep
// their values.
void ReadFlagPairs(HKEY key, int32_t profile, ProfileBody& body)
{
    for (TraceKind kind : StoredKinds(profile)) {
        body.shred[kind] = ReadFlag(key, ShredFlagName(kind), value::Rule::WholeFlag);
        body.confirm[kind] = ReadFlag(key, ConfirmFlagName(kind), value::Rule::WholeFlag);
    }
}

// Appends the two lists of a custom profile and the confirm flags of the
// entries read.
void ReadLists(HKEY key, ProfileBody& body)
{
    std::wstring text;
    if (win32::ReadString(key, value::kExcludeList, text) == ERROR_SUCCESS) {
        for (auto& entry : SplitList(text))
            body.excludeList.push_back(std::move(entry));
    }
    std::vector<FileEntry> added;
    if (win32::ReadString(key, value::kFilesAndFolders, text) == ERROR_SUCCESS) {
        for (auto& entry : SplitList(text))
            added.push_back({std::move(entry), false});
    }
    for (size_t i = 0; i < added.size(); ++i)
        added[i].confirm = ReadFlag(key, ConfirmValueName(i).c_str(), value::kConfirmAddFileRule);
    body.filesAndFolders.insert(body.filesAndFolders.end(), added.begin(), added.end());
}

}  // namespace

bool SettingsStore::LoadTriggers()
{
    win32::UniqueKey key;
    if (!OpenSettingsForRead(key))
        return false;
    m_activateOnSystemShutdown = ReadFlag(key.get(), value::kActivateOnSystemShutdown);
    m_activateOnBrowserStartup = ReadFlag(key.get(), value::kActivateOnBrowserStartup);
    m_activateOnBrowserShutdown = ReadFlag(key.get(), value::kActivateOnBrowserShutdown);
    m_activateOnKeyPress = ReadFlag(key.get(), value::kActivateOnKeyPress);
    if (m_activateOnKeyPress)
        win32::ReadString(key.get(), value::kKeyCodeVals, m_keyCodeVals);  // missing: kept
    m_activateOnCron = ReadFlag(key.get(), value::kActivateOnCron);
    m_cronNumDays = ReadNumber(key.get(), value::kCronNumDays);
    m_numDaysSinceLastActivate = ReadNumber(key.get(), value::kNumDaysSinceLastActivate);
    return true;
}

bool SettingsStore::LoadBleachSchedule()
{
    win32::UniqueKey key;
    if (!OpenSettingsForRead(key))
        return false;
    const BleachGroup group = ReadBleachGroup(key.get());
    m_activateFSBOnCron = group.fsbOnCron;
    m_cronFSBNumDays = group.cronFSBNumDays;
    m_numFSBDaysSinceLastActivate = group.numFSBDaysSinceLastActivate;
    return true;
}

bool SettingsStore::LoadSecurityProfile()
{
    win32::UniqueKey key;
    if (!OpenSettingsForRead(key))
        return false;
    const DWORD stored = ReadRaw(key.get(), value::kSecurityProfile);
    if (stored == kMissing)
        m_securityProfile = kProfileSimple;
    else if (stored <= static_cast<DWORD>(kProfileSimple))
        m_securityProfile = static_cast<int32_t>(stored);
    return true;
}

bool SettingsStore::LoadProfile()
{
    {
        win32::UniqueKey settings;
        if (!OpenSettingsForRead(settings))
            return false;
    }
    const int32_t profile = m_securityProfile;
    if (!IsValidProfile(profile))
        return false;
    win32::UniqueKey key;
    if (!OpenProfileForRead(profile, key)) {
        if (profile <= kProfileLow) {
            CopyBuiltInBody(profile);
        } else {
            m_body.eraseMethod = profile == kProfileAdvanced ? kEraseOnePass : kEraseSimpleDelete;
            m_body.filesAndFolders.clear();
            m_body.excludeList.clear();
        }
        return false;
    }
    ReadFlagPairs(key.get(), profile, m_body);
    m_body.eraseMethod = MapEraseMethod(key.get(), kEraseOnePass);
    if (profile >= kProfileAdvanced) {
        m_body.filesAndFolders.clear();
        m_body.excludeList.clear();
        ReadLists(key.get(), m_body);
    }
    return true;
}

bool SettingsStore::LoadAll(int32_t profile)
{
    win32::UniqueKey settings;
    if (!OpenSettingsForRead(settings))
        return false;
    settings.reset();
    LoadTriggers();
    LoadBleachSchedule();
    if (static_cast<uint32_t>(profile) > static_cast<uint32_t>(kProfileSimple))
        return true;
    m_securityProfile = profile;

    win32::UniqueKey key;
    if (!OpenProfileForRead(profile, key)) {
        if (profile <= kProfileLow)
            CopyBuiltInBody(profile);
        return false;
    }
    ReadFlagPairs(key.get(), profile, m_body);
    if (profile <= kProfileLow) {
        m_body.eraseMethod = MapEraseMethod(key.get(), kEraseOnePass);
    } else {
        m_body.eraseMethod = MapEraseMethod(key.get(), kEraseSimpleDelete);
        ReadLists(key.get(), m_body);  // appended: the backup writer empties them first
    }
    return true;
}

bool SettingsStore::LoadCurrent()
{
    {
        win32::UniqueKey settings;
        if (!OpenSettingsForRead(settings))
            return false;
    }
    LoadTriggers();
    LoadBleachSchedule();

    win32::UniqueKey settings;
    if (!OpenSettingsForRead(settings))
        return false;
    const DWORD stored = ReadRaw(settings.get(), value::kSecurityProfile);
    settings.reset();
    if (stored == kMissing)
        m_securityProfile = kProfileSimple;
    else if (stored > static_cast<DWORD>(kProfileSimple))
        return true;
    else
        m_securityProfile = static_cast<int32_t>(stored);

    const int32_t profile = m_securityProfile;
    win32::UniqueKey key;
    if (!OpenProfileForRead(profile, key)) {
        if (profile <= kProfileLow)
            CopyBuiltInBody(profile);
        return false;
    }
    ReadFlagPairs(key.get(), profile, m_body);
    m_body.eraseMethod = MapEraseMethod(key.get(), kEraseOnePass);
    if (profile >= kProfileAdvanced)
        ReadLists(key.get(), m_body);
    return true;
}

// Writing -------------------------------------------------------------------

namespace {

LSTATUS WriteTriggerGroup(HKEY key, const TriggerGroup& group, const std::wstring& keyCodeVals)
{
    WriteStatus status;
    status.Note(WriteFlag(key, value::kActivateOnSystemShutdown, group.systemShutdown));
    status.Note(WriteFlag(key, value::kActivateOnBrowserStartup, group.browserStartup));
    status.Note(WriteFlag(key, value::kActivateOnBrowserShutdown, group.browserShutdown));
    status.Note(WriteFlag(key, value::kActivateOnKeyPress, group.keyPress));
    // Switched off, the stored key sequence is left for the next time.
    if (group.keyPress)
        status.Note(win32::WriteString(key, value::kKeyCodeVals, keyCodeVals));
    status.Note(WriteFlag(key, value::kActivateOnCron, group.cron));
    status.Note(WriteNumber(key, value::kCronNumDays, group.cronNumDays));
    status.Note(WriteNumber(key, value::kNumDaysSinceLastActivate, group.numDaysSinceLastActivate));
    return status.First();
}

LSTATUS WriteBleachGroup(HKEY key, const BleachGroup& group)
{
    WriteStatus status;
    status.Note(WriteFlag(key, value::kActivateFSBOnCron, group.fsbOnCron));
    status.Note(WriteNumber(key, value::kCronFSBNumDays, group.cronFSBNumDays));
    status.Note(
        WriteNumber(key, value::kNumFSBDaysSinceLastActivate, group.numFSBDaysSinceLastActivate));
    return status.First();
}

LSTATUS WriteBody(HKEY key, int32_t profile, const ProfileBody& body)
{
    WriteStatus status;
    for (TraceKind kind : SaveOrder(profile)) {
        status.Note(WriteFlag(key, ShredFlagName(kind), body.shred[kind]));
        status.Note(WriteFlag(key, ConfirmFlagName(kind), body.confirm[kind]));
    }
    status.Note(WriteNumber(key, value::kEraseMethod, body.eraseMethod));
    if (profile < kProfileAdvanced)
        return status.First();
    status.Note(win32::WriteString(key, value::kExcludeList, JoinList(body.excludeList)));
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < body.filesAndFolders.size(); ++i) {
        status.Note(WriteFlag(key, ConfirmValueName(i).c_str(), body.filesAndFolders[i].confirm));
        paths.push_back(body.filesAndFolders[i].path);
    }
    status.Note(win32::WriteString(key, value::kFilesAndFolders, JoinList(paths)));
    return status.First();
}

// "SecurityProfile" in the Settings key (with "Revision"); false when there
// is no Settings key to write to.
bool WriteProfileChoice(int32_t profile, WriteStatus& status)
{
    win32::UniqueKey key;
    if (!OpenSettingsForSave(key, status))
        return false;
    status.Note(WriteNumber(key.get(), value::kSecurityProfile, profile));
    return true;
}

}  // namespace

LSTATUS SettingsStore::WriteTriggers(HKEY key) const
{
    return WriteTriggerGroup(
        key,
        {m_activateOnSystemShutdown, m_activateOnBrowserStartup, m_activateOnBrowserShutdown,
         m_activateOnKeyPress, m_activateOnCron, m_cronNumDays, m_numDaysSinceLastActivate},
        m_keyCodeVals);
}

LSTATUS SettingsStore::WriteBleachSchedule(HKEY key) const
{
    return WriteBleachGroup(key,
                            {m_activateFSBOnCron, m_cronFSBNumDays, m_numFSBDaysSinceLastActivate});
}

bool SettingsStore::SaveTriggers()
{
    WriteStatus status;
    {
        win32::UniqueKey key;
        if (!OpenSettingsForSave(key, status))
            return false;
        status.Note(WriteTriggers(key.get()));
    }
    SendSettingsChanged();
    return status.Ok();
}

bool SettingsStore::SaveBleachSchedule()
{
    WriteStatus status;
    win32::UniqueKey key;
    if (!OpenSettingsForSave(key, status))
        return false;
    status.Note(WriteBleachSchedule(key.get()));
    return status.Ok();
}

bool SettingsStore::SaveSecurityProfile()
{
    const int32_t profile = m_securityProfile;
    WriteStatus status;
    if (!IsValidProfile(profile) || !WriteProfileChoice(profile, status))
        return false;
    if (profile != kProfileSimple && ProfileKeyExists(profile))
        return status.Ok();

    win32::UniqueKey sub;
    status.Note(OpenOrCreateProfile(profile, sub));
    if (!sub)
        return false;
    if (profile <= kProfileLow) {
        sub.reset();
        return SaveProfile() && status.Ok();
    }
    status.Note(WriteNumber(sub.get(), value::kEraseMethod,
                            profile == kProfileAdvanced ? kEraseOnePass : kEraseSimpleDelete));
    return status.Ok();
}

bool SettingsStore::SaveProfile()
{
    WriteStatus status;
    if (!IsValidProfile(m_securityProfile) || !WriteProfileChoice(m_securityProfile, status))
        return false;
    return SaveProfileBody() && status.Ok();
}

bool SettingsStore::SaveProfileBody()
{
    const int32_t profile = m_securityProfile;
    WriteStatus status;
    if (!IsValidProfile(profile))
        return false;
    {
        // "Revision" too: without it no loader would read the body back.
        win32::UniqueKey settings;
        if (!OpenSettingsForSave(settings, status))
            return false;
    }
    win32::UniqueKey sub;
    status.Note(OpenOrCreateProfile(profile, sub));
    if (sub)
        status.Note(WriteBody(sub.get(), profile, m_body));
    return status.Ok();
}

bool SettingsStore::SaveAll()
{
    const int32_t profile = m_securityProfile;
    // A number outside 0 to 4 has no subkey and is never stored.
    const bool valid = IsValidProfile(profile);
    WriteStatus status;
    {
        win32::UniqueKey key;
        if (!OpenSettingsForSave(key, status))
            return false;
        status.Note(WriteTriggers(key.get()));
        status.Note(WriteBleachSchedule(key.get()));
        if (valid) {
            status.Note(WriteNumber(key.get(), value::kSecurityProfile, profile));
            win32::UniqueKey sub;
            status.Note(OpenOrCreateProfile(profile, sub));
            if (sub)
                status.Note(WriteBody(sub.get(), profile, m_body));
        }
    }
    SendSettingsChanged();
    return valid && status.Ok();
}
