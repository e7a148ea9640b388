// Layouts that cross a module boundary are checked where they are declared,
// with the expected number for each word size written out: no test runs the
// 32-bit programs, so the 32-bit tree's compile is what checks their layout.
//   static_assert(offsetof(RECORD, field) == ByWordSize(4, 8));
#pragma once

#include <cstddef>

constexpr size_t ByWordSize(size_t bytes32, size_t bytes64)
{
    return sizeof(void*) == 8 ? bytes64 : bytes32;
}
