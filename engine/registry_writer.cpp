// The writer's registry and URL-cache deletes.
#include "engine/eraser.h"
#include "resources/engine/text_ids.h"
#include "win32/registry.h"

#include <wininet.h>

#include <vector>

namespace {

struct UrlCacheFindTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::FindCloseUrlCache(h); }
};
using UniqueUrlCacheFind = win32::UniqueHandle<UrlCacheFindTraits>;

constexpr int32_t kTemporaryInternetFilesFlag = 4;

HKEY RootFor(const std::wstring& rootName)
{
    if (rootName == L"HKEY_CURRENT_USER")
        return HKEY_CURRENT_USER;
    if (rootName == L"HKEY_LOCAL_MACHINE")
        return HKEY_LOCAL_MACHINE;
    if (rootName == L"HKEY_USERS")
        return HKEY_USERS;
    return HKEY_CLASSES_ROOT;
}

// "", "\" and the like would name the root itself.
bool NamesWholeRoot(const std::wstring& subkey)
{
    return subkey.find_first_not_of(L'\\') == std::wstring::npos;
}

}  // namespace

bool Eraser::DeleteRegistryEntry(RegistryEntry* entry)
{
    if (!entry)
        return false;
    bool anyDeleted = false;
    for (const RegistryEntry::Item& item : entry->GetItems()) {
        const std::wstring& keyPath = item.first;
        const std::wstring& valueName = item.second;
        const size_t slash = keyPath.find(L'\\');
        const std::wstring rootName = keyPath.substr(0, slash);
        const std::wstring subkey =
            slash == std::wstring::npos ? std::wstring() : keyPath.substr(slash + 1);
        const HKEY root = RootFor(rootName);

        // A user can make any key of their own hive a link to a key of
        // another user or of the machine: these deletes never follow one.
        if (valueName.empty()) {
            if (NamesWholeRoot(subkey)) {
                LogTextLine(IDS_LOG_KEY_DELETE_FAILED, {rootName, subkey}, ERROR_INVALID_PARAMETER,
                            true);
                continue;
            }
            const LSTATUS status = win32::DeleteTreeNoLinks(root, subkey.c_str());
            if (status != ERROR_SUCCESS) {
                LogTextLine(IDS_LOG_KEY_DELETE_FAILED, {rootName, subkey},
                            static_cast<DWORD>(status), true);
                continue;
            }
            anyDeleted = true;
            if (m_successLogging)
                LogTextLine(IDS_LOG_KEY_DELETED, {rootName, subkey});
        } else {
            const LSTATUS status =
                win32::DeleteValueNoLinks(root, subkey.c_str(), valueName.c_str());
            if (status != ERROR_SUCCESS) {
                LogTextLine(IDS_LOG_VALUE_DELETE_FAILED, {rootName, subkey, valueName},
                            static_cast<DWORD>(status), true);
                continue;
            }
            anyDeleted = true;
            if (m_successLogging)
                LogTextLine(IDS_LOG_VALUE_DELETED, {rootName, subkey, valueName});
        }
    }
    return anyDeleted;
}

int32_t Eraser::DeleteUrlCacheEntries(int32_t flags)
{
    if (!(flags & kTemporaryInternetFilesFlag))
        return flags;

    DWORD cbEntry = 0;
    {
        UniqueUrlCacheFind probe(::FindFirstUrlCacheEntryW(nullptr, nullptr, &cbEntry));
        if (probe || cbEntry == 0)
            return flags;
    }
    std::vector<BYTE> buffer(cbEntry);
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    UniqueUrlCacheFind find(::FindFirstUrlCacheEntryW(nullptr, entry, &cbEntry));
    if (!find)
        return flags;

    const std::wstring inUseText = LoadLogText(IDS_LOG_IN_USE);
    const std::wstring notOnDiskText = LoadLogText(IDS_LOG_URL_NOT_ON_DISK);
    for (;;) {
        const wchar_t* url = entry->lpszSourceUrlName;
        if (url && !::DeleteUrlCacheEntryW(url) && !wcsstr(url, L"http:///")) {
            const DWORD error = ::GetLastError();
            // A cached URL is any page's text: no line break of its own may
            // reach the log.
            const std::wstring safeUrl = LogSafeText(url);
            if (error == ERROR_ACCESS_DENIED)
                LogError(FormatLogText(L"%s : %s ", {inUseText, safeUrl}), 0, false);
            else if (error == ERROR_FILE_NOT_FOUND)
                LogError(FormatLogText(L"%s : %s ", {notOnDiskText, safeUrl}), 0, false);
        }
        cbEntry = static_cast<DWORD>(buffer.size());
        bool advanced = ::FindNextUrlCacheEntryW(find.get(), entry, &cbEntry);
        // Each retry has strictly more room than the one before.
        while (!advanced && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
               cbEntry > buffer.size()) {
            buffer.resize(cbEntry);
            entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
            advanced = ::FindNextUrlCacheEntryW(find.get(), entry, &cbEntry);
        }
        // No more entries, or an error that more room would not cure.
        if (!advanced)
            break;
    }
    return flags & ~kTemporaryInternetFilesFlag;
}
