#include "tests/common/open_recorder.h"

#include <mutex>

namespace testsupport {

namespace {

using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);

std::mutex g_lock;
CreateFileWFn g_system = nullptr;
std::vector<RecordedOpen> g_opens;

HANDLE WINAPI RecordingCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                   DWORD flagsAndAttributes, HANDLE templateFile)
{
    CreateFileWFn system = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        system = g_system;
        try {
            g_opens.push_back({name ? name : L"", access, flagsAndAttributes});
        } catch (...) {
            // A record lost; the call itself still goes through.
        }
    }
    // Keeps the error of the system's call, whatever the record did.
    return system(name, access, share, security, disposition, flagsAndAttributes, templateFile);
}

using CreateNamedPipeWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                           LPSECURITY_ATTRIBUTES);

CreateNamedPipeWFn g_systemCreatePipe = nullptr;
std::vector<RecordedPipeCreate> g_creates;

HANDLE WINAPI RecordingCreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode,
                                        DWORD maxInstances, DWORD cbOut, DWORD cbIn,
                                        DWORD defaultTimeoutMs, LPSECURITY_ATTRIBUTES security)
{
    CreateNamedPipeWFn system = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        system = g_systemCreatePipe;
    }
    const HANDLE pipe =
        system(name, openMode, pipeMode, maxInstances, cbOut, cbIn, defaultTimeoutMs, security);
    const DWORD error = ::GetLastError();
    {
        std::lock_guard<std::mutex> lock(g_lock);
        try {
            g_creates.push_back({name ? name : L"", openMode, pipeMode, maxInstances,
                                 pipe != INVALID_HANDLE_VALUE, error});
        } catch (...) {
            // A record lost; the call itself went through.
        }
    }
    ::SetLastError(error);
    return pipe;
}

}  // namespace

void** ImportSlotOf(void* target)
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
             thunk->u1.Function != 0; ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) == target)
                return reinterpret_cast<void**>(&thunk->u1.Function);
        }
    }
    return nullptr;
}

bool ExchangeImport(void** slot, void* value)
{
    DWORD protection = 0;
    if (!::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection))
        return false;
    *slot = value;
    DWORD unused = 0;
    ::VirtualProtect(slot, sizeof(*slot), protection, &unused);
    return true;
}

bool IdentificationOnly(const RecordedOpen& open)
{
    constexpr DWORD kLevelBits =
        SECURITY_ANONYMOUS | SECURITY_IDENTIFICATION | SECURITY_IMPERSONATION | SECURITY_DELEGATION;
    return (open.flagsAndAttributes & SECURITY_SQOS_PRESENT) != 0 &&
           (open.flagsAndAttributes & kLevelBits) == SECURITY_IDENTIFICATION;
}

bool AsksToCreateInstances(const RecordedOpen& open)
{
    return (open.access & (FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED)) != 0;
}

OpenRecorder::OpenRecorder()
{
    void* system = reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CreateFileW"));
    void** slot = system ? ImportSlotOf(system) : nullptr;
    if (!slot)
        return;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_system = reinterpret_cast<CreateFileWFn>(system);
        g_opens.clear();
    }
    if (!ExchangeImport(slot, reinterpret_cast<void*>(&RecordingCreateFileW)))
        return;
    m_slot = slot;
    m_original = system;
}

OpenRecorder::~OpenRecorder()
{
    // The system's function stays in g_system: a call already in the
    // recorder finishes there.
    if (m_slot)
        ExchangeImport(m_slot, m_original);
}

PipeCreateRecorder::PipeCreateRecorder()
{
    void* system = reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CreateNamedPipeW"));
    void** slot = system ? ImportSlotOf(system) : nullptr;
    if (!slot)
        return;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_systemCreatePipe = reinterpret_cast<CreateNamedPipeWFn>(system);
        g_creates.clear();
    }
    if (!ExchangeImport(slot, reinterpret_cast<void*>(&RecordingCreateNamedPipeW)))
        return;
    m_slot = slot;
    m_original = system;
}

PipeCreateRecorder::~PipeCreateRecorder()
{
    if (m_slot)
        ExchangeImport(m_slot, m_original);
}

std::vector<RecordedPipeCreate> PipeCreateRecorder::CreatesOf(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<RecordedPipeCreate> creates;
    for (const RecordedPipeCreate& create : g_creates)
        if (::CompareStringOrdinal(create.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            creates.push_back(create);
    return creates;
}

std::vector<RecordedOpen> OpenRecorder::OpensOf(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<RecordedOpen> opens;
    for (const RecordedOpen& open : g_opens)
        if (::CompareStringOrdinal(open.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            opens.push_back(open);
    return opens;
}

}  // namespace testsupport
