// Resource ids of Graventa (string table, dialogs, controls). The texts the
// engine loads have ids of their own, shared with every program that links
// the engine; Graventa's own texts take the numbers around them. Halvorin
// has a table of its own; the same numbers mean other texts there.
#pragma once

#include "../engine/text_ids.h"

// Progress window.
#define IDD_PROGRESS         130
#define IDC_PROGRESS_BAR     1000
#define IDC_PROGRESS_TITLE   1001
#define IDC_PROGRESS_STOP    1002
#define IDC_PROGRESS_PERCENT 1003

// Messages, progress texts and balloons of the runs and operations.
#define IDS_SHRED_IN_PROGRESS          122
#define IDS_BLEACH_IN_PROGRESS         123
#define IDS_STOP_SHRED                 125
#define IDS_STOP_BLEACH                126
#define IDS_BLEACH_ALREADY_RUNNING     127
#define IDS_BLEACH_COMPLETE            130
#define IDS_SHUTDOWN_BLOCK_REASON      133
#define IDS_BALLOON_BLEACH_IN_PROGRESS 134
#define IDS_BALLOON_BLEACH_CLICK       135
#define IDS_SKIP_SHUTDOWN_SHRED        164

// Command window, warning and confirmation dialogs, icon.
#define IDD_GRAVENTA      129
#define IDI_GRAVENTA      140
#define IDD_SHRED_WARN    141
#define IDD_SHRED_CONFIRM 177
#define IDC_WARN_TEXT     1004
#define IDC_CONFIRM_TEXT  1005
