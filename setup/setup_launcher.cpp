#include "setup/setup_launcher.h"

#include "settings/install_location.h"
#include "settings/product_version.h"
#include "setup/started_program.h"
#include "win32/registry.h"
#include "win32/system_info.h"
#include "win32/unique_handle.h"

#include <cstdint>
#include <cwchar>
#include <string>
#include <utility>

namespace setuplaunch {

namespace {

constexpr wchar_t kPackage[] = L"OVSCSetup.msi";
constexpr char kHighVersionName[] = "Product_HighVer";
constexpr char kLowVersionName[] = "Product_LowVer";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The whole file as bytes; false when it cannot be opened or read.
bool ReadWholeFile(const wchar_t* path, std::string& bytes)
{
    const win32::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string result;
    char chunk[16384];
    for (;;) {
        DWORD cbRead = 0;
        if (!::ReadFile(file.get(), chunk, sizeof(chunk), &cbRead, nullptr))
            return false;
        if (cbRead == 0)
            break;
        result.append(chunk, cbRead);
    }
    bytes = std::move(result);
    return true;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The installer's exit code, or the error that kept it from starting:
// setup has no window to report either in.
DWORD StartInstaller(const std::wstring& parameters, bool silent)
{
    const std::wstring installer = win32::SystemProgramPath(kInstallerFileName);
    if (installer.empty())
        return ERROR_PATH_NOT_FOUND;
    DWORD exitCode = 0;
    const DWORD error =
        setupprog::StartAndWait(installer, parameters, silent ? SW_HIDE : SW_SHOW, exitCode);
    return error == ERROR_SUCCESS ? exitCode : error;
}

std::wstring InstallParameters(LANGID language, bool silent)
{
    std::wstring parameters =
        std::wstring(L"/i ") + kPackage + L" TRANSFORMS=" + std::to_wstring(language) + L".mst";
    return silent ? parameters + L" /qn" : parameters;
}

std::wstring RepairParameters(bool silent)
{
    return std::wstring(L"/i ") + kPackage + (silent ? L" /qn" : L"") +
           L" REINSTALL=ALL REINSTALLMODE=vomus INSTALLMODE=\"forced\"";
}

std::wstring UninstallParameters(bool silent)
{
    return std::wstring(L"/x ") + kPackage + (silent ? L" /qn" : L"");
}

DWORD RepairIfNewer(bool silent)
{
    return PackageIsNewer() ? StartInstaller(RepairParameters(silent), silent) : ERROR_SUCCESS;
}

DWORD InstallOrRepair(bool silent)
{
    if (ProductIsInstalled())
        return RepairIfNewer(silent);
    return StartInstaller(
        InstallParameters(TransformLanguage(::GetUserDefaultUILanguage()), silent), silent);
}

DWORD Uninstall(bool silent)
{
    return ProductIsInstalled() ? StartInstaller(UninstallParameters(silent), silent)
                                : ERROR_SUCCESS;
}

}  // namespace

Action ActionFor(const wchar_t* commandLine)
{
    const wchar_t* line = commandLine ? commandLine : L"";
    const bool silent = std::wcsstr(line, L"/s") != nullptr;
    const bool remove = std::wcsstr(line, L"/x") != nullptr;
    if (remove)
        return silent ? Action::kSilentUninstall : Action::kUninstall;
    return silent ? Action::kSilentInstallOrRepair : Action::kInstallOrRepair;
}

DWORD VersionField(std::string_view line)
{
    const size_t comma = line.rfind(',');
    std::string_view field = comma == std::string_view::npos ? line : line.substr(comma + 1);
    size_t at = 0;
    while (at < field.size() && IsBlank(field[at]))
        ++at;
    bool negative = false;
    if (at < field.size() && (field[at] == '+' || field[at] == '-'))
        negative = field[at++] == '-';
    // Held to the signed 32-bit range as the C library holds a long here.
    const std::int64_t limit = negative ? -std::int64_t{INT32_MIN} : INT32_MAX;
    std::int64_t value = 0;
    for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
        value = value * 10 + (field[at] - '0');
        if (value > limit)
            value = limit;
    }
    return static_cast<DWORD>(static_cast<std::int32_t>(negative ? -value : value));
}

Versions ParsePackageList(std::string_view text)
{
    Versions versions;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (line.find(kHighVersionName) != std::string_view::npos)
            versions.high = VersionField(line);
        if (line.find(kLowVersionName) != std::string_view::npos)
            versions.low = VersionField(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return versions;
}

Versions ReadPackageVersions()
{
    std::string text;
    if (!ReadWholeFile(kPackageListFile, text))
        return {};
    return ParsePackageList(text);
}

Versions ReadInstalledVersions()
{
    const ProductVersion version = ReadProductVersion();
    return {version.high.value_or(0), version.low.value_or(0)};
}

bool ProductIsInstalled()
{
    win32::UniqueKey key;
    return win32::OpenKey(HKEY_LOCAL_MACHINE, kInstalledKeyPath, KEY_QUERY_VALUE, key) ==
           ERROR_SUCCESS;
}

bool PackageIsNewer(const Versions& package, const Versions& installed)
{
    return package.high > installed.high ||
           (package.high == installed.high && package.low >= installed.low);
}

bool PackageIsNewer()
{
    return PackageIsNewer(ReadPackageVersions(), ReadInstalledVersions());
}

LANGID TransformLanguage(LANGID userInterfaceLanguage)
{
    LANGID language = userInterfaceLanguage;
    if (language == 3076)
        language = 1028;
    else if (language == 3082)
        language = 1034;
    return FileExists(std::to_wstring(language) + L".mst") ? language : kFallbackLanguage;
}

DWORD InstallOrRepair()
{
    return InstallOrRepair(false);
}

DWORD SilentInstallOrRepair()
{
    return InstallOrRepair(true);
}

DWORD Uninstall()
{
    return Uninstall(false);
}

DWORD SilentUninstall()
{
    return Uninstall(true);
}

DWORD RepairIfNewer()
{
    return RepairIfNewer(false);
}

DWORD SilentRepairIfNewer()
{
    return RepairIfNewer(true);
}

DWORD Run(Action action)
{
    switch (action) {
    case Action::kInstallOrRepair:
        return InstallOrRepair();
    case Action::kSilentInstallOrRepair:
        return SilentInstallOrRepair();
    case Action::kUninstall:
        return Uninstall();
    case Action::kSilentUninstall:
        return SilentUninstall();
    }
    return ERROR_INVALID_PARAMETER;
}

}  // namespace setuplaunch
