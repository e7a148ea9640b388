// Numbers read from texts another program, the registry or a peer wrote.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

// The decimal number `text` starts with: blanks skipped, then one optional
// sign, then digits up to the first non-digit ("10.0.2" gives 10, " -7x"
// gives -7). 0 when no digit follows; beyond the range of int32_t it stops
// at INT32_MAX or INT32_MIN instead of overflowing.
int32_t LeadingNumber(const std::wstring& text);

}  // namespace win32
