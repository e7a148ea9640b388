// A list box with a check box in front of each item, in the shape of MFC's
// CCheckListBox: the dialog's list box (owner-drawn fixed, with strings) is
// subclassed, each item's check state is kept in its item data, and a change
// made by the user (a click on the box, or the space bar on the selected
// item) is told to the parent as WM_COMMAND with notification code
// kCheckChange. The parent forwards WM_DRAWITEM for the control to DrawItem.
#pragma once

#include <windows.h>

namespace fw {

class CCheckListBox {
public:
    static constexpr WORD kCheckChange = 40;

    CCheckListBox() = default;
    ~CCheckListBox();
    CCheckListBox(const CCheckListBox&) = delete;
    CCheckListBox& operator=(const CCheckListBox&) = delete;

    // Subclasses `list`; false when it is no window or already attached.
    bool Attach(HWND list);
    void Detach();
    HWND GetHwnd() const { return m_hwnd; }

    // 0 unchecked, 1 checked, 2 indeterminate; 0 for an index out of range.
    int GetCheck(int index) const;
    void SetCheck(int index, int check);

    // Draws the item the list asks its parent to draw; false when the
    // message is not for this list.
    bool DrawItem(const DRAWITEMSTRUCT& item) const;
    // The pixels in front of an item's text taken by its box.
    int CheckAreaWidth() const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Toggles the item and tells the parent.
    void Toggle(int index);
    void FitItemHeight();
    int BoxSide() const;

    HWND m_hwnd = nullptr;
    WNDPROC m_previous = nullptr;
};

}  // namespace fw
