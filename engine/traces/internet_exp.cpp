#include "engine/traces/browser.h"
#include "engine/traces/trace_folder.h"
#include "resources/engine/text_ids.h"
#include "settings/install_location.h"
#include "win32/path.h"
#include "win32/unique_handle.h"

#include <shlobj.h>

namespace {

constexpr wchar_t kTypedUrlsKey[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr wchar_t kIntelliFormsKey[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\IntelliForms";
constexpr wchar_t kJumpListFolder[] = L"CustomDestinations";

}  // namespace

HRESULT InternetExp::CallRegistrationEntry(const char* entryName)
{
    // Only the copy in the install folder may run: a bare name would take
    // whatever "Tessick.dll" the search order finds first, beginning with the
    // program's own folder.
    const std::wstring folder = InstallFolderOrDefault();
    if (!IsFullPath(folder))
        return E_FAIL;
    const std::wstring library = win32::JoinPath(folder, kIEExtensionLibrary);
    if (!win32::FitsMaxPath(library))
        return E_FAIL;
    win32::UniqueModule module(
        ::LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module)
        return E_FAIL;

    using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();
    const FARPROC proc = ::GetProcAddress(module.get(), entryName);
    if (!proc)
        return E_FAIL;
    const auto entry = reinterpret_cast<RegistrationEntry>(reinterpret_cast<void (*)()>(proc));
    const HRESULT hr = entry();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT InternetExp::InstallExtension()
{
    return CallRegistrationEntry("DllRegisterServer");
}

HRESULT InternetExp::RemoveExtension()
{
    return CallRegistrationEntry("DllUnregisterServer");
}

bool InternetExp::HasJumpListFolder(DWORD majorVersion, DWORD minorVersion)
{
    return majorVersion == 6 && minorVersion != 0;
}

namespace {

// A registry asset that names one whole key.
std::unique_ptr<IDAsset> MakeKeyAsset(const std::wstring& name, const wchar_t* keyPath,
                                      bool confirm)
{
    auto entry = std::make_unique<RegistryEntry>();
    entry->SetName(name);
    entry->SetConfirm(confirm);
    entry->AddItem(keyPath, L"");
    return entry;
}

std::unique_ptr<IDAsset> MakeRefused(const std::wstring& name, const std::wstring& folder,
                                     bool confirm)
{
    auto refused = MakeRefusedTrace(folder);
    refused->SetName(name);
    refused->SetConfirm(confirm);
    return refused;
}

// A browser folder that the browser may hold files of open: its contents
// are listed with the in-use test, and the folder itself stays.
std::unique_ptr<IDAsset> MakeHeldFolderAsset(const std::wstring& name, const std::wstring& folder,
                                             bool confirm)
{
    if (!IsTraceFolderAllowed(folder))
        return MakeRefused(name, folder, confirm);
    auto asset = std::make_unique<DocFolder>();
    asset->SetName(name);
    asset->SetConfirm(confirm);
    asset->SetPath(folder, true);
    asset->SetRemoveSelf(false);
    return asset;
}

}  // namespace

std::unique_ptr<IDAsset> InternetExp::MakeUrlListAsset(bool confirm)
{
    return MakeKeyAsset(TraceName(IDS_IE_URL_LIST), kTypedUrlsKey, confirm);
}

std::unique_ptr<IDAsset> InternetExp::MakeAutoCompleteAsset(bool confirm)
{
    return MakeKeyAsset(TraceName(IDS_IE_AUTOCOMPLETE), kIntelliFormsKey, confirm);
}

std::unique_ptr<IDAsset> InternetExp::MakeTempFilesAsset(bool confirm)
{
    std::wstring folder;
    if (!ShellFolder(CSIDL_INTERNET_CACHE, folder))
        return nullptr;
    return MakeHeldFolderAsset(TraceName(IDS_IE_TEMP_FILES), folder, confirm);
}

std::unique_ptr<IDAsset> InternetExp::MakeCookiesAsset(bool confirm)
{
    std::wstring folder;
    if (!ShellFolder(CSIDL_COOKIES, folder))
        return nullptr;
    return MakeHeldFolderAsset(TraceName(IDS_IE_COOKIES), folder, confirm);
}

std::unique_ptr<IDAsset> InternetExp::MakeHistoryAsset(bool confirm)
{
    std::wstring history;
    if (!ShellFolder(CSIDL_HISTORY, history))
        return nullptr;
    const std::wstring name = TraceName(IDS_IE_HISTORY);

    // The version this program is told, as the shell itself sees it.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    std::wstring recent;
    std::wstring jumpLists;
    if (::GetVersionExW(&version) &&
        HasJumpListFolder(version.dwMajorVersion, version.dwMinorVersion) &&
        ShellFolder(CSIDL_RECENT, recent)) {
        jumpLists = win32::JoinPath(recent, kJumpListFolder);
        if (!win32::FitsMaxPath(jumpLists))
            jumpLists.clear();
    }
    // Both folders are checked before either is listed.
    for (const std::wstring& folder : {history, jumpLists}) {
        if (!folder.empty() && !IsTraceFolderAllowed(folder))
            return MakeRefused(name, folder, confirm);
    }

    auto list = std::make_unique<DocFileList>();
    list->SetName(name);
    // Before the folders are added: each takes the list's flag.
    list->SetConfirm(confirm);
    list->SetRemoveSelf(false);
    list->AddFolder(history, false);
    if (!jumpLists.empty())
        list->AddFolder(jumpLists, false);
    return list;
}
