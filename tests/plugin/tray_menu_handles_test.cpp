// CTWTrayMenu when the desktop's USER handles are used up: CreatePopupMenu
// fails, under Wine without setting a last error, and the host must learn
// that no items were added.
#include "tests/plugin/host_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kFirst = 100;
constexpr UINT kUntouchedCount = 0xFFFF;

// Takes every menu handle the wineserver will give, then hands `spare` back.
class UsedUpMenus {
public:
    explicit UsedUpMenus(size_t spare)
    {
        // Far above the table's size: a bound, not a target.
        while (m_menus.size() < 200000) {
            const HMENU menu = ::CreatePopupMenu();
            if (!menu)
                break;
            m_menus.push_back(menu);
        }
        for (; spare > 0 && !m_menus.empty(); --spare) {
            ::DestroyMenu(m_menus.back());
            m_menus.pop_back();
        }
    }
    ~UsedUpMenus()
    {
        for (const HMENU menu : m_menus)
            ::DestroyMenu(menu);
    }
    UsedUpMenus(const UsedUpMenus&) = delete;
    UsedUpMenus& operator=(const UsedUpMenus&) = delete;
    size_t Count() const { return m_menus.size(); }

private:
    std::vector<HMENU> m_menus;
};

TEST(TrayMenuHandles, AddMenuItemsFailsWhenItsSubmenuCannotBeMade)
{
    const struct {
        size_t spare;
        bool added;
    } rows[] = {{0, false}, {4, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.spare);
        win32::ComPtr<IFWTWTrayMenuItems> items;
        ASSERT_HRESULT_SUCCEEDED(hosttest::InProcessCreator(
            IID_IFWTWTrayMenuItems, IID_IFWTWTrayMenuItems, items.put_void()));
        const HMENU host = ::CreatePopupMenu();
        ASSERT_TRUE(host);
        ASSERT_TRUE(::AppendMenuW(host, MF_STRING, 1, L"Open console"));
        UINT count = kUntouchedCount;
        HRESULT hr = S_OK;
        {
            UsedUpMenus used(row.spare);
            ASSERT_GT(used.Count(), 1000u);  // the table really ran full
            hr = items->AddMenuItems(host, kFirst, &count);
        }
        EXPECT_EQ(row.added, SUCCEEDED(hr)) << std::hex << hr;
        EXPECT_EQ(row.added ? 8u : kUntouchedCount, count);
        EXPECT_EQ(row.added ? 2 : 1, ::GetMenuItemCount(host));
        ::DestroyMenu(host);
    }
}

}  // namespace
