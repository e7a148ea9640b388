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
#define IDC_SHRED_DESCRIPTION    204
#define IDC_SHRED_NOW            217
#define IDC_SHRED_BROWSE         218
#define IDC_SHRED_TRIGGERS       219
#define IDC_SHRED_APPLY          220
#define IDC_SHRED_ON_SHUTDOWN    221
#define IDC_SHRED_ON_BROWSER_OPEN 223
#define IDC_SHRED_ON_BROWSER_QUIT 224
#define IDC_SHRED_SCHEDULER      225
#define IDC_SHRED_ON_KEY         226
#define IDC_SHRED_TIME           227
#define IDC_SHRED_KEY            228
#define IDC_SHRED_AND            229
#define IDC_SHRED_CTRL           233
#define IDC_SHRED_ALT            234
#define IDC_SHRED_SHIFT          235
#define IDC_SHRED_DATE           270
#define IDC_SHRED_PASSWORD       272
#define IDC_SHRED_PASSWORD_LABEL 273
#define IDC_SHRED_DATE_LABEL     274
#define IDC_SHRED_SCHEDULE_HEAD  304

#define IDC_BLEACH_DESCRIPTION    204
#define IDC_BLEACH_NOW            230
#define IDC_BLEACH_SCHEDULE_HEAD  231
#define IDC_BLEACH_SCHEDULER      233
#define IDC_BLEACH_DATE           291
#define IDC_BLEACH_PASSWORD       292
#define IDC_BLEACH_DATE_LABEL     293
#define IDC_BLEACH_PASSWORD_LABEL 294
#define IDC_BLEACH_TIME           305
#define IDC_BLEACH_APPLY          306

#define IDS_SHRED_DESCRIPTION     115
#define IDS_SHRED_NOW             116
#define IDS_SHRED_TRIGGERS        117
#define IDS_SHRED_ON_SHUTDOWN     119
#define IDS_SHRED_ON_BROWSER_OPEN 121
#define IDS_SHRED_ON_BROWSER_QUIT 122
#define IDS_SHRED_ON_KEY          129
#define IDS_SHRED_AND             130
#define IDS_SHRED_CTRL            131
#define IDS_SHRED_ALT             132
#define IDS_SHRED_SHIFT           133
#define IDS_SHRED_BROWSE          135
#define IDS_SHRED_SCHEDULER       136
#define IDS_SCHEDULE_BAD_PASSWORD 189
#define IDS_SCHEDULE_BAD_MOMENT   190
#define IDS_SCHEDULE_ERROR        191
#define IDS_KEY_INCOMPLETE        194
#define IDS_KEY_INVALID           195
#define IDS_SCHEDULE_DATE_TIME    196
#define IDS_SCHEDULE_PASSWORD     197
#define IDS_KEY_ERROR             199
#define IDS_SCHEDULE_HEAD         205
#define IDS_SCHEDULE_NO_PASSWORD  207
#define IDS_APPLY                 208
#define IDS_BLEACH_DESCRIPTION    211
#define IDS_BLEACH_SCHEDULER      213
#define IDS_BROWSER_BALLOON_TEXT  227
#define IDS_BROWSER_BALLOON_TITLE 228

// Settings page: controls and texts.
#define IDC_SETTINGS_DESCRIPTION 204
#define IDC_VIEW_DETAILS         236
#define IDC_PROFILE_HIGH         268
#define IDC_PROFILE_LOW          269
#define IDC_PROFILE_MEDIUM       270
#define IDC_PROFILE_ADVANCED     271
#define IDC_PROFILE_SIMPLE       272
#define IDC_SETTINGS_APPLY       307

#define IDS_VIEW_DETAILS         160
#define IDS_PROFILE_SIMPLE       204
#define IDS_SETTINGS_DESCRIPTION 215
#define IDS_PROFILE_HIGH         216
#define IDS_PROFILE_MEDIUM       218
#define IDS_PROFILE_LOW          220
#define IDS_PROFILE_ADVANCED     223

// Profile dialogs (advanced, simple delete, built-in details, custom
// option): templates, controls and texts.
#define IDD_ADVANCED_DETAILS 211
#define IDD_ADD_CUSTOM       212
#define IDB_INFORMATION      213
#define IDD_SIMPLE_DETAILS   214
#define IDD_PROFILE_DETAILS  215

#define IDC_EXCLUDE_LIST        261
#define IDC_EXCLUDE_ADD         262
#define IDC_EXCLUDE_REMOVE      263
#define IDC_DETAILS_APPLY       267
#define IDC_CUSTOM_PATH         272
#define IDC_CYCLE_HEAD          273
#define IDC_CYCLE_TEXT          274
#define IDC_AVAILABLE_HEAD      275
#define IDC_CONFIRM_TEXT        276
#define IDC_SHRED_LIST_HEAD     277
#define IDC_DETAILS_HEADING     278
#define IDC_EXCLUDE_HEAD        280
#define IDC_DETAILS_CANCEL      282
#define IDC_SHRED_LIST          283
#define IDC_MOVE_TO_SHRED       284
#define IDC_MOVE_BACK           285
#define IDC_AVAILABLE_LIST      286
#define IDC_AVAILABLE_DELETE    287
#define IDC_CUSTOM_BROWSE       287
#define IDC_CUSTOM_PROMPT       288
#define IDC_ADD_CUSTOM          289
#define IDC_CYCLE_SEVEN         299
#define IDC_CYCLE_THREE         300
#define IDC_CYCLE_ONE           301

#define IDS_EXCLUDE_HEAD        139
#define IDS_OPTION_HISTORY      140
#define IDS_OPTION_COOKIES      141
#define IDS_OPTION_WEB_FORMS    142
#define IDS_OPTION_URLS         143
#define IDS_OPTION_AUTOCOMPLETE 144
#define IDS_OPTION_TEMP_INTERNET 145
#define IDS_OPTION_RECYCLE      147
#define IDS_OPTION_TEMP_FILES   148
#define IDS_EXCLUDE_ADD         150
#define IDS_CYCLE_SEVEN         155
#define IDS_CYCLE_THREE         156
#define IDS_CYCLE_ONE           157
#define IDS_DETAILS_APPLY       159
#define IDS_MOVE_TO_SHRED       169
#define IDS_MOVE_BACK           170
#define IDS_CUSTOM_PROMPT       171
#define IDS_ADD_CUSTOM          172
#define IDS_CYCLE_HEAD          175
#define IDS_CYCLE_TEXT          176
#define IDS_AVAILABLE_HEAD      177
#define IDS_CONFIRM_TEXT        178
#define IDS_SHRED_LIST_HEAD     179
#define IDS_DELETE              180
#define IDS_ENTRY_LIMIT         182
#define IDS_ENTRY_INVALID       183
#define IDS_OPTION_RECENT_RP    184
#define IDS_OPTION_RECENT_OFFICE 185
#define IDS_OPTION_RECENT_MP    186
#define IDS_OPTION_RECENT_MENU  187
#define IDS_ADD_FILE_ERROR      188
#define IDS_ENTRY_PROTECTED     206
#define IDS_DETAILS_HIGH        217
#define IDS_DETAILS_MEDIUM      219
#define IDS_DETAILS_LOW         221
#define IDS_AVAILABLE_DELETE_HEAD 224
#define IDS_DELETE_LIST_HEAD    225
#define IDS_DELETE_EXCLUDE_HEAD 226
