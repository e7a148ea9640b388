#include "engine/traces/browser.h"
#include "engine/traces/trace_folder.h"
#include "resources/engine/text_ids.h"
#include "settings/install_location.h"
#include "win32/path.h"
#include "win32/registry.h"
#include "win32/number_text.h"

#include <shlobj.h>

#include <string>

namespace {

constexpr wchar_t kProfileListTail[] = L"\\Mozilla\\FireFox\\profiles.ini";
constexpr wchar_t kRelativeProfilesTail[] = L"\\Mozilla\\FireFox\\Profiles\\";
constexpr wchar_t kCacheSuffix[] = L"\\Cache";
// A profile list is a few hundred bytes; anything far larger is not one.
constexpr LONGLONG kMaxProfileListBytes = 1024 * 1024;

std::wstring Trim(const std::wstring& text)
{
    constexpr wchar_t kBlanks[] = L" \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// "Key=value" (blanks around the equals sign allowed): the value, trimmed.
bool ValueOf(const std::wstring& line, const std::wstring& key, std::wstring& value)
{
    if (line.compare(0, key.size(), key) != 0)
        return false;
    const size_t equals = line.find_first_not_of(L" \t", key.size());
    if (equals == std::wstring::npos || line[equals] != L'=')
        return false;
    value = Trim(line.substr(equals + 1));
    return true;
}

// The profile list as 8-bit text, one character per byte. False when it
// cannot be opened or measured; a failed read gives an empty text.
bool ReadProfileList(const std::wstring& path, std::wstring& text)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return false;
    text.clear();
    if (size.QuadPart <= 0 || size.QuadPart > kMaxProfileListBytes)
        return true;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD cbRead = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &cbRead, nullptr))
        return true;
    bytes.resize(cbRead);
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return true;
}

}  // namespace

struct FireFox::ProfileTrace {
    UINT nameId;
    const wchar_t* currentSuffix;  // Firefox 3 and later
    const wchar_t* olderSuffix;
    const wchar_t* notInstalledLine;
};

FireFox::FireFox()
{
    win32::UniqueKey key;
    std::wstring version;
    if (win32::OpenKey(HKEY_LOCAL_MACHINE, kFirefoxMachineKey, KEY_QUERY_VALUE, key) !=
            ERROR_SUCCESS ||
        win32::ReadString(key.get(), L"CurrentVersion", version) != ERROR_SUCCESS)
        return;
    m_majorVersion = win32::LeadingNumber(version);

    if (version.empty())
        return;
    const std::wstring mainPath = std::wstring(kFirefoxMachineKey) + L"\\" + version + L"\\Main";
    win32::UniqueKey main;
    std::wstring installDirectory;
    m_installed =
        win32::OpenKey(HKEY_LOCAL_MACHINE, mainPath.c_str(), KEY_QUERY_VALUE, main) ==
            ERROR_SUCCESS &&
        win32::ReadString(main.get(), L"Install Directory", installDirectory) == ERROR_SUCCESS &&
        !installDirectory.empty();
}

HRESULT FireFox::InstallExtension()
{
    if (!m_installed)
        return E_FAIL;
    std::wstring folder = ReadInstallLocation();
    if (folder.empty()) {
        folder = kDefaultInstallFolder;
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return E_FAIL;
    }
    // Firefox resolves the value itself: it must be a full path, and whole.
    const std::wstring extensionFolder = win32::JoinPath(folder, kFirefoxExtensionFolder);
    if (!IsFullPath(folder) || !win32::FitsMaxPath(extensionFolder))
        return E_FAIL;

    win32::UniqueKey key;
    if (win32::CreateKey(HKEY_CURRENT_USER, kFirefoxExtensionsKey, KEY_SET_VALUE, key) !=
            ERROR_SUCCESS ||
        win32::WriteString(key.get(), kFirefoxExtensionId, extensionFolder) != ERROR_SUCCESS)
        return E_FAIL;
    return S_OK;
}

HRESULT FireFox::RemoveExtension()
{
    if (!m_installed)
        return E_FAIL;
    win32::UniqueKey key;
    if (win32::OpenKey(HKEY_CURRENT_USER, kFirefoxExtensionsKey, KEY_SET_VALUE, key) !=
        ERROR_SUCCESS)
        return E_FAIL;
    const LSTATUS status = ::RegDeleteValueW(key.get(), kFirefoxExtensionId);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}

std::unique_ptr<DocFileList> FireFox::ReadProfiles(const std::wstring& suffix) const
{
    std::wstring appData;
    if (!ShellFolder(CSIDL_APPDATA, appData))
        return nullptr;
    const std::wstring listPath = appData + kProfileListTail;
    std::wstring text;
    if (!win32::FitsMaxPath(listPath) || !ReadProfileList(listPath, text))
        return nullptr;

    // The cache lives with the local (not roaming) part of the profile.
    const bool cache = suffix == kCacheSuffix;
    std::wstring base;
    const bool haveBase = ShellFolder(cache ? CSIDL_LOCAL_APPDATA : CSIDL_APPDATA, base);

    auto list = std::make_unique<DocFileList>();
    std::wstring isRelative;  // carries over until the next such line
    // Only whole lines count: text after the last line feed is not read.
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1) {
        const std::wstring line = Trim(text.substr(start, end - start));
        std::wstring value;
        if (ValueOf(line, L"IsRelative", value)) {
            isRelative = value;
            continue;
        }
        // An empty path would name a folder at the drive root; a control
        // character (a NUL, a bare CR) names no file at all.
        if (!ValueOf(line, L"Path", value) || value.empty() || win32::HasControlCharacter(value))
            continue;

        std::wstring target;
        if (isRelative == L"1") {
            if (!haveBase)
                return nullptr;
            const size_t slash = value.rfind(L'/');
            const std::wstring leaf = slash == std::wstring::npos ? value : value.substr(slash + 1);
            if (leaf.empty())
                continue;
            target = base + kRelativeProfilesTail + leaf + suffix;
        } else {
            // Never resolved against the current folder.
            if (!IsFullPath(value))
                continue;
            target = value + suffix;
        }
        if (!win32::FitsMaxPath(target))
            continue;
        if (cache && !IsTraceFolderAllowed(target))
            return MakeRefusedTrace(target);
        if (cache)
            list->AddFolder(target, false);
        else
            list->AddFile(target);
    }
    return list;
}

std::unique_ptr<IDAsset> FireFox::MakeProfileAsset(const ProfileTrace& trace, bool confirm) const
{
    if (!m_installed) {
        ::OutputDebugStringW(trace.notInstalledLine);
        return nullptr;
    }
    auto list = ReadProfiles(m_majorVersion >= 3 ? trace.currentSuffix : trace.olderSuffix);
    if (!list)
        return nullptr;
    list->SetName(TraceName(trace.nameId));
    list->SetConfirm(confirm);
    return list;
}

std::unique_ptr<IDAsset> FireFox::MakeTempFilesAsset(bool confirm)
{
    static const ProfileTrace trace{IDS_FIREFOX_TEMP_FILES, kCacheSuffix, kCacheSuffix,
                                    L"TempInternetFiles : FireFox browser is not installed.\n"};
    return MakeProfileAsset(trace, confirm);
}

std::unique_ptr<IDAsset> FireFox::MakeUrlListAsset(bool confirm)
{
    static const ProfileTrace trace{IDS_FIREFOX_URL_LIST, L"\\places.sqlite", L"\\history.dat",
                                    L"URL_List : FireFox browser is not installed.\n"};
    return MakeProfileAsset(trace, confirm);
}

std::unique_ptr<IDAsset> FireFox::MakeHistoryAsset(bool confirm)
{
    static const ProfileTrace trace{IDS_FIREFOX_HISTORY, L"\\places.sqlite", L"\\history.dat",
                                    L"History : FireFox browser is not installed.\n"};
    return MakeProfileAsset(trace, confirm);
}

std::unique_ptr<IDAsset> FireFox::MakeAutoCompleteAsset(bool confirm)
{
    static const ProfileTrace trace{IDS_FIREFOX_AUTOCOMPLETE, L"\\formhistory.sqlite",
                                    L"\\formhistory.dat",
                                    L"AutoComplete : FireFox browser is not installed.\n"};
    return MakeProfileAsset(trace, confirm);
}

std::unique_ptr<IDAsset> FireFox::MakeCookiesAsset(bool confirm)
{
    static const ProfileTrace trace{IDS_FIREFOX_COOKIES, L"\\cookies.sqlite", L"\\cookies.txt",
                                    L"Cookies : FireFox browser is not installed.\n"};
    return MakeProfileAsset(trace, confirm);
}
