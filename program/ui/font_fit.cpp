#include "program/ui/font_fit.h"

#include "framework/dialog.h"
#include "framework/wrapped_text.h"

#include <algorithm>
#include <string>
#include <vector>

namespace fontfit {

namespace {

// A push button draws a two-pixel frame and a focus rectangle a pixel
// inside it; its text keeps a pixel clear of that.
constexpr LONG kButtonFrame = 2 + 1 + 1;

struct Measured {
    TEXTMETRICW metrics{};
    RECT needed{};  // DT_CALCRECT's answer
};

// `text` in `window`'s font: on one line, or broken at `width` when it is
// above 0.
bool Measure(HWND window, HGDIOBJ font, const std::wstring& text, LONG width, Measured& out)
{
    const HDC dc = ::GetDC(window);
    if (!dc)
        return false;
    const HGDIOBJ old = ::SelectObject(dc, font);
    Measured measured;
    measured.needed.right = width;
    // An empty text needs nothing: DrawText has no height to give for it.
    const bool ok =
        ::GetTextMetricsW(dc, &measured.metrics) &&
        (text.empty() ||
         ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured.needed,
                     DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS |
                         (width > 0 ? DT_WORDBREAK : DT_SINGLELINE)) != 0);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    if (ok)
        out = measured;
    return ok;
}

bool HasClass(HWND window, const wchar_t* expected)
{
    wchar_t name[16] = {};
    return ::GetClassNameW(window, name, ARRAYSIZE(name)) && ::_wcsicmp(name, expected) == 0;
}

bool IsPushButton(HWND control)
{
    if (!HasClass(control, L"Button"))
        return false;
    const LONG kind = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
}

bool IsPlainText(HWND control)
{
    if (!HasClass(control, L"Static"))
        return false;
    const LONG kind = ::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    return kind == SS_LEFT || kind == SS_CENTER || kind == SS_RIGHT || kind == SS_SIMPLE ||
           kind == SS_LEFTNOWORDWRAP;
}

LONG TextHeight(HWND window, HGDIOBJ font)
{
    Measured measured;
    return Measure(window, font, L"", 0, measured) ? measured.metrics.tmHeight : 0;
}

}  // namespace

RECT RectInParent(HWND parent, HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MakeRoomAt(HWND dialog, LONG y, int grow)
{
    RECT window{};
    ::GetWindowRect(dialog, &window);
    MONITORINFO monitor{sizeof(monitor)};
    if (!::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    grow = std::min<LONG>(grow, (work.bottom - work.top) - (window.bottom - window.top));
    if (grow <= 0)
        return;

    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = RectInParent(dialog, child);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (rect.top < y && rect.bottom >= y)
            ::SetWindowPos(child, nullptr, 0, 0, width, height + grow, flags | SWP_NOMOVE);
        else if (rect.top >= y)
            ::SetWindowPos(child, nullptr, rect.left, rect.top + grow, 0, 0, flags | SWP_NOSIZE);
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top + grow;
    const int left = work.left + ((work.right - work.left) - width) / 2;
    const int top = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitButtonsToFont(HWND dialog)
{
    const LONG templateText = TextHeight(dialog, fw::ControlFont(dialog));
    if (templateText <= 0)
        return;
    LONG bottom = 0;
    int grow = 0;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!IsPushButton(child))
            continue;
        const RECT rect = RectInParent(dialog, child);
        const LONG text = TextHeight(child, fw::ControlFont(child));
        const LONG needed = (rect.bottom - rect.top - templateText) + text;
        grow = std::max<int>(grow, needed - (rect.bottom - rect.top));
        bottom = std::max(bottom, rect.bottom);
    }
    if (grow > 0)
        MakeRoomAt(dialog, bottom, grow);
}

void FitTextsToFont(HWND dialog)
{
    // Top to bottom, each text's growth moving the ones below it.
    std::vector<HWND> texts;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (IsPlainText(child))
            texts.push_back(child);
    }
    std::sort(texts.begin(), texts.end(), [dialog](HWND a, HWND b) {
        return RectInParent(dialog, a).top < RectInParent(dialog, b).top;
    });
    for (const HWND text : texts) {
        RECT client{};
        ::GetClientRect(text, &client);
        const bool wraps =
            (::GetWindowLongW(text, GWL_STYLE) & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
        Measured measured;
        if (!Measure(text, fw::ControlFont(text), fw::ControlText(text), wraps ? client.right : 0,
                     measured))
            continue;
        // An empty text still needs a line's height.
        const LONG needed = std::max(measured.needed.bottom, measured.metrics.tmHeight);
        if (needed > client.bottom)
            MakeRoomAt(dialog, RectInParent(dialog, text).bottom, needed - client.bottom);
    }
}

void FitButtonWidth(HWND dialog, HWND button)
{
    if (!button)
        return;
    Measured measured;
    if (!Measure(button, fw::ControlFont(button), fw::ControlText(button), 0, measured))
        return;
    const LONG needed = measured.needed.right + 2 * (measured.metrics.tmAveCharWidth + kButtonFrame);
    const RECT rect = RectInParent(dialog, button);
    if (needed <= rect.right - rect.left)
        return;
    LONG leftmost = rect.left;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT))
        leftmost = std::min(leftmost, RectInParent(dialog, child).left);
    const LONG left = std::max(leftmost, rect.right - needed);
    ::SetWindowPos(button, nullptr, left, rect.top, rect.right - left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace fontfit
