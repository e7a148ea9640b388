// The per-user settings record: triggers, schedule counters, key sequence,
// security profile and one profile body, with its registry layout under
// HKCU "Software\Ostervale\Scoravel\Settings", the protected-path test and
// the backup block. Each page, dialog or run builds its own record; there is
// no shared copy.
#pragma once

#include "settings/profile_body.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class SettingsStore {
public:
    SettingsStore();
    SettingsStore(const SettingsStore&) = default;
    SettingsStore& operator=(const SettingsStore&) = default;
    virtual ~SettingsStore() = default;

    // Profile.
    void SetSecurityProfile(int32_t profile);
    int32_t GetSecurityProfile() const { return m_securityProfile; }
    bool IsCustomProfile() const { return m_securityProfile > kProfileLow; }
    void ClearProfileBody();
    const ProfileBody& Body() const { return m_body; }

    // Key sequence: the key text, then "+CTRL", "+ALT", "+SHIFT" as chosen.
    void SetKeySequence(bool ctrl, bool alt, bool shift, const std::wstring& key);
    std::wstring GetKeyCodeVals() const { return m_keyCodeVals; }

    // Lists.
    void AddFileEntry(const std::wstring& path, bool confirm);
    void AddExcludeEntry(const std::wstring& path);
    int GetFilesAndFoldersCount() const { return static_cast<int>(m_body.filesAndFolders.size()); }
    int GetExcludeListCount() const { return static_cast<int>(m_body.excludeList.size()); }
    // Past the end: an empty string, and `confirm` is left alone.
    std::wstring GetFileEntry(int index, bool& confirm) const;
    std::wstring GetExcludeEntry(int index) const;
    void ClearFilesAndFolders() { m_body.filesAndFolders.clear(); }
    void ClearExcludeList() { m_body.excludeList.clear(); }

    // Triggers and schedules.
    bool GetActivateOnSystemShutdown() const { return m_activateOnSystemShutdown; }
    void SetActivateOnSystemShutdown(bool on) { m_activateOnSystemShutdown = on; }
    bool GetActivateOnBrowserStartup() const { return m_activateOnBrowserStartup; }
    void SetActivateOnBrowserStartup(bool on) { m_activateOnBrowserStartup = on; }
    bool GetActivateOnBrowserShutdown() const { return m_activateOnBrowserShutdown; }
    void SetActivateOnBrowserShutdown(bool on) { m_activateOnBrowserShutdown = on; }
    bool GetActivateOnKeyPress() const { return m_activateOnKeyPress; }
    void SetActivateOnKeyPress(bool on) { m_activateOnKeyPress = on; }
    bool GetActivateOnCron() const { return m_activateOnCron; }
    void SetActivateOnCron(bool on) { m_activateOnCron = on; }
    int32_t GetCronNumDays() const { return m_cronNumDays; }
    void SetCronNumDays(int32_t value) { m_cronNumDays = value; }
    bool GetActivateFSBOnCron() const { return m_activateFSBOnCron; }
    void SetActivateFSBOnCron(bool on) { m_activateFSBOnCron = on; }
    int32_t GetCronFSBNumDays() const { return m_cronFSBNumDays; }
    void SetCronFSBNumDays(int32_t value) { m_cronFSBNumDays = value; }
    int32_t GetEraseMethod() const { return m_body.eraseMethod; }
    void SetEraseMethod(int32_t method) { m_body.eraseMethod = method; }

    bool GetShred(TraceKind kind) const { return m_body.shred[kind]; }
    void SetShred(TraceKind kind, bool on) { m_body.shred[kind] = on; }
    bool GetConfirm(TraceKind kind) const { return m_body.confirm[kind]; }
    void SetConfirm(TraceKind kind, bool on) { m_body.confirm[kind] = on; }

#define SCORAVEL_TRACE_FLAG_ACCESSORS(Kind) \
    bool GetShred##Kind() const             \
    {                                       \
        return GetShred(k##Kind);           \
    }                                       \
    void SetShred##Kind(bool on)            \
    {                                       \
        SetShred(k##Kind, on);              \
    }                                       \
    bool GetConfirmShred##Kind() const      \
    {                                       \
        return GetConfirm(k##Kind);         \
    }                                       \
    void SetConfirmShred##Kind(bool on)     \
    {                                       \
        SetConfirm(k##Kind, on);            \
    }
    SCORAVEL_TRACE_FLAG_ACCESSORS(BrowseHistory)
    SCORAVEL_TRACE_FLAG_ACCESSORS(BrowseURL)
    SCORAVEL_TRACE_FLAG_ACCESSORS(Cookies)
    SCORAVEL_TRACE_FLAG_ACCESSORS(AutoComplete)
    SCORAVEL_TRACE_FLAG_ACCESSORS(TempIntFiles)
    SCORAVEL_TRACE_FLAG_ACCESSORS(Recycle)
    SCORAVEL_TRACE_FLAG_ACCESSORS(RecentMenu)
    SCORAVEL_TRACE_FLAG_ACCESSORS(RecentOfficeDocs)
    SCORAVEL_TRACE_FLAG_ACCESSORS(RecentMP)
    SCORAVEL_TRACE_FLAG_ACCESSORS(RecentRP)
    SCORAVEL_TRACE_FLAG_ACCESSORS(TempFiles)
#undef SCORAVEL_TRACE_FLAG_ACCESSORS

    // Registry layout, group by group. Loaders return false and leave the
    // record as it was when the Settings key is missing or its "Revision" is
    // not 2. Savers return false when any key or value of their group could
    // not be written; they still write every other value of the group.
    bool LoadTriggers();
    bool LoadBleachSchedule();
    bool LoadSecurityProfile();
    bool LoadProfile();
    bool LoadAll(int32_t profile);
    bool SaveTriggers();
    bool SaveBleachSchedule();
    bool SaveSecurityProfile();
    bool SaveProfile();
    // The current profile's subkey alone (and "Revision"): what a dialog that
    // edits one profile saves without changing which profile is current.
    bool SaveProfileBody();
    bool SaveAll();

    // The shredding program's and the service's one-pass read of everything:
    // triggers, schedule, the stored profile number and that profile's body.
    bool LoadCurrent();

    // Protected paths: the system drive's root, files directly in it, the
    // Windows and program folders, and "*.dll" files.
    bool IsProtectedPath(const std::wstring& path);
    // The canonical full form the test works on: callers shred exactly this.
    // False when the path cannot be made canonical (callers must refuse it).
    static bool CanonicalPath(const std::wstring& path, std::wstring& canonical);
    static std::wstring GetWindowsPattern();
    static std::wstring GetProgramFilesPattern();
    static std::wstring GetProgramFilesX86Pattern();
    const std::array<std::wstring, 4>& ProtectedPatterns() const
    {
        return m_patterns;
    }

    // Backup block of the whole settings (every profile) for the host's
    // backup and restore. False, with `block` untouched, when a text it
    // carries cannot be held exactly in the block's code page (the ANSI one)
    // or the block is one the restore would refuse.
    bool WriteBackupBlob(std::vector<BYTE>& block);
    // Validates the whole block first; a malformed block changes nothing and
    // gives false. A valid block is written in full; false as well when any
    // of its writes failed.
    bool ReadBackupBlob(const BYTE* block, size_t cbBlock);

private:
    // The protected-path rules applied to a path already made canonical.
    bool IsProtectedCanonical(const std::wstring& canonical);
    void CopyBuiltInBody(int32_t profile);
    // Savers' pieces: each writes its whole value group and returns the
    // first failed write.
    LSTATUS WriteTriggers(HKEY key) const;
    LSTATUS WriteBleachSchedule(HKEY key) const;

    bool m_activateOnSystemShutdown = false;
    bool m_activateOnBrowserStartup = false;
    bool m_activateOnBrowserShutdown = false;
    bool m_activateOnKeyPress = false;
    std::wstring m_keyCodeVals;
    bool m_activateOnCron = false;
    int32_t m_cronNumDays = 0;
    int32_t m_numDaysSinceLastActivate = 0;
    bool m_activateFSBOnCron = false;
    int32_t m_cronFSBNumDays = 0;
    int32_t m_numFSBDaysSinceLastActivate = 0;
    int32_t m_securityProfile = kProfileSimple;
    ProfileBody m_body;
    std::array<std::wstring, 4> m_patterns;

    friend class SettingsRegistryIo;
};

// Tells a running shredding program that the settings changed (it reloads
// its hot key). Sends nothing when the program's window does not exist.
void SendSettingsChanged();
