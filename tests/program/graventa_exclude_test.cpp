// The "do not shred" list against real shred-all runs of the resident
// Graventa.exe: an excluded item survives however its exclude entry, or the
// "Files and Folders" entry above it, is spelled.
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"
#include "tests/common/tray_recorder.h"
#include "tests/program/graventa_test_support.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace graventatest {
namespace {

constexpr int kProgressStop = 1002;
constexpr char kExcludedLine[] = "added to the do not shred list.\r\n";

std::wstring ShortPathOf(const std::wstring& path)
{
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD cch = ::GetShortPathNameW(path.c_str(), shortPath, ARRAYSIZE(shortPath));
    // No short name that differs: nothing to test (the row then fails).
    if (cch == 0 || cch >= ARRAYSIZE(shortPath) || path == shortPath)
        return std::wstring();
    return std::wstring(shortPath, cch);
}

std::wstring WithSlashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// One row's folder: the item to keep, in a folder whose long name differs
// from its short one, and a control file beside it.
struct Layout {
    std::wstring root;        // the "Files and Folders" entry, plainly spelled
    std::wstring keptFile;    // root\kept folder name\kept file name.txt
    std::wstring keptFolder;  // root\kept folder name
    std::wstring control;     // root\control.bin
};

using Spelling = std::function<std::wstring(const Layout&)>;

struct Case {
    const char* what;
    Spelling files;     // the "Files and Folders" entry (or entries, see alsoControl)
    Spelling excluded;  // the exclude entry
    // The path the run logs as kept; none for an entry of the list itself,
    // which a run passes over without a word.
    Spelling logged;
    bool alsoControl;  // the control file is a "Files and Folders" entry of its own
};

using ExcludeList = GraventaTest;

TEST_F(ExcludeList, KeepsTheExcludedItemHoweverEitherEntryIsSpelled)
{
    const auto root = [](const Layout& l) { return l.root; };
    const auto file = [](const Layout& l) { return l.keptFile; };
    const auto folder = [](const Layout& l) { return l.keptFolder; };
    const Case cases[] = {
        {"folder with a trailing separator", root,
         [](const Layout& l) { return l.keptFolder + L"\\"; }, folder},
        {"file behind a dot", root,
         [](const Layout& l) { return l.root + L"\\.\\kept folder name\\kept file name.txt"; },
         file},
        {"folder behind a dot", root,
         [](const Layout& l) { return l.root + L"\\.\\kept folder name"; }, folder},
        {"file with a doubled separator", root,
         [](const Layout& l) { return l.keptFolder + L"\\\\kept file name.txt"; }, file},
        {"folder with a doubled separator", root,
         [](const Layout& l) { return l.root + L"\\\\kept folder name"; }, folder},
        {"file by its short name", root, [](const Layout& l) { return ShortPathOf(l.keptFile); },
         file},
        {"folder by its short name", root,
         [](const Layout& l) { return ShortPathOf(l.keptFolder); }, folder},
        {"file in the long-path form", root,
         [](const Layout& l) { return L"\\\\?\\" + l.keptFile; }, file},
        {"folder in the long-path form", root,
         [](const Layout& l) { return L"\\\\?\\" + l.keptFolder; }, folder},
        {"files entry with forward slashes", [](const Layout& l) { return WithSlashes(l.root); },
         file, file},
        {"files entry through a parent step",
         [](const Layout& l) {
             const size_t name = l.root.rfind(L'\\');
             return l.root + L"\\..\\" + l.root.substr(name + 1);
         },
         folder, folder},
        {"file listed itself, its folder excluded", file, folder, nullptr, true},
    };

    testsupport::TrayRecorder balloons;
    ASSERT_TRUE(balloons.Ready());
    StartResident();
    size_t runs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Layout l;
        l.root = data / (L"row" + std::to_wstring(runs));
        l.keptFolder = l.root + L"\\kept folder name";
        l.keptFile = l.keptFolder + L"\\kept file name.txt";
        l.control = l.root + L"\\control.bin";
        ASSERT_TRUE(::CreateDirectoryW(l.root.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(l.keptFolder.c_str(), nullptr));
        Put(l.keptFile, 1500);
        Put(l.control, 2500);
        const std::wstring excluded = c.excluded(l);
        ASSERT_FALSE(excluded.empty()) << "no short name";

        TestProfile profile{.files = {c.files(l)}, .excluded = {excluded}};
        if (c.alsoControl)
            profile.files.push_back(l.control);
        SaveProfile(profile);
        ASSERT_TRUE(SendMainWindowCommand(kCommandShredAll, nullptr));
        ASSERT_TRUE(balloons.WaitForBalloon(kBalloonShredEnds, ++runs));
        // The run is over once its progress window is gone; only then does
        // the next request start a run of its own.
        ASSERT_TRUE(WaitUntil([&] { return !FindDialogOf(resident.Id(), kProgressStop); }));

        ASSERT_TRUE(LogIsComplete());
        const std::string text = ReadText(log);
        EXPECT_TRUE(Untouched({l.keptFile})) << text;
        EXPECT_TRUE(NoneLeft({l.control})) << text;
        if (c.logged)
            EXPECT_NE(text.find(kExcludedLine + Narrow(c.logged(l))), std::string::npos) << text;
        else
            EXPECT_EQ(text.find(Narrow(l.keptFile)), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace graventatest
