// The library's own popup menu. The caller fills an ordinary menu handle and
// attaches it; Track shows it as a small topmost popup with a coloured banner
// strip on its left and, right of it, one column of owner-drawn toolbar
// buttons, one per menu item (CBmpMenuToolBar). Track runs a modal loop until an
// item is chosen, the menu is dismissed or activation moves to a window that is
// not one of these menus. A submenu opens as a further CBmpMenu whose loop runs
// nested inside its parent's.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/Menu.h"
#include "framework/Wnd.h"

class CBmpMenuAccessible;
class CBmpMenuToolBar;
class CDC;

// Private messages of the menu windows.
constexpr UINT BMM_ITEMCLICK = 0x465;    // to a strip, posted by itself: an item was clicked
constexpr UINT BMM_REARM = 0x466;        // to a menu, handed to its strip: forget the last click
constexpr UINT BMM_OPENSUBMENU = 0x467;  // to a menu: open the submenu of the item at a point

// Bits of CBmpMenu::m_dwTrackFlags (BMF_SELECTFIRST also in the key flags of a click).
constexpr DWORD BMF_SUBMENU = 0x001;      // the menu is a submenu
constexpr DWORD BMF_SELECTFIRST = 0x100;  // make the first item hot when the menu opens

class CBmpMenu : public CWnd, public CMenu {
    DECLARE_DYNAMIC(CBmpMenu)

  public:
    // The banner bitmap is kept only when it is a bitmap the system can describe.
    CBmpMenu(int nBannerWidth, BOOL bSubMenuBanner, HBITMAP hBannerBitmap, DWORD nExtra);
    // Ends what is left of a tracking and destroys the attached menu handle.
    ~CBmpMenu() override;

    // Shows the attached menu at (x, y), or beside the exclusion rectangle when one is
    // given, and runs its modal loop. pOwner is the window that receives the menu's
    // notifications (for a submenu: the parent menu). TRUE after the menu was shown
    // and has closed; FALSE when it cannot be shown. nFlags is not interpreted.
    BOOL Track(UINT nFlags, int x, int y, CWnd* pOwner, const RECT* pExclude);
    // Sets the banner's top colour; 0xFFFFFFFF takes the active caption colour of now.
    void SetBannerColor(COLORREF crColor);
    // Sets the colour the banner fades to; 0xFFFFFFFF takes the gradient caption colour
    // of now.
    void SetBannerGradientColor(COLORREF crColor);
    // Tells the owner that the menu loop is over, hands the focus back to a parent
    // menu, then destroys the popup.
    BOOL DestroyWindow() override;
    // Ends the loops of every open submenu below this menu, the deepest first.
    void CloseSubMenus();
    // Ends the loops of the whole cascade this menu belongs to.
    void CloseMenuChain();

    // Where a menu of nWidth by nHeight opens on a screen: at the point (x, y), or
    // beside the exclusion rectangle when one is given. The first candidate that fits
    // wholly inside rcScreen is taken; when none does, the menu opens at the point, or
    // right of the rectangle at its top.
    static POINT CalcPosition(int x, int y, const RECT* pExclude, int nWidth, int nHeight,
                              const RECT& rcScreen);

    CWnd* m_pOwner;               // receives the notifications; not owned
    COLORREF m_crBannerGradient;  // the colour the banner fades to at its bottom
    COLORREF m_crBanner;          // the banner's top colour
    CBmpMenu* m_pSubMenu;         // the submenu open below this menu; not owned
    HBITMAP m_hBannerBitmap;      // handed on to submenus, drawn by nobody; not owned
    BOOL m_bSubMenuBanner;        // nonzero: submenus get this banner width and bitmap
    DWORD m_nExtra;               // handed on unchanged to submenus
    int m_nBannerWidth;           // width of the banner strip left of the items, pixels
    DWORD m_dwTrackFlags;         // BMF_SUBMENU, BMF_SELECTFIRST
    std::unique_ptr<CBmpMenuToolBar> m_pToolBar;  // the item strip while the menu is tracked
    // The item records the strip's buttons point to, and their texts. The menu owns
    // them here rather than through the buttons, so that they are freed even when the
    // strip's window went away with an owner that was destroyed.
    std::vector<std::unique_ptr<MENUITEMINFOA>> m_itemRecords;
    std::vector<std::unique_ptr<char[]>> m_itemTexts;  // texts of m_itemRecords, 260 bytes each
    // What assistive technology reads of the popup, made when it first asks; one reference is
    // the menu's until the popup goes.
    CBmpMenuAccessible* m_pAccessible;
    BOOL m_bPopupAnnounced;  // the popup's start was announced and its end is still due

  protected:
    // Registers the class "BitmapMenu" with the attributes of the layer's default class
    // and creates the popup with it.
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // The popup's own handling of activation, keys, commands, its destruction and the
    // private messages.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Paints the banner.
    void OnPaint();
    // WM_ACTIVATE: the cascade closes when the activation leaves its menus.
    void OnActivate(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

  private:
    // Paints the banner's colours over the whole client area rc in one block of pixels,
    // on displays that store every colour exactly; FALSE when the fills must do it.
    static BOOL PaintBannerBits(CDC& dc, const RECT& rc, int n, COLORREF crTop, COLORREF crBottom);
    // Fills the strip with one button per menu item and sizes it; returns the popup's
    // screen rectangle, where Track shows it.
    RECT BuildItems(CBmpMenuToolBar* pBar, int x, int y, const RECT* pExclude);
    // Adds one button per readable menu item to the strip, all in one message.
    void AddItemButtons(HWND hBar);
    // Reads menu item nIndex into a record of its own (and its text into the strip's string
    // list) and describes its button; false when the item cannot be read.
    bool MakeItemButton(HWND hBar, int nIndex, TBBUTTON& button);
    // Fits the strip around its buttons (each cxCheck wider for the check box) and shows it;
    // returns the popup's size.
    SIZE SizeStrip(HWND hBar, int cxCheck);
    // Shows the popup at its rectangle, announces it and runs its modal loop until it closes.
    void ShowAndRunLoop(const RECT& rcWindow);
    // The popup's screen rectangle: its size at where CalcPosition puts it on the desktop
    // window.
    RECT PlaceWindow(int x, int y, const RECT* pExclude, int nWidth, int nHeight) const;
    // Opens the submenu of the item at the strip point in wParam and runs its loop.
    void OpenSubMenu(WPARAM wParam, LPARAM lParam);
    // Frees the item records, destroys the strip and the popup.
    void ReleaseItems();
    // The menu whose popup owns this one, or null for a top-level menu.
    CBmpMenu* GetParentMenu() const;
    // Tells assistive technology that the popup has gone, once per showing.
    void AnnouncePopupEnd();
    // Cuts the accessible object off the popup and lets go of it.
    void ReleaseAccessible();
};
