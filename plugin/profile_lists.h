// What the three profile dialogs share about their lists: the table of the
// built-in shred options with their captions, the caption classifier, and
// the filling of the lists from a profile body and the saving back.
#pragma once

#include "framework/check_list_box.h"
#include "settings/settings_store.h"

#include <windows.h>

#include <string>

// One built-in option: its caption in the string table and the flag pair it
// stands for; "Web forms" stands for none.
struct ProfileOption {
    UINT captionId;
    bool hasFlags;
    TraceKind kind;
};

// The option whose caption (in the product language, ignoring case) is
// `text`, or null for a user entry.
const ProfileOption* OptionFromCaption(const std::wstring& text);

// Sets the option's Shred flag, and its Confirm flag from the check state
// (1 checked; 0 and 2 are not).
void SetOptionFlags(SettingsStore& settings, const ProfileOption& option, int check);

// The lists of one dialog. Without an available list, an option that the
// profile does not shred is shown nowhere.
struct ProfileLists {
    fw::CCheckListBox* shred = nullptr;
    HWND available = nullptr;
    HWND exclude = nullptr;
};

// Fills the lists from the body; the number of user entries of the body
// (empty paths count, but are not shown).
int FillLists(const SettingsStore& settings, const ProfileLists& lists);

// The body from the lists. An editable profile's body is rebuilt from them
// (the Shred flags, the user entries and the exclude list); a built-in one
// takes only the Confirm flags of the options shown.
void SaveLists(SettingsStore& settings, const ProfileLists& lists);

// List-box helpers.
std::wstring ListText(HWND list, int index);
int ListCount(HWND list);
// Sets the horizontal scroll extent to the widest entry, with `extra` pixels
// in front of each text.
void FitHorizontalExtent(HWND list, int extra = 0);
