// The class factory's CreateInstance is a COM entry point over a creator
// from a table: what the creator throws must come back as a failure, never
// as success and never as an exception in the caller.
#include "framework/com/class_factory.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace {

// {6F1E4C8A-2B7D-4E55-9A31-0C2D8B7E4F10}
const CLSID kTestClass = {
    0x6f1e4c8a, 0x2b7d, 0x4e55, {0x9a, 0x31, 0x0c, 0x2d, 0x8b, 0x7e, 0x4f, 0x10}};

HRESULT ThrowsBadAlloc(REFIID, void**)
{
    throw std::bad_alloc();
}

HRESULT ThrowsRuntimeError(REFIID, void**)
{
    throw std::runtime_error("creator failed");
}

HRESULT ThrowsNonStandard(REFIID, void**)
{
    throw 42;
}

HRESULT FailsItself(REFIID, void**)
{
    return E_ACCESSDENIED;
}

TEST(ComBoundary, WhatACreatorThrowsComesBackAsAFailure)
{
    const struct {
        const char* name;
        fw::CreateFunction create;
        HRESULT expected;
    } rows[] = {
        {"BadAlloc", ThrowsBadAlloc, E_OUTOFMEMORY},
        {"RuntimeError", ThrowsRuntimeError, E_UNEXPECTED},
        {"NonStandard", ThrowsNonStandard, E_UNEXPECTED},
        {"ItsOwnFailure", FailsItself, E_ACCESSDENIED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const long liveBefore = fw::LiveComObjects();
        const fw::ClassEntry table[] = {{&kTestClass, row.create}};
        IClassFactory* factory = nullptr;
        ASSERT_EQ(S_OK, fw::GetClassObject(table, kTestClass, IID_IClassFactory,
                                           reinterpret_cast<void**>(&factory)));
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(row.expected, factory->CreateInstance(nullptr, IID_IUnknown, &object));
        EXPECT_EQ(nullptr, object);
        factory->Release();
        EXPECT_EQ(liveBefore, fw::LiveComObjects());
    }
}

}  // namespace
