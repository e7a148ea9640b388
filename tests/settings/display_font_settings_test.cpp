// "DisplayFontSettings" through the user's settings key: stored text of any
// shape reads by the one rule, and what the writer stores reads back
// unchanged. (The text the plug-in writes: tests/plugin/pages_test.cpp; what
// the windows paint from it: tests/program/ui/display_settings_test.cpp.)
#include "settings/display_font_settings.h"

#include "tests/common/registry_sandbox.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

using testsupport::kSettingsKey;

auto Fields(const DisplaySettings& s)
{
    return std::make_tuple(s.background, s.text, s.fontSize, s.fourth, s.faceName);
}

using DisplayFontSettings = testsupport::ProductRegistryTest;

TEST_F(DisplayFontSettings, StoredTextReadsByTheOneRule)
{
    const struct {
        const wchar_t* stored;
        DisplaySettings read;
    } cases[] = {
        {L"", {}},
        // An empty field is skipped, so every later value moves up one.
        {L"16777215::8", {0xFFFFFF, 8, 0, 0, L""}},
        // Leading digits count; the face ends at the next colon.
        {L"12px:x9: +7:-2:Segoe:UI:5", {12, 0, 7, -2, L"Segoe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.stored)));
        testsupport::PutString(HKEY_CURRENT_USER, kSettingsKey, L"DisplayFontSettings", c.stored);
        EXPECT_EQ(Fields(c.read), Fields(ReadDisplaySettings()));
    }
}

// Colours past the signed range are written as the negative numbers the
// reader takes back; the face is not cut.
TEST_F(DisplayFontSettings, WrittenSettingsReadBackUnchanged)
{
    const DisplaySettings written{0xFFFFFFFF, 0x80000000, -9, -1, std::wstring(300, L'F')};
    ASSERT_EQ(ERROR_SUCCESS, WriteDisplaySettings(written));
    EXPECT_EQ(Fields(written), Fields(ReadDisplaySettings()));
}

}  // namespace
