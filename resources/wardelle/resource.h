// Resource ids of Wardelle: its own copy of the texts its bleach log writes.
// The numbers (and names) are those of Graventa's table, whose engine code
// Wardelle shares: the same id must mean the same text in both.
#pragma once

#define IDS_BLEACH_ABORTED              136
#define IDS_LOG_NO_SHARED_DATA          149
#define IDS_LOG_BLEACH_UNC              150
#define IDS_LOG_BLEACH_CLUSTER          151
#define IDS_LOG_BLEACH_FREE_SPACE       152
#define IDS_LOG_BLEACH_QUOTA            153
#define IDS_LOG_BLEACH_CLEANUP_FILE     154
#define IDS_LOG_BLEACH_DONE             155
#define IDS_LOG_ERROR_UNKNOWN           157
#define IDS_LOG_MFT_VOLUME              166
#define IDS_LOG_MFT_DIRECTORY           167
#define IDS_LOG_MFT_FILES               168
#define IDS_LOG_COULD_NOT_CREATE        169
#define IDS_LOG_BANNER_DATE             170
