// Fennick.dll loaded in this process as the shell loads it: its context menu
// and drop target against a "Graventa" window in another process and a
// stand-in of the host's console.
#include "commands/command_sender.h"
#include "framework/com/com_object.h"
#include "tests/commands/graventa_recorder.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "win32/com_ptr.h"
#include "win32/registry.h"

#include <shellapi.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <vector>

namespace {

using plugintest::SetText;
using ::testing::ElementsAreArray;

constexpr wchar_t kHostKey[] = L"Software\\Wow6432Node\\Ferrowind";
const CLSID kFolderClsid = {
    0x92644C80, 0xC318, 0x408A, {0x9E, 0xDA, 0x1B, 0x0C, 0x24, 0x5D, 0x73, 0xA5}};
// A text cut to the buffer (strsafe's STRSAFE_E_INSUFFICIENT_BUFFER).
const HRESULT kCut = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

// A data object of our own that gives `paths` as CF_HDROP; or, with a
// `tymed` of its own, an empty medium of that kind whose release object is
// the data object itself, so that its count of references shows whether the
// taker released the medium.
class CFileList final : public fw::CComObjectBase<IDataObject, IID_IDataObject> {
public:
    explicit CFileList(std::vector<std::wstring> paths, DWORD tymed = 0)
        : m_paths(std::move(paths)), m_tymed(tymed)
    {
    }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        if (m_tymed) {
            *medium = STGMEDIUM{m_tymed, {}, this};
            AddRef();
            return S_OK;
        }
        std::wstring list;
        for (const std::wstring& path : m_paths)
            list += path + L'\0';
        const SIZE_T cbList = (list.size() + 1) * sizeof(wchar_t);
        const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + cbList);
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
        *drop = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
        memcpy(drop + 1, list.c_str(), cbList);
        ::GlobalUnlock(memory);
        *medium = STGMEDIUM{TYMED_HGLOBAL, {}, nullptr};
        medium->hGlobal = memory;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> m_paths;
    DWORD m_tymed;
};

class FennickTest : public testsupport::ProductRegistryTest {
protected:
    using ExportFn = HRESULT(STDAPICALLTYPE*)();
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        m_module.reset(::LoadLibraryW(testsupport::ProgramBesideTest(L"Fennick.dll").c_str()));
        ASSERT_TRUE(m_module) << ::GetLastError();
        auto entry = [&](const char* name) {
            return reinterpret_cast<void*>(::GetProcAddress(m_module.get(), name));
        };
        const auto getClassObject = reinterpret_cast<GetClassObjectFn>(entry("DllGetClassObject"));
        m_canUnloadNow = reinterpret_cast<ExportFn>(entry("DllCanUnloadNow"));
        ASSERT_TRUE(getClassObject && m_canUnloadNow);
        win32::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject(kFolderClsid, IID_IClassFactory, factory.put_void()));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, m_menu.put_void()));
        ASSERT_EQ(nullptr, ::FindWindowW(nullptr, L"Graventa")) << "a Graventa window is left over";
        ASSERT_TRUE(m_graventa.Start());
    }
    void TearDown() override
    {
        m_menu.reset();
        if (m_canUnloadNow) {
            EXPECT_EQ(S_OK, m_canUnloadNow()) << "an object of the library is still alive";
        }
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHostKey, L"FerrowindPath");
        ProductRegistryTest::TearDown();
    }

    // Sends what a menu item, a verb or an offset invokes; a Unicode record
    // with a null wide verb carries the ANSI one.
    HRESULT Invoke(const char* verbA, const wchar_t* verbW, UINT offset, bool unicode)
    {
        CMINVOKECOMMANDINFOEX info = {sizeof(info), unicode ? CMIC_MASK_UNICODE : 0u};
        info.lpVerb = verbA ? verbA : MAKEINTRESOURCEA(offset);
        info.lpVerbW = verbW || verbA || !unicode ? verbW : MAKEINTRESOURCEW(offset);
        info.nShow = SW_SHOWNORMAL;
        return m_menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
    }

    testsupport::ScratchFolder m_scratch;
    win32::UniqueModule m_module;
    ExportFn m_canUnloadNow = nullptr;
    win32::ComPtr<IContextMenu> m_menu;
    plugintest::GraventaRecorder m_graventa;
};

// Only ids inside the shell's range (and inside the 16 bits WM_COMMAND
// carries) are used; the result is the highest offset used, plus one.
TEST_F(FennickTest, MenuEntriesIdsAndResultWithAndWithoutDefaultOnly)
{
    using Item = std::pair<std::wstring, UINT>;
    const struct {
        UINT flags;
        UINT firstId;
        UINT lastId;
        HRESULT result;
        std::vector<Item> items;
    } cases[] = {
        {CMF_DEFAULTONLY, 100, 200, 1, {{L"Default action", 100}, {L"Shell item", 5}}},
        {CMF_DEFAULTONLY, 100, 99, 0, {{L"Shell item", 5}}},
        {CMF_NORMAL,
         100,
         200,
         7,
         {{L"Open Scoravel", 101},
          {L"Shred One", 103},
          {L"Zarev Ozi", 102},
          {L"Remove Icon", 106},
          {L"", 0},
          {L"Settings", 105}}},
        {CMF_NORMAL, 100, 102, 3, {{L"Open Scoravel", 101}, {L"Zarev Ozi", 102}}},
        {CMF_NORMAL, 100, 100, 0, {}},
        {CMF_NORMAL,
         65530,
         70000,
         6,
         {{L"Open Scoravel", 65531},
          {L"Shred One", 65533},
          {L"Zarev Ozi", 65532},
          {L"", 0},
          {L"Settings", 65535}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " ids " << c.firstId << "-" << c.lastId);
        const HMENU menu = ::CreatePopupMenu();
        ASSERT_TRUE(::AppendMenuW(menu, MF_STRING, 5, L"Shell item"));
        EXPECT_EQ(c.result, m_menu->QueryContextMenu(menu, 0, c.firstId, c.lastId, c.flags));
        std::vector<Item> items;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            ::GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
            items.emplace_back(text, ::GetMenuItemID(menu, i));
        }
        EXPECT_THAT(items, ElementsAreArray(c.items));
        ::DestroyMenu(menu);
    }
}

TEST_F(FennickTest, EachVerbReachesGraventaOrTheConsole)
{
    const std::wstring bin = m_scratch / L"Bin";
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"console_stub.exe").c_str(),
                            (bin + L"\\FWUserConsole.exe").c_str(), FALSE));
    testsupport::PutString(HKEY_LOCAL_MACHINE, kHostKey, L"FerrowindPath", m_scratch.Path());
    const std::wstring started = bin + L"\\console-started.txt";
    const struct {
        const char* verbA;
        const wchar_t* verbW;
        UINT offset;
        bool unicode;
        HRESULT result;
        UINT code;            // sent to Graventa, or 0
        const char* console;  // the console's page, or null
    } cases[] = {
        {nullptr, nullptr, 2, false, S_OK, 0xBABE02},
        {"ovhw_SHREDALL", nullptr, 0, false, S_OK, 0xBABE02},
        {nullptr, nullptr, 4, true, S_OK, 0xBABE03},  // not in the menu
        {nullptr, L"OVHW_BLEACHNOW", 0, true, S_OK, 0xBABE03},
        {nullptr, nullptr, 6, true, S_OK, 0xBABE07},
        {"OVHW_RemoveIcon", nullptr, 0, true, S_OK, 0xBABE07},  // null wide verb
        {"OVHW_Nothing", nullptr, 0, false, E_INVALIDARG, 0},
        {nullptr, nullptr, 7, true, E_INVALIDARG, 0},
        {nullptr, nullptr, 0, false, S_OK, 0, "0"},
        {nullptr, L"ovhw_openframework", 0, true, S_OK, 0, "0"},
        {"OVHW_CONFIGURE", nullptr, 0, false, S_OK, 0, "3"},
        {nullptr, nullptr, 5, true, S_OK, 0, "3"},
    };
    std::vector<SetText> sent;
    std::string lines;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.verbA ? c.verbA : "") << " " << c.offset);
        EXPECT_EQ(c.result, Invoke(c.verbA, c.verbW, c.offset, c.unicode));
        if (c.code)
            sent.insert(sent.end(), {{c.code, L""}, {0, L"Graventa"}});
        if (c.console)
            lines += std::string("{B437C14F-1012-417e-A127-55C84CC0B16F}:") + c.console + "\n";
        ASSERT_TRUE(m_graventa.WaitForCount(sent.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(sent));
        EXPECT_EQ(L"Graventa", m_graventa.Title());
        // Its size only, while a console may be starting: a reader would
        // keep the stand-in from opening the file.
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            WIN32_FILE_ATTRIBUTE_DATA file = {};
            const bool exists =
                ::GetFileAttributesExW(started.c_str(), GetFileExInfoStandard, &file);
            return (exists ? file.nFileSizeLow : 0) == lines.size();
        }));
        std::string read;
        EXPECT_TRUE(testsupport::ReadFileBytes(started, read) || lines.empty());
        EXPECT_EQ(lines, read);
    }

    // Without the host's folder nothing starts (no console from the drive's root).
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHostKey, L"FerrowindPath"));
    ASSERT_TRUE(::DeleteFileW(started.c_str()));
    EXPECT_EQ(S_OK, Invoke(nullptr, nullptr, 0, false));
    EXPECT_FALSE(OpenHostConsole(0, kHostKey));
    EXPECT_FALSE(testsupport::PathExists(started));
}

TEST_F(FennickTest, CommandTextsStayInsideTheCallersBuffer)
{
    const struct {
        UINT_PTR offset;
        UINT type;
        UINT cch;
        HRESULT result;
        const wchar_t* text;  // null: nothing written
    } cases[] = {
        {6, GCS_VERBW, 16, S_OK, L"OVHW_RemoveIcon"},  // exact fit
        {6, GCS_VERBW, 15, kCut, L"OVHW_RemoveIco"},   {5, GCS_HELPTEXTW, 10, kCut, L"opens the"},
        {5, GCS_HELPTEXTA, 6, kCut, L"opens"},         {6, GCS_VERBA, 64, E_INVALIDARG, nullptr},
        {7, GCS_HELPTEXTW, 64, E_INVALIDARG, nullptr}, {1, GCS_VERBW, 0, E_INVALIDARG, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " type " << c.type << " cch " << c.cch);
        const size_t cbChar = (c.type & GCS_UNICODE) ? 2 : 1;
        unsigned char buffer[160];
        memset(buffer, 0xCC, sizeof(buffer));
        EXPECT_EQ(c.result, m_menu->GetCommandString(c.offset, c.type, nullptr,
                                                     reinterpret_cast<CHAR*>(buffer), c.cch));
        const std::wstring text = c.text ? std::wstring(c.text) + L'\0' : L"";
        std::string expected;
        for (wchar_t ch : text)
            expected.append(reinterpret_cast<const char*>(&ch), cbChar);
        EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(buffer), expected.size()));
        // The guard after the text is intact.
        EXPECT_EQ(std::string(sizeof(buffer) - expected.size(), '\xCC'),
                  std::string(reinterpret_cast<char*>(buffer) + expected.size(),
                              sizeof(buffer) - expected.size()));
    }
}

TEST_F(FennickTest, DropTargetSendsOneExistingPathThatFits)
{
    const std::wstring file = m_scratch / L"victim.txt";
    const std::wstring folder = m_scratch / L"tree";
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "secret"));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    // 260 characters: Graventa would get it cut to another path.
    const std::wstring tooLong = folder + L"\\" + std::wstring(MAX_PATH - folder.size() - 1, L'f');
    ASSERT_TRUE(testsupport::WriteFileBytes(L"\\\\?\\" + tooLong, "x"));
    const struct {
        std::vector<std::wstring> paths;
        HRESULT enter;
        DWORD effect;
        bool sent;
    } cases[] = {
        {{file}, S_OK, DROPEFFECT_MOVE, true},
        {{folder}, S_OK, DROPEFFECT_MOVE, true},
        {{file, folder}, E_INVALIDARG, DROPEFFECT_NONE, false},
        {{m_scratch / L"gone.txt"}, S_OK, DROPEFFECT_MOVE, false},
        {{tooLong}, E_INVALIDARG, DROPEFFECT_NONE, false},
        // A name Graventa would look up in its own current folder.
        {{L"victim.txt"}, E_INVALIDARG, DROPEFFECT_NONE, false},
    };
    const testsupport::CurrentFolderScope current(m_scratch.Path());
    ASSERT_TRUE(current.Entered());
    win32::ComPtr<IShellFolder> shellFolder;
    ASSERT_EQ(S_OK, m_menu->QueryInterface(IID_IShellFolder, shellFolder.put_void()));
    std::vector<SetText> sent;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.paths));
        win32::ComPtr<IDropTarget> target;
        ASSERT_EQ(S_OK, shellFolder->CreateViewObject(nullptr, IID_IDropTarget, target.put_void()));
        win32::ComPtr<IDataObject> data;
        ASSERT_EQ(S_OK, fw::CreateComObject<CFileList>(IID_IDataObject, data.put_void(), c.paths));
        EXPECT_EQ(S_FALSE, m_canUnloadNow());
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        EXPECT_EQ(c.enter, target->DragEnter(data.get(), MK_LBUTTON, {}, &effect));
        EXPECT_EQ(c.effect, effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, target->DragOver(MK_LBUTTON, {}, &effect));
        EXPECT_EQ(c.effect, effect);
        EXPECT_EQ(S_OK, target->Drop(data.get(), 0, {}, &effect));
        EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
        if (c.sent)
            sent.insert(sent.end(), {{0xBABE01, c.paths[0]}, {0, L"Graventa"}});
        ASSERT_TRUE(m_graventa.WaitForCount(sent.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(sent));
    }
    EXPECT_TRUE(testsupport::PathExists(file));
}

// Whatever kind of medium the data object hands over is released, through
// its release object; only an HGLOBAL one is read as a file list.
TEST_F(FennickTest, DropTargetReleasesEveryMediumItIsGiven)
{
    win32::ComPtr<IShellFolder> shellFolder;
    ASSERT_EQ(S_OK, m_menu->QueryInterface(IID_IShellFolder, shellFolder.put_void()));
    const DWORD tymeds[] = {TYMED_HGLOBAL, TYMED_ISTREAM, TYMED_NULL};
    for (const DWORD tymed : tymeds) {
        SCOPED_TRACE(tymed);
        win32::ComPtr<IDropTarget> target;
        ASSERT_EQ(S_OK, shellFolder->CreateViewObject(nullptr, IID_IDropTarget, target.put_void()));
        win32::ComPtr<IDataObject> data;
        ASSERT_EQ(S_OK, fw::CreateComObject<CFileList>(IID_IDataObject, data.put_void(),
                                                       std::vector<std::wstring>{}, tymed));
        DWORD effect = DROPEFFECT_MOVE;
        target->DragEnter(data.get(), MK_LBUTTON, {}, &effect);
        EXPECT_EQ(S_OK, target->Drop(data.get(), 0, {}, &effect));
        target.reset();
        data->AddRef();
        EXPECT_EQ(1u, data->Release()) << "a medium was not released";
    }
    EXPECT_THAT(m_graventa.Received(), ::testing::IsEmpty());
}

}  // namespace
