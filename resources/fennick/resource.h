// Resource ids of the desktop icon Fennick.
#pragma once

#define IDI_FENNICK 201

// The context menu's texts.
#define IDS_FENNICK_SETTINGS    101
#define IDS_FENNICK_SHRED_ALL   102
#define IDS_FENNICK_SHRED_ONE   103
#define IDS_FENNICK_BLEACH_NOW  104
#define IDS_FENNICK_OPEN        105
#define IDS_FENNICK_PRODUCT     106
#define IDS_FENNICK_REMOVE_ICON 107
