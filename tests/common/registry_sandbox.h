// Registry helpers for tests: a clean product key per test, and a full dump
// of a key tree for before/after comparisons.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

namespace testsupport {

inline constexpr wchar_t kProductKey[] = L"Software\\Ostervale\\Scoravel";
inline constexpr wchar_t kSettingsKey[] = L"Software\\Ostervale\\Scoravel\\Settings";

// Removes the product keys under HKCU and HKLM; a link left there goes
// without what it leads to.
void ClearProductKeys();

// Makes root\path (below some key) a registry link to the existing key
// targetRoot\targetPath, as any user can in their own hive. Volatile: a
// leftover goes with the wineserver.
void PutLink(HKEY root, const std::wstring& path, HKEY targetRoot, const std::wstring& targetPath);
// Removes root\path and what really lies below it, never what a link leads
// to; a missing key is fine.
void RemoveTree(HKEY root, const std::wstring& path);

// Every key, value name, type and data byte below root\path, one line each,
// in a stable order; empty when the key does not exist.
std::wstring DumpKey(HKEY root, const std::wstring& path);

// Raw writes for planting values a saver would never write.
void PutRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
            DWORD cbData);
void PutDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
void PutString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value);

// Leaves root\path (which must exist) granting only reading and deleting:
// every write to it fails, the clean-up still removes it.
void MakeKeyReadOnly(HKEY root, const std::wstring& path);

struct RawValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string bytes;
};
RawValue GetRaw(HKEY root, const std::wstring& path, const wchar_t* name);
// A stored REG_DWORD of the user's settings key or one of its subkeys
// (`subkey` "\\Medium" ...); 0xDEAD when there is none.
DWORD SettingsDword(const std::wstring& subkey, const wchar_t* name);

// Base fixture: starts and ends every test with no product keys.
class ProductRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ClearProductKeys(); }
    void TearDown() override { ClearProductKeys(); }
};

}  // namespace testsupport
