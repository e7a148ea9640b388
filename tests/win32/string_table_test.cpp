#include "win32/string_table.h"

#include <gtest/gtest.h>

namespace {

HMODULE Self()
{
    return ::GetModuleHandleW(nullptr);
}

TEST(StringTable, PicksTheRequestedLanguageAndFallsBackToEnglish)
{
    const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL);
    EXPECT_EQ(L"Vernichtung abgeschlossen", win32::LoadTableString(Self(), 100, german));
    EXPECT_EQ(L"Shred complete", win32::LoadTableString(Self(), 100, win32::kEnglishLanguage));
    // German lacks 101; French has no table at all.
    EXPECT_EQ(L"Only in English", win32::LoadTableString(Self(), 101, german));
    const LANGID french = MAKELANGID(LANG_FRENCH, SUBLANG_NEUTRAL);
    EXPECT_EQ(L"Shred complete", win32::LoadTableString(Self(), 100, french));
}

TEST(StringTable, ReadsOtherBlocksAndMissingIds)
{
    EXPECT_EQ(L"Block eight, \"quoted\"", win32::LoadTableString(Self(), 117, 1033));
    EXPECT_EQ(L"", win32::LoadTableString(Self(), 102, 1033));
    EXPECT_EQ(L"", win32::LoadTableString(Self(), 4000, 1033));
}

TEST(StringTable, MapsWindowsLanguagesToTheProductOnes)
{
    EXPECT_EQ(7, win32::ProductLanguageFor(0x0C07));     // de-AT
    EXPECT_EQ(7, win32::ProductLanguageFor(0x0407));     // de-DE
    EXPECT_EQ(5, win32::ProductLanguageFor(0x0405));     // cs-CZ
    EXPECT_EQ(17, win32::ProductLanguageFor(0x0411));    // ja-JP
    EXPECT_EQ(1046, win32::ProductLanguageFor(0x0816));  // pt-PT
    EXPECT_EQ(1028, win32::ProductLanguageFor(0x0C04));  // zh-HK
    EXPECT_EQ(2052, win32::ProductLanguageFor(0x1004));  // zh-SG
    EXPECT_EQ(1033, win32::ProductLanguageFor(0x0809));  // en-GB
    EXPECT_EQ(1033, win32::ProductLanguageFor(0x0419));  // ru-RU
}

}  // namespace
