// Resource ids of the plug-in Halvorin.
#pragma once

#define IDI_HALVORIN 222

// Property-sheet pages handed to the host.
#define IDD_LANDING_PAGE  201
#define IDD_SHRED_PAGE    202
#define IDD_BLEACH_PAGE   203
#define IDD_SETTINGS_PAGE 204

#define IDS_PRODUCT_NAME       102
#define IDS_MENU_SHRED_ONE     107
#define IDS_MENU_SHRED_ALL     108
#define IDS_MENU_SETTINGS      109
#define IDS_PAGE_SHRED         111
#define IDS_PAGE_BLEACHING     112
#define IDS_PAGE_SETTINGS      113
#define IDS_MENU_BLEACH_NOW    168
#define IDS_MENU_OPEN_PRODUCT  181

// Landing page: controls and texts.
#define IDS_PRODUCT_DESCRIPTION 101
#define IDS_VERSION_PREFIX      173
#define IDB_LANDING_PICTURE     205
#define IDC_LANDING_DESCRIPTION 214
#define IDC_LANDING_TITLE       215
#define IDC_LANDING_VERSION     303

// Shred and Bleaching pages: controls and texts.

// Settings page: controls and texts.
