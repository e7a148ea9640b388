// Leading numbers of texts written elsewhere: versions, counts, fields.
#include "win32/number_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(LeadingNumberTest, BlanksAndOneSignThenDigitsWithinInt32)
{
    const struct {
        const wchar_t* text;
        int32_t number;
    } cases[] = {
        {L"10.0.2 (en-US)", 10},
        {L"  -7x", -7},
        {L"+3", 3},
        {L"beta", 0},
        {L"- 5", 0},
        {L"2147483647", INT32_MAX},
        {L"99999999999999999999", INT32_MAX},
        {L"-2147483648", INT32_MIN},
        {L"-99999999999999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(win32::LeadingNumber(c.text), c.number);
    }
}

}  // namespace
