// The system traces outside the browsers that a security profile can have
// shredded: the recent-file lists of Office, RealPlayer and Windows Media
// Player, the Recycle Bin, the user's recent documents and the temporary
// folder. Each builder looks for its trace for the current user and returns
// one asset named from the string table, or null when the trace is not
// there. `confirm` is the profile's ask-first flag for that trace.
#pragma once

#include "engine/asset.h"

#include <windows.h>

#include <memory>
#include <string>

// Recent documents of Word, Excel, PowerPoint, Project and Visio of the
// installed Office version (HKCR "Word.Application\CurVer"); null without it.
std::unique_ptr<RegistryEntry> MakeOfficeRecentAsset(bool confirm);
// The "MostRecentClips<n>" keys of the first RealPlayer version key; null
// when there is no RealPlayer key or no version below it.
std::unique_ptr<RegistryEntry> MakeRealPlayerRecentAsset(bool confirm);
std::unique_ptr<RegistryEntry> MakeMediaPlayerRecentAsset(bool confirm);
// The recycle folder of the user this process runs as (its token's SID) on
// every fixed drive, emptied and kept.
std::unique_ptr<DocFileList> MakeRecycleBinAsset(bool confirm);
// The contents of the recent-documents folder and of the temporary folder
// (a DocFolder); the folders themselves stay. When the folder is not one a
// trace may empty (see IsTraceFolderAllowed) the asset is a refused trace
// that lists nothing.
std::unique_ptr<IDAsset> MakeRecentDocumentsAsset(bool confirm);
std::unique_ptr<IDAsset> MakeTempFilesAsset(bool confirm);

// "12.0" from "Word.Application.12": the digits after the last "." and
// ".0"; empty when the text does not end in "." and digits.
std::wstring OfficeVersionFromCurVer(const std::wstring& curVer);
// The recycle folder below a drive root for a Windows major version:
// "$Recycle.Bin\" from 6 (Vista) on, "RECYCLER\" before.
const wchar_t* RecycleFolderFor(DWORD majorVersion);
