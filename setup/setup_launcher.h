// The setup launcher: installs, repairs or removes the product package by
// starting the Windows Installer of the system folder once, with a command
// line chosen from the switches, the installed state, the user's language
// and the package's version list. The package, its language transforms and
// "setup.lst" are looked for in the current folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace setuplaunch {

inline constexpr wchar_t kInstalledKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{6D6ADF03-B257-4EA5-BBC1-1D145AF8D514}";
inline constexpr wchar_t kPackageListFile[] = L"setup.lst";
// Only ever started as the system folder's copy (win32::SystemProgramPath): a
// bare name would be looked for beside setup and in its current folder first.
inline constexpr wchar_t kInstallerFileName[] = L"msiexec.exe";
inline constexpr LANGID kFallbackLanguage = 1033;

struct Versions {
    DWORD high = 0;
    DWORD low = 0;
};

enum class Action { kInstallOrRepair, kSilentInstallOrRepair, kUninstall, kSilentUninstall };

// "/s" (silent) and "/x" (remove), each anywhere in the command line and in
// this letter case only.
Action ActionFor(const wchar_t* commandLine);

// The package's versions from the text of "setup.lst": the last line that
// names a version wins; a missing line gives 0.
Versions ParsePackageList(std::string_view text);
// The number after the last "," of `line` (the whole line without one), as
// the C library reads a decimal: leading blanks and a sign allowed, 0 when
// no digit follows, held to the 32-bit signed range.
DWORD VersionField(std::string_view line);

// The package's versions from "setup.lst" in the current folder; 0 and 0
// when the file cannot be read.
Versions ReadPackageVersions();
// "Product_HighVer" and "Product_LowVer" of the product key; 0 for a value
// that is missing or not a DWORD.
Versions ReadInstalledVersions();
bool ProductIsInstalled();

// The package is as new as the installed product or newer (unsigned).
bool PackageIsNewer(const Versions& package, const Versions& installed);
bool PackageIsNewer();

// The language whose transform is used: 3076 shows as 1028 and 3082 as
// 1034; a language without its "%d.mst" in the current folder gives 1033.
LANGID TransformLanguage(LANGID userInterfaceLanguage);

// Each gives the installer's exit code; ERROR_SUCCESS when nothing needed
// starting; the error that kept the installer from starting or from being
// waited for.
DWORD InstallOrRepair();
DWORD SilentInstallOrRepair();
DWORD Uninstall();
DWORD SilentUninstall();
DWORD RepairIfNewer();
DWORD SilentRepairIfNewer();

DWORD Run(Action action);

}  // namespace setuplaunch
