// Ids of the texts the engine loads from the running program's string table:
// the shred and bleach log lines, the shred manager's messages and balloons,
// the trace names it recognises and the names the trace catalogue gives.
// Every program that links the engine builds in strings.<culture>.rc of this
// folder, so an id means the same text in each of them. Programs number
// their own texts around these.
#pragma once

// Messages and balloons of a shred run.
#define IDS_SYSTEM_PATH_WARNING       101
#define IDS_CONFIRM_SHRED             102
#define IDS_THIS_ASSET                124
#define IDS_SHRED_COMPLETE            129
#define IDS_BALLOON_SHRED_IN_PROGRESS 132
#define IDS_BLEACH_ABORTED            136
#define IDS_SHRED_ABORTED             137
#define IDS_BALLOON_SHRED_CLICK       139
#define IDS_SHRED_STOPPED_BY_USER     140
#define IDS_NOTHING_SELECTED          176

// Trace names the shred manager treats apart.
#define IDS_RECYCLE_BIN     104
#define IDS_IE_AUTOCOMPLETE 112
#define IDS_IE_HISTORY      113
#define IDS_IE_TEMP_FILES   115

// Display names the trace catalogue gives its traces.
#define IDS_FIREFOX_COOKIES      106
#define IDS_FIREFOX_AUTOCOMPLETE 107
#define IDS_FIREFOX_HISTORY      108
#define IDS_FIREFOX_URL_LIST     109
#define IDS_FIREFOX_TEMP_FILES   110
#define IDS_IE_COOKIES           111
#define IDS_IE_URL_LIST          114
#define IDS_RECENT_DOCUMENTS     116
#define IDS_OFFICE_RECENT        117
#define IDS_MEDIA_PLAYER_RECENT  118
#define IDS_REAL_PLAYER_RECENT   119
#define IDS_TEMP_FILES           120

// Log lines.
#define IDS_LOG_URL_NOT_ON_DISK     141
#define IDS_LOG_OPEN_FAILED         142
#define IDS_LOG_OVERWRITE_FAILED    143
#define IDS_LOG_DELETE_FAILED       144
#define IDS_LOG_RENAME_BACK_FAILED  145
#define IDS_LOG_COMPRESSED_SCAN     146
#define IDS_LOG_KEY_DELETE_FAILED   147
#define IDS_LOG_VALUE_DELETE_FAILED 148
#define IDS_LOG_NO_SHARED_DATA      149
#define IDS_LOG_BLEACH_UNC          150
#define IDS_LOG_BLEACH_CLUSTER      151
#define IDS_LOG_BLEACH_FREE_SPACE   152
#define IDS_LOG_BLEACH_QUOTA        153
#define IDS_LOG_BLEACH_CLEANUP_FILE 154
#define IDS_LOG_BLEACH_DONE         155
#define IDS_LOG_NOT_FOUND           156
#define IDS_LOG_ERROR_UNKNOWN       157
#define IDS_LOG_IN_USE              158
#define IDS_LOG_AUTOCOMPLETE_FAILED 159
#define IDS_LOG_BLOCKED             160
#define IDS_LOG_NOT_EMPTY           161
#define IDS_LOG_EXCLUDED            162
#define IDS_LOG_EXCLUDED_DELETE     163
#define IDS_NO_VALID_FILES          165
#define IDS_LOG_MFT_VOLUME          166
#define IDS_LOG_MFT_DIRECTORY       167
#define IDS_LOG_MFT_FILES           168
#define IDS_LOG_COULD_NOT_CREATE    169
#define IDS_LOG_BANNER_DATE         170
#define IDS_LOG_FILE_SHREDDED       171
#define IDS_LOG_FOLDER_SHREDDED     172
#define IDS_LOG_KEY_DELETED         173
#define IDS_LOG_VALUE_DELETED       174
#define IDS_LOG_SHUTDOWN_TERMINATED 175
#define IDS_LOG_NOT_FULL_PATH       177
#define IDS_LOG_TRACE_REFUSED       178
#define IDS_LOG_OTHER_NAMES_KEPT    179

// Every id above, for code that walks the whole table (the resource tests):
// an id added above is added here too. X(id) is applied to each.
#define ENGINE_TEXT_IDS(X) \
    X(IDS_SYSTEM_PATH_WARNING) \
    X(IDS_CONFIRM_SHRED) \
    X(IDS_THIS_ASSET) \
    X(IDS_SHRED_COMPLETE) \
    X(IDS_BALLOON_SHRED_IN_PROGRESS) \
    X(IDS_BLEACH_ABORTED) \
    X(IDS_SHRED_ABORTED) \
    X(IDS_BALLOON_SHRED_CLICK) \
    X(IDS_SHRED_STOPPED_BY_USER) \
    X(IDS_NOTHING_SELECTED) \
    X(IDS_RECYCLE_BIN) \
    X(IDS_IE_AUTOCOMPLETE) \
    X(IDS_IE_HISTORY) \
    X(IDS_IE_TEMP_FILES) \
    X(IDS_FIREFOX_COOKIES) \
    X(IDS_FIREFOX_AUTOCOMPLETE) \
    X(IDS_FIREFOX_HISTORY) \
    X(IDS_FIREFOX_URL_LIST) \
    X(IDS_FIREFOX_TEMP_FILES) \
    X(IDS_IE_COOKIES) \
    X(IDS_IE_URL_LIST) \
    X(IDS_RECENT_DOCUMENTS) \
    X(IDS_OFFICE_RECENT) \
    X(IDS_MEDIA_PLAYER_RECENT) \
    X(IDS_REAL_PLAYER_RECENT) \
    X(IDS_TEMP_FILES) \
    X(IDS_LOG_URL_NOT_ON_DISK) \
    X(IDS_LOG_OPEN_FAILED) \
    X(IDS_LOG_OVERWRITE_FAILED) \
    X(IDS_LOG_DELETE_FAILED) \
    X(IDS_LOG_RENAME_BACK_FAILED) \
    X(IDS_LOG_COMPRESSED_SCAN) \
    X(IDS_LOG_KEY_DELETE_FAILED) \
    X(IDS_LOG_VALUE_DELETE_FAILED) \
    X(IDS_LOG_NO_SHARED_DATA) \
    X(IDS_LOG_BLEACH_UNC) \
    X(IDS_LOG_BLEACH_CLUSTER) \
    X(IDS_LOG_BLEACH_FREE_SPACE) \
    X(IDS_LOG_BLEACH_QUOTA) \
    X(IDS_LOG_BLEACH_CLEANUP_FILE) \
    X(IDS_LOG_BLEACH_DONE) \
    X(IDS_LOG_NOT_FOUND) \
    X(IDS_LOG_ERROR_UNKNOWN) \
    X(IDS_LOG_IN_USE) \
    X(IDS_LOG_AUTOCOMPLETE_FAILED) \
    X(IDS_LOG_BLOCKED) \
    X(IDS_LOG_NOT_EMPTY) \
    X(IDS_LOG_EXCLUDED) \
    X(IDS_LOG_EXCLUDED_DELETE) \
    X(IDS_NO_VALID_FILES) \
    X(IDS_LOG_MFT_VOLUME) \
    X(IDS_LOG_MFT_DIRECTORY) \
    X(IDS_LOG_MFT_FILES) \
    X(IDS_LOG_COULD_NOT_CREATE) \
    X(IDS_LOG_BANNER_DATE) \
    X(IDS_LOG_FILE_SHREDDED) \
    X(IDS_LOG_FOLDER_SHREDDED) \
    X(IDS_LOG_KEY_DELETED) \
    X(IDS_LOG_VALUE_DELETED) \
    X(IDS_LOG_SHUTDOWN_TERMINATED) \
    X(IDS_LOG_NOT_FULL_PATH) \
    X(IDS_LOG_TRACE_REFUSED) \
    X(IDS_LOG_OTHER_NAMES_KEPT)
