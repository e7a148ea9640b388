// Records every CreateFileW, or every CreateNamedPipeW, that code linked into
// the test program makes while a recorder lives: the name and the flags as
// the system got them. The calls go through to the system unchanged.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// The test program's import-table slot that holds `target` (a system
// function), or null; and the swap of what a slot calls.
void** ImportSlotOf(void* target);
bool ExchangeImport(void** slot, void* value);

struct RecordedOpen {
    std::wstring name;
    DWORD access = 0;
    DWORD flagsAndAttributes = 0;
};

// True when the open let a pipe's server only identify the client: quality
// of service given, at the identification level.
bool IdentificationOnly(const RecordedOpen& open);
// True when the access asked for holds the right to create an instance of a
// pipe (FILE_APPEND_DATA there), also inside a generic right.
bool AsksToCreateInstances(const RecordedOpen& open);

class OpenRecorder {
public:
    OpenRecorder();
    ~OpenRecorder();
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;

    // False when the program's import of CreateFileW could not be found.
    bool Installed() const { return m_slot != nullptr; }
    // The opens of `name` (compared without regard to case), in order.
    std::vector<RecordedOpen> OpensOf(const std::wstring& name) const;

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

struct RecordedPipeCreate {
    std::wstring name;
    DWORD openMode = 0;
    DWORD pipeMode = 0;
    DWORD maxInstances = 0;
    // Whether the system made the instance, and its error when not.
    bool made = false;
    DWORD error = 0;
};

// Flags the system does not check everywhere (Wine ignores
// FILE_FLAG_FIRST_PIPE_INSTANCE) can only be seen here.
class PipeCreateRecorder {
public:
    PipeCreateRecorder();
    ~PipeCreateRecorder();
    PipeCreateRecorder(const PipeCreateRecorder&) = delete;
    PipeCreateRecorder& operator=(const PipeCreateRecorder&) = delete;

    bool Installed() const { return m_slot != nullptr; }
    // The creates of `name` (compared without regard to case), in order.
    std::vector<RecordedPipeCreate> CreatesOf(const std::wstring& name) const;

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

}  // namespace testsupport
