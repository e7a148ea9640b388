// CTWTrayMenu when the desktop's USER handles are used up: CreatePopupMenu
// fails, under Wine without setting a last error, and the host must learn
// that no items were added.
#include "tests/plugin/host_test_support.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr UINT kFirst = 100;
constexpr UINT kUntouchedCount = 0xFFFF;

TEST(TrayMenuHandles, AddMenuItemsFailsWhenItsSubmenuCannotBeMade)
{
    win32::ComPtr<IFWTWTrayMenuItems> items;
    ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(IID_IFWTWTrayMenuItems,
                                                        IID_IFWTWTrayMenuItems, items.put_void()));
    const HMENU host = ::CreatePopupMenu();
    ASSERT_TRUE(host);
    ASSERT_TRUE(::AppendMenuW(host, MF_STRING, 1, L"Open console"));
    UINT count = kUntouchedCount;
    // Every menu handle the wineserver will give (far above the table's
    // size: a bound, not a target), given back before anything is checked.
    std::vector<HMENU> used;
    for (HMENU menu = nullptr; used.size() < 200000 && (menu = ::CreatePopupMenu()) != nullptr;)
        used.push_back(menu);
    const HRESULT hr = items->AddMenuItems(host, kFirst, &count);
    for (const HMENU menu : used)
        ::DestroyMenu(menu);

    EXPECT_GT(used.size(), 1000u) << "the table never ran full";
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(kUntouchedCount, count);
    EXPECT_EQ(1, ::GetMenuItemCount(host));
    ::DestroyMenu(host);
}

}  // namespace
