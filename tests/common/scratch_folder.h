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

// Small file helpers for tests.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool PathExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

}  // namespace testsupport
