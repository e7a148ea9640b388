#include "win32/number_text.h"

#include <algorithm>
#include <cwctype>

namespace win32 {

int32_t LeadingNumber(const std::wstring& text)
{
    constexpr int64_t kLimit = static_cast<int64_t>(INT32_MAX) + 1;
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min(kLimit, value * 10 + (text[i] - L'0'));
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, INT32_MAX));
}

}  // namespace win32
