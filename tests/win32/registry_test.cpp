#include "win32/registry.h"

#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>

namespace {

using testsupport::kSettingsKey;

class RegistryRead : public testsupport::ProductRegistryTest {
protected:
    win32::UniqueKey Open()
    {
        win32::UniqueKey key;
        EXPECT_EQ(ERROR_SUCCESS,
                  win32::OpenKey(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE, key));
        return key;
    }
};

TEST_F(RegistryRead, DwordChecksTypeAndSizeAndKeepsTheOutputOnFailure)
{
    testsupport::PutDword(HKEY_CURRENT_USER, kSettingsKey, L"good", 0x12345678);
    const BYTE threeBytes[3] = {1, 2, 3};
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"short", REG_BINARY, threeBytes, 3);
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"shortdword", REG_DWORD, threeBytes, 3);
    const unsigned long long eight = 5;
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"qword", REG_QWORD, &eight, 8);
    testsupport::PutString(HKEY_CURRENT_USER, kSettingsKey, L"text", L"1");

    auto key = Open();
    DWORD value = 7;
    EXPECT_EQ(ERROR_SUCCESS, win32::ReadDword(key.get(), L"good", value));
    EXPECT_EQ(0x12345678u, value);
    for (const wchar_t* name : {L"short", L"shortdword", L"qword", L"text", L"missing"}) {
        value = 7;
        EXPECT_NE(ERROR_SUCCESS, win32::ReadDword(key.get(), name, value)) << name;
        EXPECT_EQ(7u, value) << name;
    }
}

TEST_F(RegistryRead, StringIsTerminatedEvenWhenStoredWithoutNul)
{
    const wchar_t noNul[] = {L'a', L'b', L'c'};
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"nonul", REG_SZ, noNul, sizeof(noNul));
    const char oddBytes[] = {'x', 0, 'y'};
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"odd", REG_SZ, oddBytes, 3);
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"empty", REG_SZ, nullptr, 0);
    const DWORD number = 3;
    testsupport::PutRaw(HKEY_CURRENT_USER, kSettingsKey, L"number", REG_DWORD, &number, 4);

    auto key = Open();
    std::wstring text = L"keep";
    EXPECT_EQ(ERROR_SUCCESS, win32::ReadString(key.get(), L"nonul", text));
    EXPECT_EQ(L"abc", text);
    EXPECT_EQ(ERROR_SUCCESS, win32::ReadString(key.get(), L"odd", text));
    EXPECT_EQ(L"x", text.substr(0, 1));
    EXPECT_EQ(ERROR_SUCCESS, win32::ReadString(key.get(), L"empty", text));
    EXPECT_EQ(L"", text);
    text = L"keep";
    EXPECT_EQ(ERROR_INVALID_DATATYPE, win32::ReadString(key.get(), L"number", text));
    EXPECT_EQ(L"keep", text);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, win32::ReadString(key.get(), L"missing", text));
    EXPECT_EQ(L"keep", text);
}

TEST_F(RegistryRead, StringWriteCountsTheNul)
{
    win32::UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, win32::CreateKey(HKEY_CURRENT_USER, kSettingsKey, KEY_SET_VALUE, key));
    ASSERT_EQ(ERROR_SUCCESS, win32::WriteString(key.get(), L"v", L"ab"));
    ASSERT_EQ(ERROR_SUCCESS, win32::WriteString(key.get(), L"e", L""));
    auto raw = testsupport::GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"v");
    EXPECT_EQ(std::string("a\0b\0\0\0", 6), raw.bytes);
    EXPECT_EQ(2u, testsupport::GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"e").bytes.size());
}

}  // namespace
