// Where the product is installed, and the machine-wide switches the
// installer leaves under the product key.
#pragma once

#include <string>

// HKLM "Software\Ostervale\Scoravel", read only by the suite.
inline constexpr wchar_t kProductKeyPath[] = L"Software\\Ostervale\\Scoravel";
// The per-user settings below HKCU.
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Ostervale\\Scoravel\\Settings";
// Used when "InstallLocation" is missing.
inline constexpr wchar_t kDefaultInstallFolder[] = L"C:\\Program Files\\Ostervale\\Scoravel";

// "InstallLocation" under the machine key, or an empty string.
std::wstring ReadInstallLocation();

// "InstallLocation", or the default folder when it is missing or empty.
std::wstring InstallFolderOrDefault();

// "EnableSuccessLogging": on when the lowest byte of the stored value is not 0.
bool ReadEnableSuccessLogging();
