// What a profile's "Files and Folders" and exclude lists may hold, and how
// long a stored text may be. The custom option dialog, the backup writer and
// the restore apply the same rule, so that what one accepts the others take.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// A stored text (list entry or key sequence) and its terminator fit a
// MAX_PATH buffer: the program reads them into one.
inline constexpr size_t kMaxStoredTextChars = MAX_PATH - 1;

inline bool FitsStoredText(const std::wstring& text)
{
    return text.size() <= kMaxStoredTextChars;
}

// True when `text` holds a "*" and a ".", anywhere and in any order.
bool IsWildcardPattern(const std::wstring& text);

// "X:\..." (or "X:/...") and "\\server\share...": a path that names the same
// item whatever the current folder or drive. The device forms "\\?\" and
// "\\.\" are not: no dialog gives them and they reach past the file system.
bool IsFullPathEntry(const std::wstring& text);

// A list entry as the profile can store it: a full path or a pattern, that
// fits a stored text, without "|" (the lists are stored "|"-separated) or
// NUL.
bool IsValidListEntry(const std::wstring& text);
