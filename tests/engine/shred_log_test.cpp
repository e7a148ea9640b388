// The shred log: banner, the success-logging switch, system texts, and how
// paths reach the file (ANSI, CR LF, "%" as it stands).
#include "engine/erase_methods.h"
#include "resources/engine/text_ids.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/system_text.h"
#include "tests/engine/erase_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

using enginetest::Ansi;
using enginetest::LogFile;
using enginetest::SetSuccessLogging;
using enginetest::TestRun;
using ::testing::HasSubstr;
using testsupport::PathExists;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

class ShredLogTest : public testsupport::ProductRegistryTest {
protected:
    ScratchFolder scratch;
    LogFile log;
    TestRun run;
};

TEST_F(ShredLogTest, BannerCarriesTheLocalTimeWithoutLeadingZeros)
{
    OneX eraser;
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    SYSTEMTIME after{};
    ::GetLocalTime(&after);
    const std::string text = log.Read(eraser);

    const std::regex banner(
        "\r\n\\*{100}\r\nDATE - ([1-9][0-9]?)/([1-9][0-9]?)/([0-9]{4})  TIME - "
        "([1-9]?[0-9]):([1-9]?[0-9]):([1-9]?[0-9]) \r\n\\*{100}\r\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, banner)) << text;
    const auto field = [&](int i) { return std::stoi(match[i].str()); };
    bool matchesOne = false;
    for (const SYSTEMTIME& t : {before, after}) {
        matchesOne |= field(1) == t.wMonth && field(2) == t.wDay && field(3) == t.wYear &&
                      field(4) == t.wHour && field(5) == t.wMinute && field(6) == t.wSecond;
    }
    EXPECT_TRUE(matchesOne) << text;
}

TEST_F(ShredLogTest, OpeningAgainStartsANewFileAndNoLogMeansNoLines)
{
    ASSERT_TRUE(WriteFileBytes(log.Path(), std::string(5000, 'x')));
    OneX eraser;
    eraser.LogError(L"before", 0, false);
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.WriteLogLine(L"first run\n");
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    EXPECT_EQ(log.ReadBody(eraser), "");
    EXPECT_FALSE(eraser.IsLogOpen());
    eraser.WriteLogLine(L"after close\n");

    OneX nowhere;
    EXPECT_FALSE(nowhere.OpenLog(scratch / L"missing-folder\\log.txt"));
    EXPECT_FALSE(nowhere.IsLogOpen());
}

struct SwitchCase {
    const char* name;
    bool present;
    DWORD value;
    bool on;
};

void PrintTo(const SwitchCase& c, std::ostream* os)
{
    *os << c.name;
}

class SuccessLoggingTest : public ShredLogTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SuccessLoggingTest, SuccessLinesNeedTheSwitchsLowestByte)
{
    const SwitchCase c = GetParam();
    if (c.present)
        SetSuccessLogging(c.value);
    const std::wstring key =
        L"Software\\ScoravelEraseTests\\Log" + std::to_wstring(::GetCurrentProcessId());
    testsupport::PutString(HKEY_CURRENT_USER, key, L"Value", L"x");
    ASSERT_TRUE(::CreateDirectoryW((scratch / L"d").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(scratch / L"d\\a", "abc"));

    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    EXPECT_EQ(eraser.IsSuccessLoggingOn(), c.on);
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    RegistryEntry entry;
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key, L"Value");
    entry.AddItem(L"HKEY_CURRENT_USER\\" + key, L"");
    DocFolder folder;
    folder.SetPath(scratch / L"d", false);
    eraser.Erase(&folder);
    eraser.Erase(&entry);
    EXPECT_FALSE(PathExists(scratch / L"d"));

    const std::string body = log.ReadBody(eraser);
    if (!c.on) {
        EXPECT_EQ(body, "");
        return;
    }
    const std::string k = Ansi(key);
    EXPECT_EQ(body, "\r\n->File " + Ansi(scratch / L"d\\P") + " has been shredded:\r\n" +
                        "\r\n->Folder " + Ansi(scratch / L"S") + " has been shredded:\r\n" +
                        "\r\n->Successfully deleted registry value - HKEY_CURRENT_USER\\" + k +
                        "\\Value:\r\n" +
                        "\r\n->Successfully deleted registry key - HKEY_CURRENT_USER\\" + k +
                        ":\r\n");
}

INSTANTIATE_TEST_SUITE_P(Values, SuccessLoggingTest,
                         ::testing::Values(SwitchCase{"Missing", false, 0, false},
                                           SwitchCase{"Zero", true, 0, false},
                                           SwitchCase{"One", true, 1, true},
                                           SwitchCase{"OnlyHighBits", true, 256, false},
                                           SwitchCase{"LowAndHigh", true, 257, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShredLogTest, SystemTextFollowsTheLineOrUnknownStandsInForIt)
{
    OneX eraser;
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.LogError(L"\n->known:\n", ERROR_ACCESS_DENIED, true);
    eraser.LogError(L"\n->unknown:\n", 0x2FFFFF01, true);
    eraser.LogError(L"\n->plain\n", ERROR_ACCESS_DENIED, false);

    const std::string denied = testsupport::SystemText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    // The system's own CR LF is not doubled.
    EXPECT_EQ(denied.substr(denied.size() - 2), "\r\n");
    EXPECT_EQ(log.ReadBody(eraser), "\r\n->known:\r\n" + denied +
                                        "\r\n->unknown:\r\n\r\n->Error unknown.\r\n" +
                                        "\r\n->plain\r\n");
}

TEST_F(ShredLogTest, PathsAreWrittenAsTheyStand)
{
    // "%" in a name is text, not a format; a missing file shows it in full.
    const std::wstring percent = scratch / L"100%s %d %% %n.txt";
    DocFile missing;
    missing.SetPath(percent);
    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.Erase(&missing);
    EXPECT_THAT(log.ReadBody(eraser), ::testing::StartsWith("\r\n->File " + Ansi(scratch.Path()) +
                                                            "\\100%s %d %% %n.txt not found:\r\n"));
}

// A path may hold any character another program put there; in the log a
// control character shows as "?", so that it can neither end its line nor
// start a line of its own.
TEST_F(ShredLogTest, ControlCharactersInPathsNeverReachTheLog)
{
    // NUL, bare CR, LF, tab, escape, DEL, next line, line and paragraph separators.
    const wchar_t cases[] = {L'\0', L'\r', L'\n', L'\t', L'\x1b', L'\x7f', L'\x85', L'\x2028', L'\x2029'};
    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    for (const wchar_t c : cases) {
        DocFile missing;
        missing.SetPath(scratch / (L"a" + std::wstring(1, c) + L"b.txt"));
        eraser.Erase(&missing);
        // The shred manager's own lines take the same way.
        eraser.LogTextLine(IDS_LOG_NOT_FULL_PATH, {L"x" + std::wstring(1, c) + L"y"});
    }
    const std::string body = log.ReadBody(eraser);

    for (size_t i = 0; i < body.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(body[i]);
        const bool lineBreak = (b == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ||
                               (b == '\n' && i > 0 && body[i - 1] == '\r');
        EXPECT_TRUE(lineBreak || (b >= 0x20 && b != 0x7F)) << "byte " << int{b} << " at " << i;
    }
    const auto count = [&](const std::string& part) {
        size_t found = 0;
        for (size_t at = body.find(part); at != std::string::npos; at = body.find(part, at + 1))
            ++found;
        return found;
    };
    EXPECT_EQ(std::size(cases), count("\\a?b.txt")) << body;
    EXPECT_EQ(std::size(cases), count("->Entry x?y is not a full path")) << body;
    // Each line the writer wrote, and no other, starts with "->".
    EXPECT_EQ(2 * std::size(cases), count("->")) << body;
}

TEST_F(ShredLogTest, NonAsciiPathsAreConvertedToTheAnsiCodePage)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "expectations are written for code page 1252, this is " << ::GetACP();
    // e-acute exists in 1252, Cyrillic Zhe and A-macron do not.
    DocFile missing;
    missing.SetPath(scratch / L"caf\u00e9-\u0416\u0100.txt");
    OneX eraser;
    eraser.SetProgress(&run.Reporter());
    ASSERT_TRUE(eraser.OpenLog(log.Path()));
    eraser.Erase(&missing);
    EXPECT_THAT(log.ReadBody(eraser), HasSubstr("\\caf\xE9-??.txt not found:\r\n"));
}

}  // namespace
