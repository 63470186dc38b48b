// The bitmap popup menu: where it opens, the popup and its item strip, submenus, what it refuses,
// its painting read back from the screen, and its mouse and keyboard input as the owner and the
// host hear them.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "TestSupport.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"

namespace {

using Lines = std::vector<std::string>;

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }
std::vector<int> Corners(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }

// Refuses the creation of every window of the class g_pszRefused on the hooked thread.
const char* g_pszRefused = nullptr;
LRESULT CALLBACK RefuseClass(int nCode, WPARAM wParam, LPARAM lParam) {
    char szClass[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(wParam), szClass, sizeof(szClass));
    if (nCode == HCBT_CREATEWND && lstrcmpiA(szClass, g_pszRefused) == 0) return 1;
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// Sets system colours for one scope and puts the previous ones back.
struct CSysColors {
    // Keeps the present values of the colours and sets the new ones.
    CSysColors(std::vector<int> ids, std::vector<COLORREF> colors) : m_ids(std::move(ids)) {
        for (int nId : m_ids) m_previous.push_back(GetSysColor(nId));
        SetSysColors(static_cast<int>(m_ids.size()), m_ids.data(), colors.data());
    }
    // Sets the kept values again.
    ~CSysColors() { SetSysColors(static_cast<int>(m_ids.size()), m_ids.data(), m_previous.data()); }
    std::vector<int> m_ids;            // the colours set
    std::vector<COLORREF> m_previous;  // their values before
};

// The pixels of a window's client area, read back from the screen after a repaint.
struct CPixels {
    // Repaints the window at once and reads from its client area.
    explicit CPixels(HWND hWnd) : m_hDC(GetDC(hWnd)) {
        RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    // Gives the DC back.
    ~CPixels() { ReleaseDC(WindowFromDC(m_hDC), m_hDC); }
    // The colour of a pixel in client coordinates.
    COLORREF At(int x, int y) const { return GetPixel(m_hDC, x, y); }
    // Number of pixels of a colour in a rectangle.
    int Count(const RECT& rc, COLORREF cr) const {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x) n += At(x, y) == cr ? 1 : 0;
        return n;
    }
    HDC m_hDC;  // the client area's DC of the window read
};

}  // namespace

TEST(BmpMenuWindow, PlacementFollowsBothTables) {
    // The point, the rectangle to open beside (empty: open at the point), the menu's size, where
    // it opens on a 1024 x 768 screen.
    const std::tuple<POINT, RECT, SIZE, std::pair<LONG, LONG>> cases[] = {
        // At a point: below right, below left, above right, above left, else at the point.
        {{100, 100}, {}, {150, 120}, {100, 100}},
        {{950, 100}, {}, {150, 120}, {800, 100}},
        {{100, 700}, {}, {150, 120}, {100, 580}},
        {{1000, 760}, {}, {150, 120}, {850, 640}},
        {{500, 400}, {}, {600, 500}, {500, 400}},
        // The comparisons are strict: touching the screen's edge does not fit.
        {{874, 100}, {}, {150, 120}, {724, 100}},
        {{873, 647}, {}, {150, 120}, {873, 647}},
        // Beside a rectangle: right at top, right at bottom, left at top, left at bottom; when
        // nothing fits, the first.
        {{0, 0}, {400, 300, 500, 320}, {150, 120}, {500, 300}},
        {{0, 0}, {400, 700, 500, 720}, {150, 120}, {500, 600}},
        {{0, 0}, {850, 300, 950, 320}, {150, 120}, {700, 300}},
        {{0, 0}, {850, 700, 950, 720}, {150, 120}, {700, 600}},
        {{0, 0}, {400, 300, 500, 320}, {600, 800}, {500, 300}},
    };
    for (const auto& [pt, rc, size, expected] : cases) {
        const POINT at = CBmpMenu::CalcPosition(pt.x, pt.y, IsRectEmpty(&rc) ? nullptr : &rc,
                                                size.cx, size.cy, RECT{0, 0, 1024, 768});
        EXPECT_EQ(std::make_pair(at.x, at.y), expected) << pt.x << "," << pt.y << " by " << rc.left;
    }
}

TEST(BmpMenuWindow, RefusesWhatItCannotShowThenBuildsOneButtonPerItemAndSizesThePopup) {
    // The test menu, whose last item follows a separator; its last item alone; no items. Each
    // with a window class that cannot be made at first.
    for (const auto& [nItems, nBanner, pszRefused] :
         {std::tuple<int, int, const char*>{6, 30, "BitmapMenu"},
          {1, 0, TOOLBARCLASSNAMEA},
          {0, 30, "BitmapMenu"}}) {
        SCOPED_TRACE(nItems);
        MenuSetup s(nBanner);
        while (GetMenuItemCount(s.hMenu) > nItems) DeleteMenu(s.hMenu, 0, MF_BYPOSITION);
        // The popup or the strip cannot be made: the owner was told of the menu, then nothing
        // more.
        g_pszRefused = pszRefused;
        const HHOOK hHook = SetWindowsHookExA(WH_CBT, &RefuseClass, nullptr, GetCurrentThreadId());
        EXPECT_FALSE(s.owner.Track(s.menu, 10, 10));
        UnhookWindowsHookEx(hHook);
        EXPECT_TRUE(s.menu.m_hWnd == nullptr && s.menu.m_pToolBar == nullptr);
        EXPECT_EQ(s.owner.Take(), Lines{"initmenu menu 0"});
        s.owner.AddStep(1, [&, nItems = nItems, nBanner = nBanner] {
            const HWND hPopup = s.owner.OpenMenus().at(0), hStrip = Strip(hPopup);
            EXPECT_TRUE(GetParent(hPopup) == s.owner.m_hWnd && GetFocus() == hPopup);
            // Wine drops WS_EX_TOPMOST from a window made with WS_CHILD in its style.
            const DWORD dwEx =
                WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
            const DWORD dwStyle =
                WS_POPUP | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_EXSTYLE) & dwEx, dwEx);
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_STYLE) & dwStyle, dwStyle);
            ASSERT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), nItems);
            const int nButtonWidth = nItems > 0 ? Width(ItemRect(hStrip, 0)) : 0;
            // Every button is as wide as the first, and takes its state from its item.
            for (int i = 0; i < nItems; ++i) {
                const UINT nState = GetMenuState(s.hMenu, i, MF_BYPOSITION);
                TBBUTTON button = {};
                SendMessageA(hStrip, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
                EXPECT_EQ((button.fsState & TBSTATE_ENABLED) != 0, (nState & MF_GRAYED) == 0) << i;
                EXPECT_TRUE(nState & MF_SEPARATOR || Width(ItemRect(hStrip, i)) == nButtonWidth);
            }
            // The frame holds the banner and the buttons and ends right under the last one; the
            // strip stands right of the banner, in the popup's client coordinates.
            const RECT rcWindow = WindowRect(hPopup);
            RECT rcStrip = WindowRect(hStrip);
            MapWindowPoints(nullptr, hPopup, reinterpret_cast<POINT*>(&rcStrip), 2);
            const int nItemsHeight =
                nItems > 0 ? ItemRect(hStrip, nItems - 1).bottom - ItemRect(hStrip, 0).top : 0;
            EXPECT_EQ(Corners(rcWindow),
                      Corners({200, 150, 206 + nButtonWidth + nBanner, 156 + nItemsHeight}));
            EXPECT_EQ(Corners(rcStrip),
                      Corners({nBanner, 0, nBanner + nButtonWidth + 6, Height(rcWindow)}));
            PressKey(hPopup, VK_ESCAPE);
        });
        EXPECT_TRUE(s.owner.Track(s.menu, 200, 150));
    }
}

TEST(BmpMenuPaint, BannerAndItemsShowTheirColoursStatesBitmapsAndArrow) {
    // A 12 x 12 bitmap with the four standard colours in its quarters: black top left, dark grey
    // top right, light grey bottom left, white bottom right; on Open and on the greyed Disabled.
    const DWORD quarters[4] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
    DWORD bits[12 * 12];
    for (int i = 0; i < 12 * 12; ++i) bits[i] = quarters[(i / 72) * 2 + (i % 12) / 6];
    HBITMAP hBitmap = CreateBitmap(12, 12, 1, 32, bits);
    MenuSetup s;
    for (UINT i : {0u, 3u}) SetMenuItemBitmaps(s.hMenu, i, MF_BYPOSITION, hBitmap, nullptr);
    // 0xFFFFFFFF takes the caption colour of the moment the setter runs.
    const COLORREF crTop = RGB(210, 30, 120), crBottom = RGB(10, 220, 250);
    CSysColors caption({COLOR_ACTIVECAPTION}, {crTop});
    s.menu.SetBannerColor(0xFFFFFFFF);
    s.menu.SetBannerGradientColor(crBottom);
    // Colours that no default scheme uses, so every mapped pixel is recognised.
    const COLORREF crBtnText = RGB(10, 20, 30), crShadow = RGB(90, 60, 30),
                   crMenu = RGB(230, 220, 170), crBtnHighlight = RGB(250, 250, 240),
                   crGrayText = RGB(150, 20, 150), crMenuText = RGB(0, 90, 0),
                   crHighlight = RGB(20, 60, 200), crHighlightText = RGB(255, 255, 0);
    CSysColors colors(
        {COLOR_ACTIVECAPTION, COLOR_BTNTEXT, COLOR_BTNSHADOW, COLOR_MENU, COLOR_BTNHIGHLIGHT,
         COLOR_GRAYTEXT, COLOR_MENUTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
        {crBottom, crBtnText, crShadow, crMenu, crBtnHighlight, crGrayText, crMenuText, crHighlight,
         crHighlightText});
    s.owner.AddStep(1, [&] {
        const HWND hPopup = s.owner.OpenMenus().at(0), hStrip = Strip(hPopup);
        // The check box of an item (as wide as high), and the text right of it.
        const auto box = [&](int nIndex, bool bText = false) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.left += 1 + (bText ? Height(rc) + 2 : 0);
            rc.right = bText ? rc.right : rc.left + Height(rc);
            return rc;
        };
        const CPixels px(hStrip);
        // The centres of the quarters of an item's 12 x 12 picture.
        const auto quarters = [&](int nIndex) {
            const RECT rc = box(nIndex);
            const int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
            return std::vector<COLORREF>({px.At(x - 3, y - 3), px.At(x + 3, y - 3),
                                          px.At(x - 3, y + 3), px.At(x + 3, y + 3)});
        };
        // The standard colours of an item bitmap show in the system's colours; a greyed item's
        // in grey on the menu colour, its text embossed.
        EXPECT_EQ(quarters(0),
                  std::vector<COLORREF>({crBtnText, crShadow, crMenu, crBtnHighlight}));
        const std::vector<COLORREF> grey = quarters(3);
        EXPECT_EQ(std::make_pair(grey[0], grey[3]), std::make_pair(crGrayText, crMenu));
        EXPECT_GT(px.Count(box(3, true), crGrayText) * px.Count(box(3, true), crBtnHighlight), 0);
        EXPECT_EQ(px.Count(box(3, true), crMenuText), 0);
        // The mnemonic's underline: the lowest row of text lies under the first letter only.
        const RECT rcText = box(0, true);
        int nLowest = -1, nRight = rcText.left;
        for (int y = rcText.top; y < rcText.bottom; ++y)
            nLowest = px.Count({rcText.left, y, rcText.right, y + 1}, crMenuText) > 0 ? y : nLowest;
        for (int x = rcText.left; nLowest >= 0 && x < rcText.right; ++x)
            nRight = px.At(x, nLowest) == crMenuText ? x : nRight;
        EXPECT_TRUE(nLowest >= 0 && nRight - rcText.left < 12) << nLowest << " " << nRight;
        // A checked item without bitmaps: the check mark in a sunken box on a checkerboard.
        const RECT rcCheck = box(1);
        const int yMiddle = (rcCheck.top + rcCheck.bottom) / 2;
        EXPECT_EQ(std::make_pair(px.At(rcCheck.left, yMiddle), px.At(rcCheck.right - 1, yMiddle)),
                  std::make_pair(crShadow, crBtnHighlight));
        const COLORREF crFirst = px.At(rcCheck.left + 1, rcCheck.top + 1);
        EXPECT_TRUE(crFirst == crMenu || crFirst == crBtnHighlight);
        EXPECT_EQ(px.At(rcCheck.left + 2, rcCheck.top + 1) ^ crFirst, crMenu ^ crBtnHighlight);
        EXPECT_GT(px.Count(rcCheck, crMenuText), 0);
        // The submenu arrow near the item's right end: a filled triangle pointing right, its
        // columns shrinking by two px to a point, about 0.4 check widths high.
        const int c = GetSystemMetrics(SM_CXMENUCHECK);
        const RECT rcArrow = ItemRect(hStrip, 4);
        std::vector<int> heights;
        for (int x = rcArrow.right - c; x < rcArrow.right; ++x)
            if (int n = px.Count({x, rcArrow.top, x + 1, rcArrow.bottom}, crMenuText))
                heights.push_back(n);
        ASSERT_FALSE(heights.empty());
        EXPECT_EQ(heights.back(), 1);
        EXPECT_NEAR(heights.front(), 0.4 * c, 2.0);
        for (size_t i = 1; i < heights.size(); ++i) EXPECT_EQ(heights[i - 1] - heights[i], 2) << i;
        // A hot item: highlight behind, light grey of the bitmap in the highlight colour.
        SendMessageA(hStrip, TB_SETHOTITEM, 0, 0);
        RedrawWindow(hStrip, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const std::vector<COLORREF> hot = quarters(0);
        EXPECT_EQ(std::make_pair(hot[0], hot[2]), std::make_pair(crBtnText, crHighlight));
        EXPECT_GT(px.Count(rcText, crHighlightText) * px.Count(rcText, crHighlight), 0);
        // The banner, cut to 60 rows: a sixth in the top colour; then each channel moves towards
        // the gradient colour, slowly first, and never past it; the last row is the highlight line.
        // At 6 rows one is in the top colour, and every further one moves.
        // The popup's frame takes 6 pixels of its height.
        for (const int nRows : {60, 6}) {
            MoveWindow(hPopup, 100, 100, 200, nRows + 6, TRUE);
            const CPixels banner(hPopup);
            for (int y = 0; y < nRows; ++y) {
                EXPECT_EQ(banner.At(28, y), banner.At(1, y)) << "row " << y;
                EXPECT_TRUE(y >= nRows / 6 || banner.At(1, y) == crTop) << "row " << y;
                EXPECT_TRUE(nRows > 6 || y == 0 || banner.At(1, y) != banner.At(1, y - 1)) << y;
            }
            EXPECT_EQ(banner.At(1, nRows - 1), crBtnHighlight);
            for (int nShift = 0; nShift < 24 && nRows == 60; nShift += 8) {
                const auto channel = [&](int y) { return int(banner.At(1, y) >> nShift & 0xFF); };
                const int a = int(crTop >> nShift & 0xFF), b = int(crBottom >> nShift & 0xFF);
                const int nDirection = b > a ? 1 : -1;
                for (int y = 10; y <= 58; ++y) {
                    EXPECT_GE((channel(y) - channel(y - 1)) * nDirection, 0) << "row " << y;
                    EXPECT_LE((channel(y) - b) * nDirection, 0) << "row " << y;
                }
                EXPECT_LT(std::abs(channel(34) - a), std::abs(channel(58) - channel(34)));
                EXPECT_LT(std::abs(channel(58) - b), std::abs(channel(58) - a));
            }
        }
        PressKey(hPopup, VK_ESCAPE);
    });
    EXPECT_TRUE(s.owner.Track(s.menu, 100, 100));
    DeleteObject(hBitmap);
}

TEST(BmpMenuInput, OwnerHearsHoveringClickingChoosingAndClosing) {
    // A banner bitmap is kept only when the system can describe it.
    EXPECT_EQ(CBmpMenu(30, 0, reinterpret_cast<HBITMAP>(0x1234), 0).m_hBannerBitmap, nullptr);
    MenuSetup s(24, 1, CreateBitmap(4, 4, 1, 1, nullptr), 7);
    HWND hStrip = nullptr;
    RECT rcTop = {}, rcSub = {}, rcItem = {};
    CBmpMenuToolBar* pStrip = nullptr;
    // Moves the mouse to a point of the strip, rests there (WM_MOUSEHOVER) or not (WM_NULL), and
    // paints what became hot.
    const auto hover = [&](int nIndex, UINT nRest = WM_MOUSEHOVER, int dx = 0) {
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, nIndex) + dx);
        SendMessageA(hStrip, nRest, 0, ItemParam(hStrip, nIndex));
        RedrawWindow(hStrip, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    };
    MSG msg = {};  // a click of the strip that waits in the queue
    s.owner.AddStep(1, [&] {
        const HWND hPopup = s.owner.OpenMenus().at(0);
        pStrip = MenuOf(hPopup)->m_pToolBar.get();
        hStrip = pStrip->m_hWnd;
        rcTop = WindowRect(hPopup);
        rcItem = ItemRect(hStrip, 4);
        MapWindowPoints(hStrip, nullptr, reinterpret_cast<POINT*>(&rcItem), 2);
        // Another point of the same item, and a disabled item, change nothing.
        for (const auto& [nIndex, dx] : {std::pair<int, int>{0, 0}, {0, 1}, {3, 0}})
            hover(nIndex, WM_NULL, dx);
        EXPECT_NE(SendMessageA(hStrip, TB_GETHOTITEM, 0, 0), 3);
        hover(1, WM_NULL);
        // A press on a disabled item is no click; resting on the submenu item opens the submenu.
        Press(hStrip, 3);
        EXPECT_FALSE(PeekMessageA(&msg, hStrip, BMM_ITEMCLICK, BMM_ITEMCLICK, PM_NOREMOVE));
        hover(4);
    });
    s.owner.AddStep(2, [&] {
        rcSub = WindowRect(s.owner.OpenMenus()[1]);
        CBmpMenu* pSub = MenuOf(s.owner.OpenMenus()[1]);
        ASSERT_TRUE(pSub != nullptr && s.menu.m_pSubMenu == pSub);
        EXPECT_TRUE(pSub->m_hMenu == s.hSub && pSub->m_pOwner == &s.owner);
        EXPECT_EQ(pSub->m_dwTrackFlags, BMF_SUBMENU);
        // Asked to, the parent hands on its banner width and bitmap; the extra value always.
        EXPECT_TRUE(pSub->m_nBannerWidth == 24 && pSub->m_hBannerBitmap == s.menu.m_hBannerBitmap);
        EXPECT_EQ(pSub->m_nExtra, 7u);
        hover(5);  // resting on an item without submenu closes it again
    });
    s.owner.AddStep(1, [&] {
        // Two presses on the submenu item post one click.
        Press(hStrip, 4);
        Press(hStrip, 4);
        EXPECT_EQ(pStrip->m_nClickedIndex, 4);
    });
    s.owner.AddStep(2, [&] {
        // A third press on the item whose submenu is open is no click either; Left closes only
        // the submenu and lets the parent take the item again.
        Press(hStrip, 4);
        EXPECT_FALSE(PeekMessageA(&msg, hStrip, BMM_ITEMCLICK, BMM_ITEMCLICK, PM_NOREMOVE));
        PressKey(s.owner.OpenMenus()[1], VK_LEFT);
    });
    s.owner.AddStep(1, [&] {
        EXPECT_TRUE(s.menu.m_pSubMenu == nullptr && pStrip->m_nClickedIndex == -1);
        Press(hStrip, 4);
    });
    // Hovering another item closes the submenu and forgets the click.
    s.owner.AddStep(2, [&] {
        hover(0);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
    });
    s.owner.AddStep(1, [&] { Press(hStrip, 5); });
    // Near the bottom right corner the menu opens up and to the left of the point.
    const RECT rcDesktop = WindowRect(GetDesktopWindow());
    EXPECT_TRUE(s.owner.Track(s.menu, rcDesktop.right - 20, rcDesktop.bottom - 20));
    EXPECT_TRUE(rcTop.right == rcDesktop.right - 20 && rcTop.bottom == rcDesktop.bottom - 20);
    // No room on the right nor below: the submenu opens left of the parent, clear of its
    // banner, ending at the item's bottom.
    EXPECT_EQ(std::make_pair(rcSub.right, rcSub.bottom),
              std::make_pair(rcItem.left - 24, rcItem.bottom));
    const std::string a = "initpopup sub 0", b = "enterloop sub", z = "exitloop 0 0";
    EXPECT_EQ(s.owner.Take(),
              (Lines{"initmenu menu 0", "enterloop menu", "select 101/0 menu", "select 102/8 menu",
                     "select 4/16 menu", a, b, "select 104/0 menu", z, a, b, z, a, b,
                     "select 101/0 menu", z, z}));
    EXPECT_EQ(s.host.Take(), Lines{"command 104 0"});
    // Destroying the menu frees its submenu's handle too.
    s.menu.DestroyMenu();
    EXPECT_FALSE(IsMenu(s.hMenu) || IsMenu(s.hSub));
    DeleteObject(s.menu.m_hBannerBitmap);
}

TEST(BmpMenuInput, KeysMnemonicsAndActivationMoveThroughOrEndTheCascade) {
    MenuSetup s;
    const LRESULT kChoose = MAKELRESULT(77, MNC_EXECUTE), kClose = MAKELRESULT(0, MNC_CLOSE);
    // Besides keys: every open popup activated in turn; the host activated, a window without an
    // object of the framework (as the suite's host is) activated; the owner destroyed.
    const int kActivate = 0x10000, kHost = 0x10001, kForeign = 0x10002, kGone = 0x10003;
    const HWND hForeign = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9,
                                          nullptr, nullptr, nullptr, nullptr);
    // Each case makes an item of the top menu hot, presses its keys one by one into the deepest
    // open menu (a negative key into the top one), then looks at what is open and hot. A case:
    // its name, the hot item of the top menu at first, the keys pressed in turn (VK_MENU comes as
    // WM_SYSKEYDOWN), the owner's answer to WM_MENUCHAR, the menus open afterwards and then the
    // hot item of the deepest one, what the owner heard of WM_MENUCHAR and WM_COMMAND.
    const std::tuple<const char*, int, std::vector<int>, LRESULT, size_t, int, Lines> cases[] = {
        // An arrow key is offered as a mnemonic first, then moves the hot item.
        {"down", 0, {VK_DOWN}, 0, 1, 1, {"menuchar 40/16 menu"}},
        // Left in a top-level menu does nothing; Return opens the hot submenu (Right: the leak
        // counts; choosing by Return and by a single mnemonic: the desktop tests).
        {"left", 4, {VK_LEFT}, 0, 1, 4, {}},
        {"return on a submenu", 4, {VK_RETURN}, 0, 2, 0, {}},
        // Right on a plain item does nothing.
        {"right on a plain item", 5, {VK_RIGHT}, 0, 1, 5, {}},
        // Keys given to the parent reach the deepest submenu.
        {"left to the parent", 4, {VK_RIGHT, -VK_LEFT}, 0, 1, 4, {}},
        // Alt in a submenu closes every menu.
        {"alt", 4, {VK_RIGHT, VK_MENU}, 0, 0, -1, {}},
        // Several items with the mnemonic, in either case: the next one after the hot item
        // becomes hot, round the end.
        {"several matches", 4, {VK_RIGHT, 'O'}, 0, 2, 2, {}},
        {"round the end", 4, {VK_RIGHT, 'O', 'O'}, 0, 2, 0, {}},
        // No match: the owner is asked; it may leave the menu as it is, choose a command itself
        // or close the menu.
        {"no match", 0, {'Z'}, 0, 1, 0, {"menuchar 90/16 menu"}},
        {"the owner chooses", 0, {'Z'}, kChoose, 1, 0, {"menuchar 90/16 menu", "command 77 0"}},
        {"the owner closes", 0, {'Z'}, kClose, 0, -1, {"menuchar 90/16 menu"}},
        // Moving between a menu and its submenu is no reason to close; another window activated
        // is (clicked by the user: the desktop tests). The popups go with their owner, and each
        // loop ends as its window is gone.
        {"between the menus", 4, {VK_RIGHT, kActivate}, 0, 2, 0, {}},
        {"the host activated", 4, {VK_RIGHT, kActivate, kHost}, 0, 0, -1, {}},
        {"another window activated", 4, {VK_RIGHT, kForeign}, 0, 0, -1, {}},
        {"the owner destroyed", 4, {VK_RIGHT, kGone}, 0, 0, -1, {}},
    };
    for (const auto& [pszName, nHotBefore, keys, nAnswer, nOpen, nHot, expected] : cases) {
        SCOPED_TRACE(pszName);
        std::pair<size_t, int> now = {0, -1};  // menus open and hot item at the end
        s.owner.SetMenuCharAnswer(nAnswer);
        s.owner.AddStep(1, [&, nHotBefore = nHotBefore] {
            const HWND hStrip = Strip(s.owner.OpenMenus().at(0));
            SendMessageA(hStrip, TB_SETHOTITEM, nHotBefore, 0);
            UpdateWindow(hStrip);
        });
        for (const int nKey : keys) {
            s.owner.AddStep(0, [&, nKey] {
                const std::vector<HWND> open = s.owner.OpenMenus();
                const HWND hPopup = nKey < 0 ? open.at(0) : open.back();
                for (size_t i = 0; nKey == kActivate && i < open.size(); ++i)
                    SetActiveWindow(open[i]);
                if (nKey == kHost || nKey == kForeign)
                    SetActiveWindow(nKey == kHost ? s.host.m_hWnd : hForeign);
                if (nKey == kGone) ::DestroyWindow(s.owner.m_hWnd);
                if (nKey == VK_MENU) SendMessageA(hPopup, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
                if (nKey != VK_MENU && std::abs(nKey) < kActivate) PressKey(hPopup, std::abs(nKey));
            });
        }
        s.owner.AddStep(0, [&] {
            now = {s.owner.OpenMenus().size(),
                   int(SendMessageA(Strip(s.owner.OpenMenus().back()), TB_GETHOTITEM, 0, 0))};
            PressKey(s.owner.OpenMenus().back(), VK_ESCAPE);
        });
        EXPECT_TRUE(s.owner.Track(s.menu, 100, 100));
        EXPECT_EQ(now, std::make_pair(nOpen, nHot));
        Lines heard;
        for (const std::string& line : s.owner.Take())
            if (line.rfind("menuchar", 0) == 0 || line.rfind("command", 0) == 0)
                heard.push_back(line);
        EXPECT_EQ(heard, expected);
        EXPECT_EQ(s.host.Take(), Lines{});
        // No popup is left, the menu handle stays, and an owner still there heard every loop end.
        EXPECT_EQ(FindWindowExA(nullptr, nullptr, "BitmapMenu", nullptr), nullptr);
        EXPECT_TRUE(s.menu.m_pSubMenu == nullptr && s.menu.m_pToolBar == nullptr &&
                    IsMenu(s.hMenu) && (!IsWindow(s.owner.m_hWnd) || s.owner.OpenMenus().empty()));
    }
    DestroyWindow(hForeign);
    SetCursorPos(1010, 5);
}
