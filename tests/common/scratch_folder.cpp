#include "tests/common/scratch_folder.h"

#include "win32/path.h"
#include "win32/unique_handle.h"

#include <atomic>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

std::wstring TempRoot()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD cch = ::GetTempPathW(ARRAYSIZE(temp), temp);
    EXPECT_GT(cch, 0u);
    EXPECT_LT(cch, ARRAYSIZE(temp));
    std::wstring root(temp, cch);
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    return root;
}

}  // namespace

ScratchFolder::ScratchFolder()
{
    static std::atomic<unsigned> counter{0};
    const std::wstring root = TempRoot() + L"\\scoravel-tests";
    ::CreateDirectoryW(root.c_str(), nullptr);
    for (;;) {
        m_path = root + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter);
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create scratch folder, error " << ::GetLastError();
            break;
        }
    }
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    // The "\\?\" form: a test file named "com1.txt" is a file, not a port.
    const std::wstring item = win32::ExtendedPath(path);
    const DWORD attributes = ::GetFileAttributesW(item.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesW(item.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(item.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        win32::UniqueFind find(::FindFirstFileW((item + L"\\*").c_str(), &found));
        if (find) {
            do {
                const std::wstring name = found.cFileName;
                // A name holding a separator would lead out of the folder.
                if (name != L"." && name != L".." &&
                    name.find_first_of(L"\\/") == std::wstring::npos)
                    RemoveTree(item + L"\\" + name);
            } while (::FindNextFileW(find.get(), &found));
        }
    }
    ::RemoveDirectoryW(item.c_str());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr) &&
                             written == bytes.size());
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return false;
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!data.empty() &&
        (!::ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
         read != data.size()))
        return false;
    bytes = std::move(data);
    return true;
}

CurrentFolderScope::CurrentFolderScope(const std::wstring& folder)
{
    const DWORD cch = ::GetCurrentDirectoryW(ARRAYSIZE(m_previous), m_previous);
    m_entered = cch > 0 && cch < ARRAYSIZE(m_previous) && ::SetCurrentDirectoryW(folder.c_str());
}

CurrentFolderScope::~CurrentFolderScope()
{
    if (m_entered)
        ::SetCurrentDirectoryW(m_previous);
}

bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace testsupport
