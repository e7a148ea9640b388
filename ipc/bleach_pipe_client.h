// The client end of the bleach service's pipes, for every program that talks
// to the service: open a pipe (waiting while it is busy), write a control
// message, read a status reply or progress report.
//
// A pipe name is only a name: whoever serves it first gets the clients. So a
// client never lets the server act as the client (it may only identify it),
// and asks for no more than it uses, which on a pipe never includes the right
// to create an instance of it (FILE_APPEND_DATA there), part of GENERIC_WRITE.
#pragma once

#include "win32/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Which way a pipe carries messages, seen from the client.
enum class BleachPipeRole {
    Control,  // the client writes requests
    Reply,    // the client reads status replies or progress reports
};

// The access each role opens with: the data it moves, the attributes
// (SetNamedPipeHandleState needs the write right), and waiting on the handle.
inline constexpr DWORD kControlPipeClientAccess =
    FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
inline constexpr DWORD kReplyPipeClientAccess = FILE_GENERIC_READ | FILE_WRITE_ATTRIBUTES;
// The server learns who the client is, and no more.
inline constexpr DWORD kBleachPipeClientFlags = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
// How long an open waits in all while every instance of the pipe is busy.
inline constexpr DWORD kBleachPipeBusyWaitMs = 20000;

DWORD BleachPipeClientAccess(BleachPipeRole role);

// Opens an existing bleach pipe and puts it into message read mode. While
// every instance is busy it waits and tries again, kBleachPipeBusyWaitMs in
// all. False (and `pipe` untouched) when the pipe does not exist, stays busy,
// refuses the open or the mode.
bool OpenBleachPipe(const std::wstring& name, BleachPipeRole role, win32::UniqueFile& pipe);

// Puts the pipe into message read mode and writes one control message
// "$OVSC$:<command>:<pid>:<tid>" with its NUL whole.
bool WriteControlMessage(HANDLE pipe, int32_t command, int32_t processId, int32_t threadId);

// Reads one status reply or progress report whole (blocking) and stores its
// value in `value` when it is meant for `processId`/`threadId`. False only
// when the connection is gone; any other unusable reply leaves `value` as
// it was.
bool ReadBleachReply(HANDLE pipe, int32_t& value, int32_t processId, int32_t threadId);
