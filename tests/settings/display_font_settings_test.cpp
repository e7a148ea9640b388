// "DisplayFontSettings" through the user's settings key: what the writer
// stores is what the readers get back, and stored text of any shape reads
// by the one rule.
#include "settings/display_font_settings.h"

#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

using testsupport::kSettingsKey;

const std::wstring kLongFace(300, L'F');

// What the reader gets from the settings key now.
void ExpectRead(const DisplaySettings& expected)
{
    const DisplaySettings read = ReadDisplaySettings();
    EXPECT_EQ(expected.background, read.background);
    EXPECT_EQ(expected.text, read.text);
    EXPECT_EQ(expected.fontSize, read.fontSize);
    EXPECT_EQ(expected.fourth, read.fourth);
    EXPECT_EQ(expected.faceName, read.faceName);
}

struct TextCase {
    const char* name;
    std::wstring stored;
    DisplaySettings read;
};

const TextCase kTextCases[] = {
    {"Full", L"0:16777215:10:3:Arial", {0, 0xFFFFFF, 10, 3, L"Arial"}},
    {"Empty", L"", {}},
    // An empty field is skipped, so every later value moves up one.
    {"EmptyFieldSkipped", L"16777215::8", {0xFFFFFF, 8, 0, 0, L""}},
    {"OnlyColons", L"::::", {0, 0, 0, 0, L""}},
    {"FourNumbersNoFace", L"1:2:3:4", {1, 2, 3, 4, L""}},
    {"LeadingDigitsCount", L"12px:x9: +7:-2:Tahoma", {12, 0, 7, -2, L"Tahoma"}},
    {"SignedColours", L"-1:-2147483648:8:0:Arial", {0xFFFFFFFF, 0x80000000, 8, 0, L"Arial"}},
    {"HeldToTheSignedRange",
     L"99999999999:-99999999999:4294967296:0:A",
     {0x7FFFFFFF, 0x80000000, 0x7FFFFFFF, 0, L"A"}},
    // The face ends at the next colon; later fields are ignored.
    {"FaceEndsAtAColon", L"1:2:3:4:Segoe:UI:5", {1, 2, 3, 4, L"Segoe"}},
    {"LongFaceWhole", L"1:2:3:4:" + kLongFace, {1, 2, 3, 4, kLongFace}},
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << c.name;
}

class StoredDisplayText : public testsupport::ProductRegistryTest,
                          public ::testing::WithParamInterface<TextCase> {};

TEST_P(StoredDisplayText, ReadsByTheOneRule)
{
    const TextCase& c = GetParam();
    testsupport::PutString(HKEY_CURRENT_USER, kSettingsKey, L"DisplayFontSettings", c.stored);
    ExpectRead(c.read);
}

INSTANTIATE_TEST_SUITE_P(Settings, StoredDisplayText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RoundTripCase {
    const char* name;
    DisplaySettings written;
    std::wstring stored;
};

const RoundTripCase kRoundTripCases[] = {
    {"Defaults", {}, L"16777215:0:8:0:MS Shell Dlg"},
    {"HighColoursAsSigned",
     {0xFFFFFFFF, 0x80000000, 12, 3, L"Arial"},
     L"-1:-2147483648:12:3:Arial"},
    {"NegativeSizeAndFourth", {0x102030, 0xFF, -9, -1, L"Tahoma"}, L"1056816:255:-9:-1:Tahoma"},
    {"LongFace", {1, 2, 3, 4, kLongFace}, L"1:2:3:4:" + kLongFace},
};

void PrintTo(const RoundTripCase& c, std::ostream* out)
{
    *out << c.name;
}

class WrittenDisplaySettings : public testsupport::ProductRegistryTest,
                               public ::testing::WithParamInterface<RoundTripCase> {};

// Written as a REG_SZ with its NUL, into a settings key that did not exist,
// and read back unchanged.
TEST_P(WrittenDisplaySettings, AreStoredAsTextAndReadBack)
{
    const RoundTripCase& c = GetParam();
    ASSERT_EQ(ERROR_SUCCESS, WriteDisplaySettings(c.written));
    const testsupport::RawValue raw =
        testsupport::GetRaw(HKEY_CURRENT_USER, kSettingsKey, L"DisplayFontSettings");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
    const std::wstring withNul = c.stored + L'\0';
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(withNul.c_str()),
                          withNul.size() * sizeof(wchar_t)),
              raw.bytes);

    ExpectRead(c.written);
}

INSTANTIATE_TEST_SUITE_P(Settings, WrittenDisplaySettings, ::testing::ValuesIn(kRoundTripCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
