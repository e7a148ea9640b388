#include "framework/wrapped_text.h"

#include "framework/dialog.h"

#include <algorithm>

namespace fw {
namespace {

constexpr UINT kWrappedTextFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;

// Where the lines go inside `client`, for the font selected into `dc`.
RECT LinesRect(HDC dc, const RECT& client)
{
    TEXTMETRICW metrics{};
    const LONG margin = ::GetTextMetricsW(dc, &metrics) ? metrics.tmAveCharWidth : 0;
    RECT rect = client;
    rect.right = std::max(rect.left, rect.right - margin);
    return rect;
}

}  // namespace

HGDIOBJ ControlFont(HWND control)
{
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    return font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT);
}

void DrawWrappedText(const DRAWITEMSTRUCT& item, HBRUSH background, COLORREF textColour)
{
    const HDC dc = item.hDC;
    const int saved = ::SaveDC(dc);
    ::FillRect(dc, &item.rcItem, background ? background : ::GetSysColorBrush(COLOR_3DFACE));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour);
    ::SelectObject(dc, ControlFont(item.hwndItem));
    RECT lines = LinesRect(dc, item.rcItem);
    const std::wstring text = ControlText(item.hwndItem);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &lines, kWrappedTextFormat);
    ::RestoreDC(dc, saved);
}

LONG WrappedTextHeight(HWND control, const std::wstring& text)
{
    RECT client{};
    ::GetClientRect(control, &client);
    const HDC dc = ::GetDC(control);
    if (!dc)
        return 0;
    const HGDIOBJ old = ::SelectObject(dc, ControlFont(control));
    const RECT lines = LinesRect(dc, client);
    RECT needed{lines.left, lines.top, lines.right, lines.top};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | kWrappedTextFormat);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return needed.bottom - needed.top;
}

}  // namespace fw
