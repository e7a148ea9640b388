// The few things a test build of a program may change, all here. The shipped
// programs never install seams, so they read no switch, environment variable
// or start argument for them; a test build (compiled with SCORAVEL_TEST_BUILD)
// installs the environment readers below before anything else runs.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

struct BuildSeams {
    // True: message boxes and modal dialogs that nobody answers fail at once
    // instead of waiting for a person.
    bool (*unattendedUi)() = nullptr;
    // Appended to each bleach pipe name, so that a test's clients and
    // server meet only each other.
    std::wstring (*bleachPipeSuffix)() = nullptr;
    // The pause, in milliseconds, before the shell is told that the desktop
    // icon was registered; `shipped` is the product's own pause.
    DWORD (*desktopIconPauseMs)(DWORD shipped) = nullptr;
};

void InstallBuildSeams(const BuildSeams& seams);
bool UnattendedUi();
std::wstring BleachPipeSuffix();
DWORD DesktopIconPauseMs(DWORD shipped);

#ifdef SCORAVEL_TEST_BUILD
// The test rig's switches. Read at every call: a test may change them while
// it runs.
inline constexpr wchar_t kUnattendedUiVariable[] = L"SCORAVEL_UNATTENDED_UI";
inline constexpr wchar_t kBleachPipeSuffixVariable[] = L"SCORAVEL_TEST_PIPES";
// Decimal milliseconds; unset or not a number keeps the shipped pause.
inline constexpr wchar_t kDesktopIconPauseVariable[] = L"SCORAVEL_TEST_ICON_PAUSE_MS";
// A start argument of the test build of the service: pipes with this suffix,
// and wipes only on a bounded test volume.
inline constexpr wchar_t kTestPipesArgument[] = L"/test-pipes:";

inline std::wstring TestVariable(const wchar_t* name)
{
    wchar_t value[64] = {};
    const DWORD cch = ::GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    // A value too long for the buffer is not taken half.
    return cch > 0 && cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
}

inline void InstallTestBuildSeams()
{
    BuildSeams seams;
    seams.unattendedUi = [] {
        const std::wstring value = TestVariable(kUnattendedUiVariable);
        return !value.empty() && value != L"0";
    };
    seams.bleachPipeSuffix = [] { return TestVariable(kBleachPipeSuffixVariable); };
    seams.desktopIconPauseMs = [](DWORD shipped) {
        const std::wstring value = TestVariable(kDesktopIconPauseVariable);
        if (value.empty() || value.size() > 6 ||
            value.find_first_not_of(L"0123456789") != std::wstring::npos)
            return shipped;
        return static_cast<DWORD>(std::stoul(value));
    };
    InstallBuildSeams(seams);
}
#endif

}  // namespace fw
