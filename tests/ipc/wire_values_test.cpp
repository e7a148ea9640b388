// The numbers other programs send and expect: Graventa's window-text codes,
// the bleach pipes' commands and statuses, the balloon ids the tray acts on.
// A renumbered name here breaks a peer built from another version.
#include "ipc/bleach_protocol.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"

#include <gtest/gtest.h>

namespace {

struct WireValue {
    const char* name;
    long long value;
    long long literal;
};

void PrintTo(const WireValue& value, std::ostream* out) { *out << value.name; }

class WireValues : public ::testing::TestWithParam<WireValue> {};

TEST_P(WireValues, KeepTheirLiteralNumbers)
{
    EXPECT_EQ(GetParam().literal, GetParam().value) << GetParam().name;
}

#define WIRE(name, literal)                            \
    WireValue                                          \
    {                                                  \
#name, static_cast < long long>(name), literal \
    }

INSTANTIATE_TEST_SUITE_P(
    AllPeers, WireValues,
    ::testing::Values(WIRE(kCommandShredOne, 0xBABE01), WIRE(kCommandShredAll, 0xBABE02),
                      WIRE(kCommandBleach, 0xBABE03), WIRE(kCommandInternetExplorer, 0xBABE04),
                      WIRE(kCommandFirefox, 0xBABE05), WIRE(kCommandReloadHotKey, 0xBABE06),
                      WIRE(kCommandUnregisterIcon, 0xBABE07),
                      WIRE(kCommandShredAllUnattended, 0xBABE08),
                      WIRE(kCommandBleachFromVerb, 0xBABE09),
                      WIRE(kCommandShowShredProgress, 0xBABE10),
                      WIRE(kCommandShowBleachProgress, 0xBABE11), WIRE(kStopBleach, 0x1010),
                      WIRE(kStartBleach, 0x1020), WIRE(kSubscribeProgress, 0x1030),
                      WIRE(kUnsubscribeProgress, 0x1040), WIRE(kRegisterDesktopIcon, 0x1050),
                      WIRE(kUnregisterDesktopIcon, 0x1060), WIRE(kRequestDone, 1),
                      WIRE(kRequestNew, 3), WIRE(kRequestFailed, 4),
                      WIRE(kBalloonShredAllStarts, 26), WIRE(kBalloonShredStartsOrStopped, 27),
                      WIRE(kBalloonShredEnds, 28), WIRE(kBalloonBrowserTriggerOn, 29),
                      WIRE(kBalloonBleachStarts, 42), WIRE(kBalloonBleachEnds, 44),
                      WIRE(kCbControlMessageMax, 8192), WIRE(kTrayMessageBytes, 8192)),
    [](const ::testing::TestParamInfo<WireValue>& info) { return std::string(info.param.name); });

#undef WIRE

}  // namespace
