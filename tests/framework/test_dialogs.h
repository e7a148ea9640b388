// Templates of the framework tests.
#pragma once

#define IDD_TEST_DIALOG 500
#define IDC_TEST_TEXT   501
#define IDC_TEST_NOTIFY 502
#define IDD_MISSING     599
