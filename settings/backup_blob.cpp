// The backup block of the whole settings, handed to the host's backup and
// restore. Integers are 32-bit little-endian, flags one byte, texts in the
// ANSI code page with their NUL, each after its length in bytes; nothing is
// aligned.
#include "settings/list_entry.h"
#include "settings/settings_store.h"
#include "win32/path.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace {

// Fixed fields (178 bytes), the key text's length field and 117 bytes of key
// text room.
constexpr uint32_t kBaseLength = 299;
constexpr uint32_t kKeyTextRoom = 117;
constexpr size_t kRecordBytes = 30;

// The flag order inside a record differs from the kind order.
constexpr TraceKind kRecordOrder[kTraceKindCount] = {
    kAutoComplete,     kBrowseHistory, kBrowseURL, kCookies, kTempIntFiles, kRecentMenu,
    kRecentOfficeDocs, kRecentMP,      kRecentRP,  kRecycle, kTempFiles};

bool CarriesLists(int32_t profile)
{
    return profile == kProfileAdvanced || profile == kProfileSimple;
}

// Stored entries that do nothing are left out of a backup, so that one of
// them cannot fail it (the restore refuses them): a "Files and Folders"
// entry the list builder never shreds (empty, relative, a device path)...
bool ShredsSomething(const FileEntry& entry)
{
    return IsFullPathEntry(entry.path) || IsWildcardPattern(entry.path);
}

// ...and an exclude entry the exclude test never matches. A full path behind
// "\\?\" or "\\.\" does exclude its item: it is kept in the plain form the
// restore takes, which names the same item.
bool ExcludeEntryForBackup(const std::wstring& entry, std::wstring& kept)
{
    if (IsFullPathEntry(entry) || IsWildcardPattern(entry)) {
        kept = entry;
        return true;
    }
    return entry.find(L'*') == std::wstring::npos && win32::IsFullyQualified(entry) &&
           win32::FullPathOf(entry, kept);
}

// The ANSI form of `text` with its NUL, or false when the code page cannot
// hold the text exactly. The paths are shred and exclude entries: a best-fit
// look-alike ("R" for "Ř") or a default character would restore as another
// file, or an exclusion that no longer protects; a cut text or an embedded
// NUL likewise.
bool ToAnsiField(const std::wstring& text, std::string& field)
{
    if (text.find(L'\0') != std::wstring::npos || text.size() > INT_MAX)
        return false;
    std::string converted;
    if (!text.empty()) {
        // UTF-8 takes neither the best-fit flag nor a default character; it
        // refuses what it cannot encode (a lone surrogate) instead.
        const UINT codePage = ::GetACP();
        const bool utf8 = codePage == CP_UTF8;
        const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
        BOOL usedDefault = FALSE;
        BOOL* const pUsedDefault = utf8 ? nullptr : &usedDefault;
        const int cch = static_cast<int>(text.size());
        const int cb = ::WideCharToMultiByte(codePage, flags, text.data(), cch, nullptr, 0, nullptr,
                                             pUsedDefault);
        if (cb <= 0 || usedDefault)
            return false;
        converted.resize(static_cast<size_t>(cb));
        if (::WideCharToMultiByte(codePage, flags, text.data(), cch, converted.data(), cb, nullptr,
                                  pUsedDefault) != cb ||
            usedDefault)
            return false;
    }
    converted.push_back('\0');
    field = std::move(converted);
    return true;
}

class BlockWriter {
public:
    explicit BlockWriter(size_t cbBlock) : m_block(cbBlock, 0) {}
    void U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_block[m_offset++] = static_cast<BYTE>(value >> (8 * i));
    }
    void Flag(bool on) { m_block[m_offset++] = on ? 1 : 0; }
    void Bytes(const std::string& bytes)
    {
        std::memcpy(m_block.data() + m_offset, bytes.data(), bytes.size());
        m_offset += bytes.size();
    }
    std::vector<BYTE> Take() { return std::move(m_block); }

private:
    std::vector<BYTE> m_block;
    size_t m_offset = 0;
};

// Reads within [0, cbLimit); every read checks its bounds first.
class BlockReader {
public:
    BlockReader(const BYTE* block, size_t cbLimit) : m_block(block), m_cbLimit(cbLimit) {}
    size_t Offset() const { return m_offset; }
    bool U32(uint32_t& value)
    {
        if (m_cbLimit - m_offset < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(m_block[m_offset + i]) << (8 * i);
        m_offset += 4;
        return true;
    }
    bool Flag(bool& on)
    {
        if (m_offset >= m_cbLimit)
            return false;
        on = m_block[m_offset++] != 0;
        return true;
    }
    // A text field of cbField bytes that must hold its NUL and convert into a
    // text that fits a stored text.
    bool Text(uint32_t cbField, std::wstring& text)
    {
        if (cbField == 0 || m_cbLimit - m_offset < cbField)
            return false;
        const char* bytes = reinterpret_cast<const char*>(m_block + m_offset);
        const void* nul = std::memchr(bytes, '\0', cbField);
        if (!nul)
            return false;
        const int cbText = static_cast<int>(static_cast<const char*>(nul) - bytes);
        std::wstring converted;
        if (cbText > 0) {
            wchar_t buffer[kMaxStoredTextChars];
            const int cch = ::MultiByteToWideChar(CP_ACP, 0, bytes, cbText, buffer,
                                                  static_cast<int>(ARRAYSIZE(buffer)));
            if (cch <= 0)
                return false;
            converted.assign(buffer, cch);
        }
        text = std::move(converted);
        m_offset += cbField;
        return true;
    }

private:
    const BYTE* m_block;
    size_t m_cbLimit;
    size_t m_offset = 0;
};

struct BlobRecord {
    int32_t number = 0;
    ProfileBody body;
};

struct ParsedBlob {
    std::array<bool, 4> triggers{};
    std::optional<std::wstring> keyCodeVals;
    int32_t profileInForce = 0;
    std::array<BlobRecord, kProfileCount> records;
};

bool ParseRecord(BlockReader& reader, BlobRecord& record)
{
    uint32_t number = 0;
    if (!reader.U32(number) || number > static_cast<uint32_t>(kProfileSimple))
        return false;
    record.number = static_cast<int32_t>(number);
    for (TraceKind kind : kRecordOrder) {
        if (!reader.Flag(record.body.shred[kind]) || !reader.Flag(record.body.confirm[kind]))
            return false;
    }
    uint32_t eraseMethod = 0;
    if (!reader.U32(eraseMethod))
        return false;
    record.body.eraseMethod = static_cast<int32_t>(eraseMethod);
    if (!CarriesLists(record.number))
        return true;

    uint32_t count = 0;
    if (!reader.U32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        FileEntry entry;
        uint32_t cbPath = 0;
        if (!reader.Flag(entry.confirm) || !reader.U32(cbPath) ||
            !reader.Text(cbPath, entry.path) || !IsValidListEntry(entry.path))
            return false;
        record.body.filesAndFolders.push_back(std::move(entry));
    }
    if (!reader.U32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::wstring path;
        uint32_t cbPath = 0;
        if (!reader.U32(cbPath) || !reader.Text(cbPath, path) || !IsValidListEntry(path))
            return false;
        record.body.excludeList.push_back(std::move(path));
    }
    return true;
}

// The whole block is checked before anything is written: every length and
// count lies within the block's own length, which lies within what the host
// handed over, every profile number is 0 to 4, and every list entry is one
// the custom option dialog would have accepted (a relative one would be read
// against the shredding program's current folder).
bool ParseBlob(const BYTE* block, size_t cbBlock, ParsedBlob& parsed)
{
    if (!block)
        return false;
    BlockReader header(block, cbBlock);
    uint32_t cbTotal = 0;
    if (!header.U32(cbTotal) || cbTotal > cbBlock)
        return false;

    BlockReader reader(block, cbTotal);
    uint32_t ignored = 0;
    reader.U32(ignored);
    for (bool& trigger : parsed.triggers) {
        if (!reader.Flag(trigger))
            return false;
    }
    if (parsed.triggers[3]) {
        uint32_t cbKey = 0;
        std::wstring key;
        if (!reader.U32(cbKey) || !reader.Text(cbKey, key))
            return false;
        parsed.keyCodeVals = std::move(key);
    }
    uint32_t inForce = 0;
    if (!reader.U32(inForce) || inForce > static_cast<uint32_t>(kProfileSimple))
        return false;
    parsed.profileInForce = static_cast<int32_t>(inForce);
    for (auto& record : parsed.records) {
        if (!ParseRecord(reader, record))
            return false;
    }
    return true;
}

}  // namespace

bool SettingsStore::WriteBackupBlob(std::vector<BYTE>& block)
{
    LoadSecurityProfile();
    const int32_t profileInForce = m_securityProfile;

    // The custom profiles are loaded once before the others, as the size pass
    // always did: the confirm flags a profile does not store carry over from
    // the profile loaded before it.
    for (int32_t profile : {kProfileAdvanced, kProfileSimple}) {
        ClearProfileBody();
        LoadAll(profile);
    }
    const std::array<bool, 4> triggers = {m_activateOnSystemShutdown, m_activateOnBrowserStartup,
                                          m_activateOnBrowserShutdown, m_activateOnKeyPress};
    const std::wstring keyCodeVals = m_keyCodeVals;

    // One snapshot of every profile: the block is sized and written from it,
    // so a registry change between two reads cannot overrun the block.
    std::array<BlobRecord, kProfileCount> records;
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        ClearProfileBody();
        LoadAll(profile);
        records[profile] = {m_securityProfile, m_body};
        // Each entry carries its own confirm flag, so dropping one moves no
        // flag.
        auto& files = records[profile].body.filesAndFolders;
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [](const FileEntry& entry) { return !ShredsSomething(entry); }),
                    files.end());
        std::vector<std::wstring> excludes;
        for (const auto& entry : records[profile].body.excludeList) {
            std::wstring kept;
            if (ExcludeEntryForBackup(entry, kept))
                excludes.push_back(std::move(kept));
        }
        records[profile].body.excludeList = std::move(excludes);
    }

    // Every text the block carries, converted before anything is sized: one
    // that cannot be held exactly fails the whole backup.
    std::string keyField;
    if (triggers[3] && !ToAnsiField(keyCodeVals, keyField))
        return false;
    std::array<std::vector<std::string>, kProfileCount> fileFields;
    std::array<std::vector<std::string>, kProfileCount> excludeFields;
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        const BlobRecord& record = records[profile];
        if (!CarriesLists(record.number))
            continue;
        for (const auto& entry : record.body.filesAndFolders) {
            if (!ToAnsiField(entry.path, fileFields[profile].emplace_back()))
                return false;
        }
        for (const auto& path : record.body.excludeList) {
            if (!ToAnsiField(path, excludeFields[profile].emplace_back()))
                return false;
        }
    }

    uint32_t cbTotal = kBaseLength;
    size_t cbUsed = 4 + 4 + 4 + kRecordBytes * kProfileCount;
    const uint32_t cbKey = static_cast<uint32_t>(keyField.size());
    if (triggers[3]) {
        cbUsed += 4 + cbKey;
        if (cbKey > kKeyTextRoom)
            cbTotal += cbKey - kKeyTextRoom;
    }
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        if (!CarriesLists(records[profile].number))
            continue;
        cbUsed += 8;
        for (const auto& field : fileFields[profile]) {
            cbTotal += static_cast<uint32_t>(field.size() + 5);
            cbUsed += field.size() + 5;
        }
        for (const auto& field : excludeFields[profile]) {
            cbTotal += static_cast<uint32_t>(field.size() + 4);
            cbUsed += field.size() + 4;
        }
    }
    if (cbTotal < cbUsed)
        cbTotal = static_cast<uint32_t>(cbUsed);

    BlockWriter writer(cbTotal);
    writer.U32(cbTotal);
    for (bool trigger : triggers)
        writer.Flag(trigger);
    if (triggers[3]) {
        writer.U32(cbKey);
        writer.Bytes(keyField);
    }
    writer.U32(static_cast<uint32_t>(profileInForce));
    for (int32_t profile = 0; profile < kProfileCount; ++profile) {
        const BlobRecord& record = records[profile];
        writer.U32(static_cast<uint32_t>(record.number));
        for (TraceKind kind : kRecordOrder) {
            writer.Flag(record.body.shred[kind]);
            writer.Flag(record.body.confirm[kind]);
        }
        writer.U32(static_cast<uint32_t>(record.body.eraseMethod));
        if (!CarriesLists(record.number))
            continue;
        writer.U32(static_cast<uint32_t>(fileFields[profile].size()));
        for (size_t i = 0; i < fileFields[profile].size(); ++i) {
            writer.Flag(record.body.filesAndFolders[i].confirm);
            writer.U32(static_cast<uint32_t>(fileFields[profile][i].size()));
            writer.Bytes(fileFields[profile][i]);
        }
        writer.U32(static_cast<uint32_t>(excludeFields[profile].size()));
        for (const auto& field : excludeFields[profile]) {
            writer.U32(static_cast<uint32_t>(field.size()));
            writer.Bytes(field);
        }
    }
    // A backup is only worth keeping when it restores: read it as the restore
    // will, so that writer and reader cannot disagree.
    std::vector<BYTE> written = writer.Take();
    ParsedBlob check;
    if (!ParseBlob(written.data(), written.size(), check))
        return false;
    block = std::move(written);
    return true;
}

bool SettingsStore::ReadBackupBlob(const BYTE* block, size_t cbBlock)
{
    ParsedBlob parsed;
    if (!ParseBlob(block, cbBlock, parsed))
        return false;

    // The block carries no schedules: keep the stored ones (their scheduled
    // tasks still exist).
    LoadTriggers();
    LoadBleachSchedule();
    m_activateOnSystemShutdown = parsed.triggers[0];
    m_activateOnBrowserStartup = parsed.triggers[1];
    m_activateOnBrowserShutdown = parsed.triggers[2];
    m_activateOnKeyPress = parsed.triggers[3];
    if (parsed.keyCodeVals)
        m_keyCodeVals = *parsed.keyCodeVals;

    // Each record goes to the subkey of its own number; a number given twice
    // is written twice, the later record winning. A failed save does not stop
    // the others (as within a saver): as much of the block as can be written
    // is, and the restore reports the failure.
    bool restored = true;
    for (const auto& record : parsed.records) {
        m_securityProfile = record.number;
        m_body = record.body;
        restored = SaveAll() && restored;
    }

    m_securityProfile = parsed.profileInForce;
    ClearProfileBody();
    LoadAll(parsed.profileInForce);
    restored = SaveAll() && restored;
    return restored;
}

// The block's fixed part, field by field: its length, the four trigger bytes,
// the profile in force, the five records and each custom profile's two list
// counts (178 bytes), then the key text's length and its room. Nothing in it
// is aligned, so it is the same for both word sizes.
static_assert(kRecordBytes == 4 + 2 * kTraceKindCount + 4);
static_assert(kBaseLength == 4 + 4 + 4 + kProfileCount * kRecordBytes + 2 * 2 * 4 + 4 + kKeyTextRoom);
