// The item strip of a bitmap menu: a toolbar with one owner-drawn button per menu
// item, standing in one column right of the menu's banner. It draws every item
// itself, turns presses, hovering and keys into hot items, opened submenus and
// delivered commands, and never lets the toolbar control see a press.
#pragma once

#include <windows.h>

#include "framework/GdiObject.h"
#include "framework/ToolBar.h"

class CBmpMenu;
class CDC;

class CBmpMenuToolBar : public CToolBar {
  public:
    CBmpMenuToolBar();

    // Hover opens or closes submenus, and the menu can make the strip forget its last
    // click; everything then reaches the toolbar control. A hot item that moved on is
    // announced to assistive technology.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Draws every item itself (the reflected NM_CUSTOMDRAW).
    virtual void OnCustomDraw(NMHDR* pNotify, LRESULT* pResult);
    // Arms hover tracking when the mouse comes to another enabled item and lets the
    // control move its hot item; disabled items never become hot.
    virtual void OnMouseMove(UINT nFlags, POINT point);
    // The menu keys: Escape, Left, Right and Return; other keys are tried as mnemonics.
    // Nonzero when the key was taken.
    BOOL HandleKey(UINT nChar, UINT nRepCnt, UINT nFlags);

    // Draws an item's check box: the bitmap (the system check mark when null), and
    // for a checked item a sunken edge and a checkerboard (flat when hot) behind the
    // picture. FALSE when no picture could be had.
    static BOOL DrawItemBox(CDC& dc, const RECT& rcBox, BOOL bHot, HBITMAP hBitmap, BOOL bChecked,
                            BOOL bGreyed);
    // A copy of the bitmap with the four standard colours black, dark grey, light grey
    // and white replaced by the system's button text, button shadow, menu (highlight
    // when hot) and button highlight colours; monochrome when greyed. Null when the
    // copy cannot be made; the caller deletes it.
    static HBITMAP MakeMenuColorBitmap(CDC& dc, HBITMAP hBitmap, BOOL bGreyed, BOOL bHot);
    // True for an item the user cannot choose: greyed or disabled. An item without a record
    // counts as usable.
    static bool IsUnusable(const MENUITEMINFOA* pRecord);
    // Copies the pixels of a 32-bit bitmap into the target of the same size and format in
    // one block, with the four colours of pFrom replaced by those of pTo. FALSE when the
    // pixels cannot be read or written.
    static BOOL MapColorBits(CDC& dc, HBITMAP hSource, HBITMAP hTarget, int nWidth, int nHeight,
                             const COLORREF* pFrom, const COLORREF* pTo);

    int m_nHotCmd;        // command id of the item last drawn hot, -1 at first
    int m_nClickedIndex;  // button index of the last accepted click, -1 when none
    CFont m_font;         // the item font: the system menu font
    POINT m_ptHover;      // where hover tracking was last armed, strip client coordinates
    int m_nHoverIndex;    // the button under the mouse when hover tracking was last armed
    int m_nFocusIndex;    // the hot item last announced as focused, -1 for none

  protected:
    // Makes the item font and sets up the control.
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    // Accepts a press on an enabled item, once, and posts BMM_ITEMCLICK for it.
    void OnLButtonDown(UINT nFlags, POINT point);
    // Takes the menu keys; the control handles the others (the arrows move its hot item).
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    // The mnemonic match: one match chooses its item, several make the next one hot,
    // none asks the owner with WM_MENUCHAR.
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    // Opens the clicked item's submenu, or delivers its command and closes the cascade.
    LRESULT OnItemClick(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

  private:
    // The menu whose popup holds this strip.
    CBmpMenu* GetBmpMenu() const;
    // The button under a point of the strip (negative for none or a separator).
    int HitTest(POINT point) const;
    // Reads a button; false when there is none at the index.
    bool GetButton(int nIndex, TBBUTTON& button) const;
    // Draws one item of a custom-draw notification.
    void DrawItem(NMTBCUSTOMDRAW& draw);
    // Tells the menu's owner that the item of the command became hot (WM_MENUSELECT).
    void ReportSelection(int nCmd, const MENUITEMINFOA& record);
    // Presses and releases the mouse on the button at the index, as a click with the key
    // flags; the rectangle's top left inner pixel is the click point.
    void ClickButton(int nIndex, WPARAM nFlags);
    // Signals the suite's monitor as the rules say and posts the command to the host.
    static void DeliverCommand(UINT nCmd);
    // Announces the hot item as the focus of the popup when it is another than last time.
    void AnnounceHotItem();
};
