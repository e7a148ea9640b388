// Entry point of every test program (built with -municode, so there is no
// gtest_main to borrow).
#include "framework/build_seams.h"

#include <gmock/gmock.h>

int wmain(int argc, wchar_t** argv)
{
    fw::InstallTestBuildSeams();
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
