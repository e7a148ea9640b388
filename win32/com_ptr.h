// A move-only owner of one COM interface pointer: Release when it goes, as
// the handle owners beside it close. No AddRef on taking a pointer: what a
// creating call hands out is already counted for its caller.
#pragma once

#include <unknwn.h>

#include <utility>

namespace win32 {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* value) noexcept : m_value(value) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_value(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~ComPtr() { reset(); }

    explicit operator bool() const noexcept { return m_value != nullptr; }
    T* get() const noexcept { return m_value; }
    T* operator->() const noexcept { return m_value; }

    T* release() noexcept { return std::exchange(m_value, nullptr); }

    void reset(T* value = nullptr) noexcept
    {
        T* old = std::exchange(m_value, value);
        if (old)
            old->Release();
    }

    // For out-parameters: releases what is held, then lends the slot.
    T** put() noexcept
    {
        reset();
        return &m_value;
    }
    // The same slot for calls that take a void** (CoCreateInstance).
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* m_value = nullptr;
};

}  // namespace win32
