// The bleach service's three pipes and their messages, for the service and
// for its clients alike.
//
//   control  (clients write)  "$OVSC$:<command>:<process id>:<thread id>" with its NUL
//   status   (clients read)   "<process id>:<thread id>:<status>" and ONE zero byte
//   progress (clients read)   "<process id>:<thread id>:<percent>" and ONE zero byte
//
// Every text is UTF-16 and every number decimal. A reply is therefore
// 2 x length + 1 bytes long, not 2 x length + 2.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr wchar_t kBleachControlPipe[] = L"\\\\.\\pipe\\OVSCBleachControl";
inline constexpr wchar_t kBleachStatusPipe[] = L"\\\\.\\pipe\\OVSCBleachStatus";
inline constexpr wchar_t kBleachProgressPipe[] = L"\\\\.\\pipe\\OVSCBleachProgress";

enum BleachCommand : int32_t {
    kStopBleach = 0x1010,
    kStartBleach = 0x1020,
    kSubscribeProgress = 0x1030,
    kUnsubscribeProgress = 0x1040,
    kRegisterDesktopIcon = 0x1050,
    kUnregisterDesktopIcon = 0x1060,
};

// Status of a queued request.
inline constexpr int32_t kRequestDone = 1;
inline constexpr int32_t kRequestNew = 3;
inline constexpr int32_t kRequestFailed = 4;

inline constexpr wchar_t kControlMarker[] = L"$OVSC$";
// The longest control message the service reads, and its reply buffer.
inline constexpr DWORD kCbControlMessageMax = 8192;
inline constexpr size_t kCchReplyBuffer = 4096;
// In and out buffers of every pipe instance.
inline constexpr DWORD kCbPipeBuffer = 4096;

bool IsBleachCommand(int32_t code);

// The control message as a client writes it: the text and its NUL.
std::string FormatControlMessage(int32_t command, int32_t processId, int32_t threadId);

// Reads "$OVSC$:<command>:<pid>:<tid>". The marker must match exactly and
// the command must be one of the six codes; the ids are read from their
// leading digits (0 when a part does not start with a number). The outputs
// are written only for a valid message.
bool ParseControlMessage(const std::wstring& text, int32_t& command, int32_t& processId,
                         int32_t& threadId);

// A status reply or progress report: the UTF-16 text and one zero byte.
std::string FormatReply(int32_t processId, int32_t threadId, int32_t value);

// Reads a status reply or progress report text "<pid>:<tid>:<value>": the
// text is split at its first two ":" and each field read from its leading
// digits, as the service reads control messages. False, with nothing
// written, when the text has fewer than two ":".
bool ParseReply(const std::wstring& text, int32_t& processId, int32_t& threadId, int32_t& value);
