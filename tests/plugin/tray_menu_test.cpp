// CTWTrayMenu in the host's tray menu, and what each of its items sends to
// a separate process whose window is titled "Graventa".
#include "framework/ui_seam.h"
#include "tests/commands/graventa_recorder.h"
#include "tests/common/registry_sandbox.h"
#include "tests/plugin/host_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT kFirst = 100;

std::wstring ItemText(HMENU menu, UINT position)
{
    wchar_t text[128] = {};
    MENUITEMINFOW info = {sizeof(info)};
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = ARRAYSIZE(text);
    ::GetMenuItemInfoW(menu, position, TRUE, &info);
    return text;
}

class TrayMenu : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(
            IID_IFWTWTrayMenuItems, IID_IFWTWTrayMenuItems, items.put_void()));
    }
    win32::ComPtr<IFWTWTrayMenuItems> items;
};

// Defined first: the ids are module-wide, and ctest runs each case in a
// process of its own, so no AddMenuItems has run here yet.
TEST_F(TrayMenu, InvokeBeforeAddMenuItemsAndUnknownIdsDoNothing)
{
    plugintest::GraventaRecorder graventa;
    ASSERT_TRUE(graventa.Start());
    for (UINT id : {0u, 2u, 3u, 4u, 5u, 7u, kFirst + 4, kFirst + 5})
        EXPECT_EQ(S_OK, items->InvokeMenuItem(id));
    EXPECT_TRUE(graventa.Codes().empty());

    fwhost::HostTrayMenu menu;
    ASSERT_HRESULT_SUCCEEDED(menu.Build({}, kFirst));
    UINT count = 0;
    ASSERT_EQ(S_OK, items->AddMenuItems(menu.Menu(), kFirst, &count));
    // The separator, the submenu's own position, ids below and beyond.
    for (UINT id : {kFirst + 6, kFirst + 1, kFirst, kFirst + 8, kFirst - 96, 0xFFFFFFFFu})
        EXPECT_EQ(S_OK, items->InvokeMenuItem(id));
    EXPECT_TRUE(graventa.Codes().empty());
    // The same recorder does see a known id.
    EXPECT_EQ(S_OK, items->InvokeMenuItem(kFirst + 4));
    EXPECT_EQ(std::vector<UINT>{0xBABE02}, graventa.Codes());
}

TEST_F(TrayMenu, SubmenuCarriesItsIdsAndTexts)
{
    std::vector<win32::ComPtr<IFWTWTrayMenuItems>> menus;
    menus.emplace_back(items.release());
    fwhost::HostTrayMenu menu;
    ASSERT_HRESULT_SUCCEEDED(menu.Build(menus, kFirst));

    // The host's two items stay in front: position F+1 lies beyond them.
    ASSERT_EQ(3, ::GetMenuItemCount(menu.Menu()));
    EXPECT_EQ(L"Scoravel", ItemText(menu.Menu(), 2));
    const HMENU popup = ::GetSubMenu(menu.Menu(), 2);
    ASSERT_TRUE(popup);
    const struct {
        UINT id;
        const wchar_t* text;
    } expected[] = {{102, L"Open Scoravel"}, {103, L"Shred One"}, {104, L"Zarev Ozi"},
                    {105, L"Bleach Now"},    {106, nullptr},      {107, L"Settings"}};
    ASSERT_EQ(static_cast<int>(ARRAYSIZE(expected)), ::GetMenuItemCount(popup));
    for (UINT i = 0; i < ARRAYSIZE(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].id, ::GetMenuItemID(popup, static_cast<int>(i)));
        MENUITEMINFOW info = {sizeof(info)};
        info.fMask = MIIM_FTYPE;
        ASSERT_TRUE(::GetMenuItemInfoW(popup, i, TRUE, &info));
        EXPECT_EQ(expected[i].text == nullptr, (info.fType & MFT_SEPARATOR) != 0);
        if (expected[i].text) {
            EXPECT_EQ(expected[i].text, ItemText(popup, i));
        }
    }
    // The host's next plug-in would start after the 8 reserved ids.
    EXPECT_TRUE(menu.Invoke(kFirst + 6));
    EXPECT_FALSE(menu.Invoke(kFirst + 8));
}

// F+2 and F+7 start the host's console: see host_registry_test.cpp.
TEST_F(TrayMenu, EachItemSendsItsCommandToGraventa)
{
    plugintest::GraventaRecorder graventa;
    ASSERT_TRUE(graventa.Start());
    UINT count = 0;
    const HMENU host = ::CreatePopupMenu();
    ASSERT_EQ(S_OK, items->AddMenuItems(host, kFirst, &count));
    // Shred One's chooser is cancelled by the user: nothing is sent.
    fw::ScopedUiResponder user([](const fw::UiRequest&) { return INT_PTR{IDCANCEL}; });

    const struct {
        UINT offset;
        std::vector<UINT> codes;
    } rows[] = {{3, {}}, {4, {0xBABE02}}, {5, {0xBABE03}}, {6, {}}};
    std::vector<UINT> expected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.offset);
        EXPECT_EQ(S_OK, items->InvokeMenuItem(kFirst + row.offset));
        expected.insert(expected.end(), row.codes.begin(), row.codes.end());
        // Sent and answered before InvokeMenuItem returns.
        EXPECT_EQ(expected, graventa.Codes());
        EXPECT_EQ(L"Graventa", graventa.Title());
    }
    ::DestroyMenu(host);
}

}  // namespace
