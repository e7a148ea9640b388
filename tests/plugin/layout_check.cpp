#include "tests/plugin/layout_check.h"

#include "framework/dialog.h"
#include "plugin/schedule_controls.h"
#include "tests/common/painted_client.h"

#include <commctrl.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace plugintest {

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

SIZE TextExtent(HWND control, const std::wstring& text, int width)
{
    const HDC dc = ::GetDC(control);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    RECT needed = {0, 0, width > 0 ? width - metrics.tmAveCharWidth : 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return {needed.right, needed.bottom};
}

namespace {

// The colour `control` paints at the centre of its client area.
COLORREF PaintedCentre(HWND control)
{
    const testsupport::Painted painted = testsupport::PaintClient(control, RGB(1, 2, 3));
    return painted.pixels.empty() ? CLR_INVALID : painted.At(painted.width / 2, painted.height / 2);
}

}  // namespace

void ExpectNoEmptyRegion(HWND window)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    ASSERT_GT(client.right, 0);
    ASSERT_GT(client.bottom, 0);
    std::vector<RECT> shown;
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        RECT& rect = shown.emplace_back();
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    }
    const LONG w = client.right / 4;
    const LONG h = client.bottom / 4;
    for (LONG y = 0; y + h <= client.bottom; ++y) {
        for (LONG x = 0; x + w <= client.right; ++x) {
            const RECT probe = {x, y, x + w, y + h};
            RECT overlap = {};
            if (std::none_of(shown.begin(), shown.end(), [&](const RECT& rect) {
                    return ::IntersectRect(&overlap, &probe, &rect);
                })) {
                ADD_FAILURE() << "nothing in the " << w << " by " << h << " pixels at " << x << ","
                              << y << " of " << client.right << " by " << client.bottom;
                return;
            }
        }
    }
}

size_t ExpectNothingCutOffOrOverlaps(HWND window)
{
    RECT client = {};
    ::GetClientRect(window, &client);
    std::vector<std::pair<HWND, RECT>> placed;
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if (!(style & WS_VISIBLE))
            continue;
        const int id = ::GetDlgCtrlID(child);
        SCOPED_TRACE(id);
        RECT rect = {};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        RECT inside = {};
        EXPECT_TRUE(::IntersectRect(&inside, &rect, &client) && ::EqualRect(&inside, &rect))
            << "outside the window";

        const std::wstring type = ClassOf(child);
        const LONG kind = style & BS_TYPEMASK;
        const bool groupBox = type == L"Button" && kind == BS_GROUPBOX;
        if (!groupBox) {
            for (const auto& [other, otherRect] : placed)
                EXPECT_FALSE(::IntersectRect(&inside, &rect, &otherRect))
                    << "overlaps control " << ::GetDlgCtrlID(other);
            placed.emplace_back(child, rect);
        }

        const std::wstring text = fw::ControlText(child);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        const LONG staticKind = style & SS_TYPEMASK;
        if (type == L"Static" && staticKind != SS_BITMAP && staticKind != SS_ICON) {
            EXPECT_LE(TextExtent(child, text, width).cy, height) << "static text cut off";
        } else if (type == L"Button" && !groupBox) {
            const bool box = kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX ||
                             kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON;
            const int frame = box ? ::GetSystemMetrics(SM_CXMENUCHECK) + 6 : 8;
            const SIZE needed = TextExtent(child, text, 0);
            EXPECT_LE(needed.cx + frame, width) << "text of " << (box ? "box" : "button");
            EXPECT_LE(needed.cy, height);
        } else if (groupBox && !text.empty()) {
            EXPECT_LE(TextExtent(child, text, 0).cx + 16, width) << "group box title";
        } else if (type == WC_EDITW) {
            if ((style & WS_DISABLED) || (style & ES_READONLY)) {
                EXPECT_EQ(::GetSysColor(COLOR_3DFACE), PaintedCentre(child))
                    << "an edit box the user cannot type in looks as if they could";
            }
        } else if (type == DATETIMEPICK_CLASSW) {
            const SIZE needed = TextExtent(child, text, 0);
            EXPECT_LE(needed.cx + ::GetSystemMetrics(SM_CXVSCROLL) + 6, width) << "picker";
            EXPECT_LE(needed.cy, height);
        }
    }
    return placed.size();
}

}  // namespace plugintest
