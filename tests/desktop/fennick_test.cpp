// Fennick.dll loaded in this process as the shell loads it: its context menu
// and drop target, driven against a "Graventa" window in another process
// and a stand-in of the host's console.
#include "framework/com/com_object.h"
#include "plugin/command_sender.h"
#include "tests/common/child_process.h"
#include "tests/common/registry_sandbox.h"
#include "tests/common/wait.h"
#include "tests/desktop/fennick_dll.h"
#include "tests/plugin/graventa_recorder.h"
#include "win32/com_ptr.h"
#include "win32/registry.h"
#include "win32/unique_handle.h"

#include <shellapi.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

using plugintest::SetText;
using ::testing::ElementsAreArray;

constexpr wchar_t kHostKey[] = L"Software\\Wow6432Node\\Ferrowind";
const CLSID kFolderClsid = {
    0x92644C80, 0xC318, 0x408A, {0x9E, 0xDA, 0x1B, 0x0C, 0x24, 0x5D, 0x73, 0xA5}};
// A text cut to the buffer (strsafe's STRSAFE_E_INSUFFICIENT_BUFFER).
const HRESULT kCut = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

// A data object of our own that gives a CF_HDROP list of `paths`.
class CFileList final : public fw::CComObjectBase<IDataObject, IID_IDataObject> {
public:
    explicit CFileList(std::vector<std::wstring> paths) : m_paths(std::move(paths)) {}
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        std::wstring list;
        for (const std::wstring& path : m_paths)
            list += path + L'\0';
        list += L'\0';
        const SIZE_T cb = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, cb);
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory);
        *medium = STGMEDIUM{TYMED_HGLOBAL, {}, nullptr};
        medium->hGlobal = memory;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* f) override
    {
        return f->cfFormat == CF_HDROP ? S_OK : S_FALSE;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> m_paths;
};

class FennickTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_EQ(nullptr, ::FindWindowW(nullptr, L"Graventa")) << "a Graventa window is left over";
        ASSERT_TRUE(desktoptest::CopyBuiltFennick(m_scratch / L"Fennick.dll"));
        m_module.reset(::LoadLibraryW((m_scratch / L"Fennick.dll").c_str()));
        ASSERT_TRUE(m_module) << ::GetLastError();
        m_getClassObject = reinterpret_cast<decltype(m_getClassObject)>(
            reinterpret_cast<void*>(::GetProcAddress(m_module.get(), "DllGetClassObject")));
        m_canUnloadNow = reinterpret_cast<decltype(m_canUnloadNow)>(
            reinterpret_cast<void*>(::GetProcAddress(m_module.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(m_getClassObject && m_canUnloadNow);
        win32::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, m_getClassObject(kFolderClsid, IID_IClassFactory, factory.put_void()));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, m_menu.put_void()));
        ASSERT_TRUE(m_graventa.Start(m_scratch / L"received.txt"));
    }
    void TearDown() override
    {
        m_graventa.Stop();
        m_menu.reset();
        if (m_canUnloadNow) {
            EXPECT_EQ(S_OK, m_canUnloadNow()) << "an object of the library is still alive";
        }
        m_module.reset();
        win32::UniqueKey host;
        if (win32::OpenKey(HKEY_LOCAL_MACHINE, kHostKey, KEY_SET_VALUE, host) == ERROR_SUCCESS)
            ::RegDeleteValueW(host.get(), L"FerrowindPath");
        ProductRegistryTest::TearDown();
    }

    // The console stand-in below a host folder of the test's own.
    std::wstring PlaceConsole()
    {
        const std::wstring bin = m_scratch / L"Bin";
        EXPECT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
        EXPECT_TRUE(::CopyFileW(testsupport::ProgramBesideTest(L"console_stub.exe").c_str(),
                                (bin + L"\\FWUserConsole.exe").c_str(), FALSE));
        testsupport::PutString(HKEY_LOCAL_MACHINE, kHostKey, L"FerrowindPath", m_scratch.Path());
        return bin + L"\\console-started.txt";
    }

    testsupport::ScratchFolder m_scratch;
    win32::UniqueModule m_module;
    HRESULT(STDAPICALLTYPE* m_getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* m_canUnloadNow)() = nullptr;
    win32::ComPtr<IContextMenu> m_menu;
    plugintest::GraventaRecorder m_graventa;
};

struct MenuItem {
    std::wstring text;
    UINT id;
    bool operator==(const MenuItem& o) const { return text == o.text && id == o.id; }
};
void PrintTo(const MenuItem& item, std::ostream* out)
{
    *out << std::string(item.text.begin(), item.text.end()) << "/" << item.id;
}

std::vector<MenuItem> Items(HMENU menu)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
        items.push_back({text, ::GetMenuItemID(menu, i)});
    }
    return items;
}

TEST_F(FennickTest, MenuEntriesIdsAndResultWithAndWithoutDefaultOnly)
{
    const struct {
        UINT flags;
        HRESULT result;
        std::vector<MenuItem> items;
    } cases[] = {
        {CMF_DEFAULTONLY, 1, {{L"Default action", 100}, {L"Shell item", 5}}},
        {CMF_NORMAL,
         7,
         {{L"Open Scoravel", 101},
          {L"Shred One", 103},
          {L"Zarev Ozi", 102},
          {L"Remove Icon", 106},
          {L"", 0},
          {L"Settings", 105}}},
    };
    for (const auto& c : cases) {
        const HMENU menu = ::CreatePopupMenu();
        ASSERT_TRUE(::AppendMenuW(menu, MF_STRING, 5, L"Shell item"));
        EXPECT_EQ(c.result, m_menu->QueryContextMenu(menu, 0, 100, 200, c.flags));
        EXPECT_THAT(Items(menu), ElementsAreArray(c.items)) << c.flags;
        ::DestroyMenu(menu);
    }
}

// An invocation by offset or by verb, in an ANSI or a Unicode record.
struct Invocation {
    const char* name;
    const char* verbA;  // null: the offset
    const wchar_t* verbW;
    UINT offset;
    bool unicode;
};

HRESULT Invoke(IContextMenu* menu, const Invocation& how)
{
    CMINVOKECOMMANDINFOEX info = {};
    info.cbSize = sizeof(info);
    info.fMask = how.unicode ? CMIC_MASK_UNICODE : 0;
    info.lpVerb = how.verbA ? how.verbA : MAKEINTRESOURCEA(how.offset);
    info.lpVerbW = how.verbW ? how.verbW
                             : (how.unicode && !how.verbA ? MAKEINTRESOURCEW(how.offset) : nullptr);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
}

TEST_F(FennickTest, EachVerbReachesGraventaWithItsCodeAndTheTitleBack)
{
    const struct {
        Invocation how;
        HRESULT result;
        UINT code;  // 0: nothing sent
    } cases[] = {
        {{"offset 2", nullptr, nullptr, 2, false}, S_OK, 0xBABE02},
        {{"any case", "ovhw_SHREDALL", nullptr, 0, false}, S_OK, 0xBABE02},
        {{"offset 4, not in the menu", nullptr, nullptr, 4, true}, S_OK, 0xBABE03},
        {{"wide verb", nullptr, L"OVHW_BLEACHNOW", 0, true}, S_OK, 0xBABE03},
        {{"offset 6", nullptr, nullptr, 6, true}, S_OK, 0xBABE07},
        {{"null wide verb, ANSI one", "OVHW_RemoveIcon", nullptr, 0, true}, S_OK, 0xBABE07},
        {{"unknown verb", "OVHW_Nothing", nullptr, 0, false}, E_INVALIDARG, 0},
        {{"offset 7", nullptr, nullptr, 7, true}, E_INVALIDARG, 0},
    };
    std::vector<SetText> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how.name);
        EXPECT_EQ(c.result, Invoke(m_menu.get(), c.how));
        if (c.code) {
            expected.push_back({c.code, L""});
            expected.push_back({0, L"Graventa"});
        }
        ASSERT_TRUE(m_graventa.WaitForCount(expected.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(expected));
        EXPECT_EQ(L"Graventa", m_graventa.Title());
    }
}

TEST_F(FennickTest, ConsoleVerbsStartTheHostConsoleAtTheirPage)
{
    const std::wstring started = PlaceConsole();
    const std::pair<Invocation, const char*> verbs[] = {
        {{"offset 0", nullptr, nullptr, 0, false}, "0"},
        {{"open", nullptr, L"ovhw_openframework", 0, true}, "0"},
        {{"configure", "OVHW_CONFIGURE", nullptr, 0, false}, "3"},
        {{"offset 5", nullptr, nullptr, 5, true}, "3"},
    };
    std::string expected;
    for (const auto& [how, page] : verbs) {
        EXPECT_EQ(S_OK, Invoke(m_menu.get(), how)) << how.name;
        expected += std::string("{B437C14F-1012-417e-A127-55C84CC0B16F}:") + page + "\n";
        std::string lines;
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            return testsupport::ReadFileBytes(started, lines) && lines == expected;
        })) << how.name
            << ": " << lines;
    }
    EXPECT_THAT(m_graventa.Received(), ::testing::IsEmpty());

    // Without the host's folder nothing is started (not a console path at
    // the root of the drive).
    ::DeleteFileW(started.c_str());
    win32::UniqueKey host;
    ASSERT_EQ(ERROR_SUCCESS, win32::OpenKey(HKEY_LOCAL_MACHINE, kHostKey, KEY_SET_VALUE, host));
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteValueW(host.get(), L"FerrowindPath"));
    EXPECT_EQ(S_OK, Invoke(m_menu.get(), verbs[0].first));
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
        {6, GCS_VERBW, 64, S_OK, L"OVHW_RemoveIcon"},
        {4, GCS_VERBW, 15, S_OK, L"OVHW_BleachNow"},  // exact fit
        {4, GCS_VERBW, 14, kCut, L"OVHW_BleachNo"},
        {5, GCS_HELPTEXTW, 10, kCut, L"opens the"},
        {0, GCS_HELPTEXTA, 64, S_OK, L"do default action"},
        {5, GCS_HELPTEXTA, 6, kCut, L"opens"},
        {6, GCS_VERBA, 64, E_INVALIDARG, nullptr},
        {7, GCS_HELPTEXTW, 64, E_INVALIDARG, nullptr},
        {1, GCS_VERBW, 0, E_INVALIDARG, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " type " << c.type << " cch " << c.cch);
        wchar_t buffer[80];
        std::fill(std::begin(buffer), std::end(buffer), L'\xCCCC');
        const bool wide = c.type & GCS_UNICODE;
        EXPECT_EQ(c.result, m_menu->GetCommandString(c.offset, c.type, nullptr,
                                                     reinterpret_cast<CHAR*>(buffer), c.cch));
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
        const size_t cbWritten = c.text ? (wcslen(c.text) + 1) * (wide ? 2 : 1) : 0;
        std::wstring written;
        for (size_t i = 0; c.text && i + 1 < cbWritten / (wide ? 2 : 1); ++i)
            written += wide ? buffer[i] : static_cast<wchar_t>(bytes[i]);
        if (c.text) {
            EXPECT_EQ(c.text, written);
            EXPECT_EQ(0, wide ? buffer[cbWritten / 2 - 1] : bytes[cbWritten - 1]);
        }
        // The guard after the text is intact.
        for (size_t i = cbWritten; i < sizeof(buffer); ++i)
            ASSERT_EQ(0xCC, bytes[i]) << "byte " << i;
    }
}

// A path of `length` characters below `scratch` (created when `make`).
std::wstring LongPath(const testsupport::ScratchFolder& scratch, size_t length)
{
    std::wstring path = scratch / std::wstring(100, L'a');
    ::CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
    path += L"\\" + std::wstring(length - path.size() - 1, L'f');
    testsupport::WriteFileBytes(L"\\\\?\\" + path, "x");
    return path;
}

TEST_F(FennickTest, DropTargetSendsOneExistingPathThatFits)
{
    const std::wstring file = m_scratch / L"victim.txt";
    const std::wstring folder = m_scratch / L"tree";
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "secret"));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const struct {
        const char* name;
        std::vector<std::wstring> paths;
        HRESULT enter;
        DWORD effect;
        bool sent;
    } cases[] = {
        {"one file", {file}, S_OK, DROPEFFECT_MOVE, true},
        {"one folder", {folder}, S_OK, DROPEFFECT_MOVE, true},
        {"two files", {file, folder}, E_INVALIDARG, DROPEFFECT_NONE, false},
        {"missing", {m_scratch / L"gone.txt"}, S_OK, DROPEFFECT_MOVE, false},
        {"260 characters", {LongPath(m_scratch, MAX_PATH)}, E_INVALIDARG, DROPEFFECT_NONE, false},
    };
    win32::ComPtr<IShellFolder> shellFolder;
    ASSERT_EQ(S_OK, m_menu->QueryInterface(IID_IShellFolder, shellFolder.put_void()));
    std::vector<SetText> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ComPtr<IDropTarget> target;
        ASSERT_EQ(S_OK, shellFolder->CreateViewObject(nullptr, IID_IDropTarget, target.put_void()));
        EXPECT_EQ(S_FALSE, m_canUnloadNow());
        win32::ComPtr<IDataObject> data;
        ASSERT_EQ(S_OK, fw::CreateComObject<CFileList>(IID_IDataObject, data.put_void(), c.paths));
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        EXPECT_EQ(c.enter, target->DragEnter(data.get(), MK_LBUTTON, {}, &effect));
        EXPECT_EQ(c.effect, effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        EXPECT_EQ(S_OK, target->DragOver(MK_LBUTTON, {}, &effect));
        EXPECT_EQ(c.effect, effect);
        EXPECT_EQ(S_OK, target->Drop(data.get(), 0, {}, &effect));
        EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
        if (c.sent) {
            expected.push_back({0xBABE01, c.paths[0]});
            expected.push_back({0, L"Graventa"});
        }
        ASSERT_TRUE(m_graventa.WaitForCount(expected.size()));
        EXPECT_THAT(m_graventa.Received(), ElementsAreArray(expected));
    }
    EXPECT_TRUE(testsupport::PathExists(file));
}

}  // namespace
