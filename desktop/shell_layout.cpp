// The shell's records that reach the desktop icon, laid out as the shell of
// each word size writes them. The folder reads the extended command record
// only when cbSize says it is there, so its size must be the shell's.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "win32/abi_layout.h"

static_assert(sizeof(CMINVOKECOMMANDINFO) == ByWordSize(36, 56));
static_assert(offsetof(CMINVOKECOMMANDINFO, cbSize) == 0);
static_assert(offsetof(CMINVOKECOMMANDINFO, fMask) == 4);
static_assert(offsetof(CMINVOKECOMMANDINFO, hwnd) == 8);
static_assert(offsetof(CMINVOKECOMMANDINFO, lpVerb) == ByWordSize(12, 16));
static_assert(offsetof(CMINVOKECOMMANDINFO, nShow) == ByWordSize(24, 40));

static_assert(sizeof(CMINVOKECOMMANDINFOEX) == ByWordSize(64, 104));
static_assert(offsetof(CMINVOKECOMMANDINFOEX, lpVerb) == ByWordSize(12, 16));
static_assert(offsetof(CMINVOKECOMMANDINFOEX, lpTitle) == ByWordSize(36, 56));
static_assert(offsetof(CMINVOKECOMMANDINFOEX, lpVerbW) == ByWordSize(40, 64));
static_assert(offsetof(CMINVOKECOMMANDINFOEX, ptInvoke) == ByWordSize(56, 96));

// The drop target asks the dropped data for a CF_HDROP global.
static_assert(sizeof(FORMATETC) == ByWordSize(20, 32));
static_assert(offsetof(FORMATETC, ptd) == ByWordSize(4, 8));
static_assert(offsetof(FORMATETC, dwAspect) == ByWordSize(8, 16));
static_assert(offsetof(FORMATETC, lindex) == ByWordSize(12, 20));
static_assert(offsetof(FORMATETC, tymed) == ByWordSize(16, 24));
static_assert(sizeof(STGMEDIUM) == ByWordSize(12, 24));
static_assert(offsetof(STGMEDIUM, hGlobal) == ByWordSize(4, 8));
static_assert(offsetof(STGMEDIUM, pUnkForRelease) == ByWordSize(8, 16));
// The global's head: the same 20 bytes in both word sizes.
static_assert(sizeof(DROPFILES) == 20);
static_assert(offsetof(DROPFILES, pFiles) == 0);
static_assert(offsetof(DROPFILES, pt) == 4);
static_assert(offsetof(DROPFILES, fNC) == 12);
static_assert(offsetof(DROPFILES, fWide) == 16);
