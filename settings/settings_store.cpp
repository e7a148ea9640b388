#include "settings/settings_store.h"

#include "ipc/main_window_command.h"

SettingsStore::SettingsStore()
{
    m_patterns[0] = GetWindowsPattern();
    m_patterns[1] = L"*.dll";
    m_patterns[2] = GetProgramFilesPattern();
    m_patterns[3] = GetProgramFilesX86Pattern();
}

void SettingsStore::CopyBuiltInBody(int32_t profile)
{
    const ProfileBody& builtIn = BuiltInProfiles()[profile];
    m_body.shred = builtIn.shred;
    m_body.confirm = builtIn.confirm;
    m_body.eraseMethod = builtIn.eraseMethod;
    m_body.filesAndFolders.clear();
    m_body.excludeList.clear();
}

void SettingsStore::SetSecurityProfile(int32_t profile)
{
    m_securityProfile = profile;
    if (profile >= kProfileHigh && profile <= kProfileLow)
        CopyBuiltInBody(profile);
}

void SettingsStore::ClearProfileBody()
{
    m_body.filesAndFolders.clear();
    m_body.excludeList.clear();
    m_body.shred.fill(false);
}

void SettingsStore::SetKeySequence(bool ctrl, bool alt, bool shift, const std::wstring& key)
{
    std::wstring sequence = key;
    if (ctrl)
        sequence += L"+CTRL";
    if (alt)
        sequence += L"+ALT";
    if (shift)
        sequence += L"+SHIFT";
    m_keyCodeVals = std::move(sequence);
}

void SettingsStore::AddFileEntry(const std::wstring& path, bool confirm)
{
    m_body.filesAndFolders.push_back({path, confirm});
}

void SettingsStore::AddExcludeEntry(const std::wstring& path)
{
    m_body.excludeList.push_back(path);
}

std::wstring SettingsStore::GetFileEntry(int index, bool& confirm) const
{
    if (index < 0 || index >= GetFilesAndFoldersCount())
        return {};
    confirm = m_body.filesAndFolders[index].confirm;
    return m_body.filesAndFolders[index].path;
}

std::wstring SettingsStore::GetExcludeEntry(int index) const
{
    if (index < 0 || index >= GetExcludeListCount())
        return {};
    return m_body.excludeList[index];
}

void SendSettingsChanged()
{
    // No broadcast when the program is not running: every other window that
    // passes WM_SETTEXT to default processing would take an empty title.
    SendMainWindowCommand(kCommandReloadHotKey, nullptr);
}
