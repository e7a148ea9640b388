// The numbers other programs send and expect: Graventa's window-text codes,
// the bleach pipes' commands and statuses, the balloon ids the tray acts on.
// A peer built from another version still speaks these numbers, so a renamed
// or reordered constant must not renumber them: the build stops here if one
// does. Nothing in this file runs.
#include "ipc/bleach_protocol.h"
#include "ipc/main_window_command.h"
#include "ipc/tray_notify_client.h"

static_assert(kCommandShredOne == 0xBABE01);
static_assert(kCommandShredAll == 0xBABE02);
static_assert(kCommandBleach == 0xBABE03);
static_assert(kCommandInternetExplorer == 0xBABE04);
static_assert(kCommandFirefox == 0xBABE05);
static_assert(kCommandReloadHotKey == 0xBABE06);
static_assert(kCommandUnregisterIcon == 0xBABE07);
static_assert(kCommandShredAllUnattended == 0xBABE08);
static_assert(kCommandBleachFromVerb == 0xBABE09);
static_assert(kCommandShowShredProgress == 0xBABE10);
static_assert(kCommandShowBleachProgress == 0xBABE11);

static_assert(kStopBleach == 0x1010);
static_assert(kStartBleach == 0x1020);
static_assert(kSubscribeProgress == 0x1030);
static_assert(kUnsubscribeProgress == 0x1040);
static_assert(kRegisterDesktopIcon == 0x1050);
static_assert(kUnregisterDesktopIcon == 0x1060);
static_assert(kRequestDone == 1);
static_assert(kRequestNew == 3);
static_assert(kRequestFailed == 4);
static_assert(kCbControlMessageMax == 8192);

static_assert(kBalloonShredAllStarts == 26);
static_assert(kBalloonShredStartsOrStopped == 27);
static_assert(kBalloonShredEnds == 28);
static_assert(kBalloonBrowserTriggerOn == 29);
static_assert(kBalloonBleachStarts == 42);
static_assert(kBalloonBleachEnds == 44);
static_assert(kTrayMessageBytes == 8192);
