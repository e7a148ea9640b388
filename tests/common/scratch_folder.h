// A fresh, uniquely named folder under the test prefix's temp folder, removed
// with everything in it when the test ends. Links inside it are removed as
// links; their targets are never touched.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& relative) const { return m_path + L"\\" + relative; }

private:
    std::wstring m_path;
};

// Makes `folder` the process's current folder until the scope ends. Declare
// it after the ScratchFolder it enters: a current folder cannot be removed.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const std::wstring& folder);
    ~CurrentFolderScope();
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

    bool Entered() const { return m_entered; }

private:
    wchar_t m_previous[MAX_PATH] = {};
    bool m_entered = false;
};

// Small file helpers for tests.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool PathExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

}  // namespace testsupport
