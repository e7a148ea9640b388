// Every text the engine loads by id is in each program that links the
// engine, and means the same there: the log a bleach writes from Wardelle
// must read as the one Graventa writes.
#include "resources/engine/text_ids.h"
#include "win32/unique_handle.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Every id the engine's code loads.
constexpr UINT kEngineTextIds[] = {
    IDS_SYSTEM_PATH_WARNING,
    IDS_CONFIRM_SHRED,
    IDS_THIS_ASSET,
    IDS_SHRED_COMPLETE,
    IDS_BALLOON_SHRED_IN_PROGRESS,
    IDS_BLEACH_ABORTED,
    IDS_SHRED_ABORTED,
    IDS_BALLOON_SHRED_CLICK,
    IDS_SHRED_STOPPED_BY_USER,
    IDS_NOTHING_SELECTED,
    IDS_RECYCLE_BIN,
    IDS_IE_AUTOCOMPLETE,
    IDS_IE_HISTORY,
    IDS_IE_TEMP_FILES,
    IDS_LOG_URL_NOT_ON_DISK,
    IDS_LOG_OPEN_FAILED,
    IDS_LOG_OVERWRITE_FAILED,
    IDS_LOG_DELETE_FAILED,
    IDS_LOG_RENAME_BACK_FAILED,
    IDS_LOG_COMPRESSED_SCAN,
    IDS_LOG_KEY_DELETE_FAILED,
    IDS_LOG_VALUE_DELETE_FAILED,
    IDS_LOG_NO_SHARED_DATA,
    IDS_LOG_BLEACH_UNC,
    IDS_LOG_BLEACH_CLUSTER,
    IDS_LOG_BLEACH_FREE_SPACE,
    IDS_LOG_BLEACH_QUOTA,
    IDS_LOG_BLEACH_CLEANUP_FILE,
    IDS_LOG_BLEACH_DONE,
    IDS_LOG_NOT_FOUND,
    IDS_LOG_ERROR_UNKNOWN,
    IDS_LOG_IN_USE,
    IDS_LOG_AUTOCOMPLETE_FAILED,
    IDS_LOG_BLOCKED,
    IDS_LOG_NOT_EMPTY,
    IDS_LOG_EXCLUDED,
    IDS_LOG_EXCLUDED_DELETE,
    IDS_NO_VALID_FILES,
    IDS_LOG_MFT_VOLUME,
    IDS_LOG_MFT_DIRECTORY,
    IDS_LOG_MFT_FILES,
    IDS_LOG_COULD_NOT_CREATE,
    IDS_LOG_BANNER_DATE,
    IDS_LOG_FILE_SHREDDED,
    IDS_LOG_FOLDER_SHREDDED,
    IDS_LOG_KEY_DELETED,
    IDS_LOG_VALUE_DELETED,
    IDS_LOG_SHUTDOWN_TERMINATED,
    IDS_LOG_NOT_FULL_PATH,
    IDS_LOG_TRACE_REFUSED,
    IDS_LOG_OTHER_NAMES_KEPT,
};

win32::UniqueModule LoadProgramData(const wchar_t* unixPath)
{
    // Wine reaches files outside every drive as "\\?\unix\...".
    const std::wstring path = L"\\\\?\\unix" + std::wstring(unixPath);
    return win32::UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// The text as stored (a zero-length buffer asks for a pointer to it); absent
// and empty are told apart by the count.
bool StoredText(HMODULE module, UINT id, std::wstring& text)
{
    const wchar_t* stored = nullptr;
    const int cch = ::LoadStringW(module, id, reinterpret_cast<wchar_t*>(&stored), 0);
    if (cch <= 0 || !stored)
        return false;
    text.assign(stored, static_cast<size_t>(cch));
    return true;
}

TEST(EngineTexts, AreInEveryProgramThatLinksTheEngineAndReadTheSame)
{
    const win32::UniqueModule graventa = LoadProgramData(GRAVENTA_EXE_UNIX_PATH);
    const win32::UniqueModule wardelle = LoadProgramData(WARDELLE_EXE_UNIX_PATH);
    ASSERT_TRUE(graventa) << ::GetLastError();
    ASSERT_TRUE(wardelle) << ::GetLastError();
    for (UINT id : kEngineTextIds) {
        std::wstring inGraventa, inWardelle;
        const bool graventaHasIt = StoredText(graventa.get(), id, inGraventa);
        const bool wardelleHasIt = StoredText(wardelle.get(), id, inWardelle);
        EXPECT_TRUE(graventaHasIt) << "Graventa lacks " << id;
        EXPECT_TRUE(wardelleHasIt) << "Wardelle lacks " << id;
        if (graventaHasIt && wardelleHasIt) {
            EXPECT_EQ(inGraventa, inWardelle) << id;
        }
    }
}

}  // namespace
