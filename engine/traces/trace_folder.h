// Which folders a trace may empty. A trace's folder comes from a shell
// folder setting, the environment or another program's file, and any of
// them can be pointed at the user's own files: an unset TMP makes the
// temporary folder the profile, a redirected "Recent" or "Cache" can be
// Documents. A trace empties only a folder that is none of those places.
#pragma once

#include "engine/asset.h"

#include <memory>
#include <string>

// True when a trace may empty `folder`: a full path without control
// characters that is not a drive root; is not and does not hold the Windows
// folder, a program folder or the user's profile folder; and is not, does
// not hold and does not lie inside one of the user's content folders
// (Documents, Desktop, Pictures, Music, Videos, Downloads, Favorites).
// Folders are compared by their canonical full paths.
bool IsTraceFolderAllowed(const std::wstring& folder);

// The stand-in for a trace refused because of `folder`: it lists nothing,
// is marked refused and carries the folder as its path.
std::unique_ptr<DocFileList> MakeRefusedTrace(const std::wstring& folder);
