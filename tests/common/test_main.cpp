// Entry point of every test program (built with -municode, so there is no
// gtest_main to borrow).
#include <gmock/gmock.h>

int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
