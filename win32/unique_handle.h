// Move-only owners for Win32 handles. Each alias knows its own "empty" value
// and how to close; nothing converts silently to the raw handle.
#pragma once

#include <windows.h>

#include <utility>

namespace win32 {

template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : m_value(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    explicit operator bool() const noexcept { return m_value != Traits::Invalid(); }
    pointer get() const noexcept { return m_value; }

    pointer release() noexcept { return std::exchange(m_value, Traits::Invalid()); }

    void reset(pointer value = Traits::Invalid()) noexcept
    {
        pointer old = std::exchange(m_value, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

    // For out-parameters: releases what is held, then lends the slot.
    pointer* put() noexcept
    {
        reset();
        return &m_value;
    }

private:
    pointer m_value = Traits::Invalid();
};

struct NullHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::FindClose(h); }
};

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::FreeLibrary(h); }
};

struct ServiceHandleTraits {
    using pointer = SC_HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseServiceHandle(h); }
};

// Memory the system hands out with LocalAlloc (FormatMessageW,
// ConvertSidToStringSidW, CommandLineToArgvW, security descriptors): typed,
// so that the owner reads as what it holds.
template <typename T>
struct LocalMemoryTraits {
    using pointer = T;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::LocalFree(reinterpret_cast<HLOCAL>(p)); }
};

// Events, mutexes, threads, processes, tokens.
using UniqueHandleNull = UniqueHandle<NullHandleTraits>;
// CreateFileW, CreateNamedPipeW.
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
// OpenSCManagerW, CreateServiceW, OpenServiceW.
using UniqueService = UniqueHandle<ServiceHandleTraits>;
// UniqueLocal<wchar_t*>, UniqueLocal<PSECURITY_DESCRIPTOR>, ...
template <typename T>
using UniqueLocal = UniqueHandle<LocalMemoryTraits<T>>;

}  // namespace win32
