// The bitmap popup menu: where it opens, the popup and its item strip, submenus, what it refuses,
// its painting read back from the screen, and its mouse and keyboard input as the owner and the
// host hear them.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "ImportPatch.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "core/velTrayLibMgr.h"
#include "util/TraceLog.h"

namespace {

using Lines = std::vector<std::string>;

RECT WindowRect(HWND hWnd) {
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}
int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

// Repaints a window and its children now.
void Repaint(HWND hWnd) {
    RedrawWindow(hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Refuses the creation of every window of one class on this thread while it exists.
class CRefuseClass {
  public:
    explicit CRefuseClass(const char* pszClass)
        : m_hHook(SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId())) {
        s_pszClass = pszClass;
    }
    ~CRefuseClass() { UnhookWindowsHookEx(m_hHook); }

  private:
    // Refuses a window of the class at its creation.
    static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam) {
        char szClass[64] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), szClass, sizeof(szClass));
        if (nCode == HCBT_CREATEWND && lstrcmpiA(szClass, s_pszClass) == 0) return 1;
        return CallNextHookEx(nullptr, nCode, wParam, lParam);
    }
    static const char* s_pszClass;  // the class refused
    HHOOK m_hHook;                  // the hook that refuses it
};
const char* CRefuseClass::s_pszClass = nullptr;

// GetMenuItemInfoA failing for the second item, and the trace lines written meanwhile.
BOOL(WINAPI* g_pfnGetMenuItemInfoA)(HMENU, UINT, BOOL, LPMENUITEMINFOA) = nullptr;
BOOL WINAPI FailSecondItem(HMENU hMenu, UINT nItem, BOOL bByPosition, LPMENUITEMINFOA pInfo) {
    SetLastError(0x57);
    return nItem != 1 && g_pfnGetMenuItemInfoA(hMenu, nItem, bByPosition, pInfo);
}
Lines g_traceLines;
StatusWord RecordTrace(const CStrBuf& line) {
    g_traceLines.emplace_back(line.CStr());
    return ST_OK;
}

// Sets system colours for one scope and puts the previous ones back.
class CSysColors {
  public:
    CSysColors(std::vector<int> ids, std::vector<COLORREF> colors) : m_ids(std::move(ids)) {
        for (int nId : m_ids) m_previous.push_back(GetSysColor(nId));
        SetSysColors(static_cast<int>(m_ids.size()), m_ids.data(), colors.data());
    }
    ~CSysColors() { SetSysColors(static_cast<int>(m_ids.size()), m_ids.data(), m_previous.data()); }

  private:
    std::vector<int> m_ids;            // the colours set
    std::vector<COLORREF> m_previous;  // their values before
};

// The pixels of a window's client area, read back from the screen.
class CPixels {
  public:
    explicit CPixels(HWND hWnd) : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    ~CPixels() { ReleaseDC(m_hWnd, m_hDC); }
    COLORREF At(int x, int y) const { return GetPixel(m_hDC, x, y); }
    // Number of pixels of a colour in a rectangle.
    int Count(const RECT& rc, COLORREF cr) const {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y) {
            for (int x = rc.left; x < rc.right; ++x) n += At(x, y) == cr ? 1 : 0;
        }
        return n;
    }

  private:
    HWND m_hWnd;  // the window read
    HDC m_hDC;    // its client area's DC
};

// Points the tray manager's command delivery at a host window for one scope.
struct CHostScope {
    explicit CHostScope(HWND hHost) : m_hPrevious(CvelTrayLibMgr::Instance().m_hHostWnd) {
        CvelTrayLibMgr::Instance().m_hHostWnd = hHost;
    }
    ~CHostScope() { CvelTrayLibMgr::Instance().m_hHostWnd = m_hPrevious; }
    HWND m_hPrevious;  // the manager's host window before the scope
};

}  // namespace

TEST(BmpMenuWindow, PlacementFollowsBothTables) {
    const RECT kNone = {};
    const struct {
        int x, y;
        RECT rcExclude;  // empty: open at the point
        int nWidth, nHeight;
        POINT expected;
    } cases[] = {
        // At a point: below right, below left, above right, above left, else at the point.
        {100, 100, kNone, 150, 120, {100, 100}},
        {950, 100, kNone, 150, 120, {800, 100}},
        {100, 700, kNone, 150, 120, {100, 580}},
        {1000, 760, kNone, 150, 120, {850, 640}},
        {500, 400, kNone, 600, 500, {500, 400}},
        // The comparisons are strict: touching the screen's edge does not fit.
        {874, 100, kNone, 150, 120, {724, 100}},
        {873, 647, kNone, 150, 120, {873, 647}},
        // Beside a rectangle: right at top, right at bottom, left at top, left at bottom; when
        // nothing fits, the first.
        {0, 0, {400, 300, 500, 320}, 150, 120, {500, 300}},
        {0, 0, {400, 700, 500, 720}, 150, 120, {500, 600}},
        {0, 0, {850, 300, 950, 320}, 150, 120, {700, 300}},
        {0, 0, {850, 700, 950, 720}, 150, 120, {700, 600}},
        {0, 0, {400, 300, 500, 320}, 600, 800, {500, 300}},
    };
    for (const auto& c : cases) {
        const POINT pt =
            CBmpMenu::CalcPosition(c.x, c.y, IsRectEmpty(&c.rcExclude) ? nullptr : &c.rcExclude,
                                   c.nWidth, c.nHeight, RECT{0, 0, 1024, 768});
        EXPECT_EQ(std::make_pair(pt.x, pt.y), std::make_pair(c.expected.x, c.expected.y))
            << c.x << "," << c.y << " beside " << c.rcExclude.left << "," << c.rcExclude.top;
    }
}

TEST(BmpMenuWindow, BuildsOneButtonPerItemAndSizesThePopup) {
    CMenuTestOwner owner;
    // Items -1: the test menu.
    for (const auto& [nItems, nBanner] : {std::pair<int, int>{-1, 30}, {1, 0}, {0, 30}}) {
        SCOPED_TRACE(nItems);
        CBmpMenu menu(nBanner, 0, nullptr, 0);
        HMENU hMenu = nItems < 0 ? AttachTestMenu(menu) : CreatePopupMenu();
        for (int i = 0; i < nItems; ++i) AppendMenuA(hMenu, MF_STRING, 300 + i, "Item text");
        if (nItems >= 0) menu.Attach(hMenu);
        HWND hPopup = nullptr;
        owner.AddStep([&, nBanner = nBanner, nItems = nItems] {
            hPopup = owner.OpenMenus().at(0);
            char szClass[32] = {};
            GetClassNameA(hPopup, szClass, sizeof(szClass));
            EXPECT_STREQ(szClass, "BitmapMenu");
            EXPECT_EQ(GetParent(hPopup), owner.Hwnd());
            // Wine drops WS_EX_TOPMOST from a window made with WS_CHILD in its style.
            const DWORD dwExStyle =
                WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
            const DWORD dwStyle =
                WS_POPUP | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_EXSTYLE) & dwExStyle, dwExStyle);
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_STYLE) & dwStyle, dwStyle);
            EXPECT_EQ(GetFocus(), hPopup);
            const HWND hStrip = Strip(hPopup);
            const int nButtons = GetMenuItemCount(hMenu);
            ASSERT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), nButtons);
            const int nButtonWidth = nButtons > 0 ? Width(ItemRect(hStrip, 0)) : 0;
            for (int i = 0; i < nButtons; ++i) {
                TBBUTTON button = {};
                ASSERT_TRUE(
                    SendMessageA(hStrip, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
                const UINT nState = GetMenuState(hMenu, i, MF_BYPOSITION);
                EXPECT_EQ((button.fsStyle & BTNS_SEP) != 0, (nState & MF_SEPARATOR) != 0) << i;
                EXPECT_EQ((button.fsState & TBSTATE_ENABLED) != 0,
                          (nState & (MF_GRAYED | MF_DISABLED)) == 0)
                    << i;
                if (nState & MF_SEPARATOR) continue;
                char szMenuText[64] = {}, szButtonText[64] = {};
                GetMenuStringA(hMenu, i, szMenuText, sizeof(szMenuText), MF_BYPOSITION);
                SendMessageA(hStrip, TB_GETBUTTONTEXTA, button.idCommand,
                             reinterpret_cast<LPARAM>(szButtonText));
                EXPECT_STREQ(szButtonText, szMenuText);
                // Every button is as wide as the first, and its text fits beside a check box.
                EXPECT_EQ(Width(ItemRect(hStrip, i)), nButtonWidth) << i;
                HDC hDC = GetDC(hStrip);
                HGDIOBJ hOld =
                    SelectObject(hDC, MenuOf(hPopup)->m_pToolBar->m_font.GetSafeHandle());
                SIZE size = {};
                GetTextExtentPoint32A(hDC, szMenuText, lstrlenA(szMenuText), &size);
                SelectObject(hDC, hOld);
                ReleaseDC(hStrip, hDC);
                EXPECT_GE(nButtonWidth, size.cx + GetSystemMetrics(SM_CXMENUCHECK)) << i;
            }
            // The frame holds the banner and the buttons; the strip stands right of the banner.
            const RECT rcWindow = WindowRect(hPopup), rcStrip = WindowRect(hStrip);
            POINT ptClient = {0, 0};
            ClientToScreen(hPopup, &ptClient);
            EXPECT_EQ(rcWindow.left, 200);
            EXPECT_EQ(rcWindow.top, 150);
            EXPECT_EQ(Width(rcWindow), nButtonWidth + nBanner + 6);
            EXPECT_TRUE(nButtons > 0 || Height(rcWindow) == 6);
            EXPECT_TRUE(nButtons == 0 ||
                        (rcStrip.left - ptClient.x == nBanner && rcStrip.top == ptClient.y &&
                         Width(rcStrip) == nButtonWidth + 6 &&
                         Height(rcStrip) == Height(rcWindow)));
            const int nItemsHeight =
                ItemRect(hStrip, nButtons - 1).bottom - ItemRect(hStrip, 0).top;
            EXPECT_TRUE(nItems != 1 || Height(rcWindow) == nItemsHeight + 6);
            PressKey(hPopup, VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 200, 150));
        EXPECT_FALSE(IsWindow(hPopup));
        EXPECT_EQ(menu.m_pToolBar, nullptr);
        EXPECT_TRUE(menu.m_itemRecords.empty());
        EXPECT_EQ(menu.m_hMenu, hMenu);
        EXPECT_TRUE(IsMenu(hMenu));
    }
}

TEST(BmpMenuWindow, SubmenusOpenBesideTheirItemAndInheritWhatTheParentHandsOn) {
    // A banner bitmap is kept only when the system can describe it.
    CBmpMenu withJunk(30, 0, reinterpret_cast<HBITMAP>(0x1234), 0);
    EXPECT_EQ(withJunk.m_hBannerBitmap, nullptr);
    HBITMAP hBitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    CBmpMenu menu(24, 1, hBitmap, 7);
    EXPECT_EQ(menu.m_hBannerBitmap, hBitmap);
    CMenuTestOwner owner;
    HMENU hSub = nullptr;
    HMENU hMenu = AttachTestMenu(menu, &hSub);
    RECT rcTop = {}, rcSub = {}, rcItem = {};
    POINT ptTopClient = {0, 0};
    owner.AddStep([&] {
        const HWND hPopup = owner.OpenMenus().at(0);
        rcTop = WindowRect(hPopup);
        ClientToScreen(hPopup, &ptTopClient);
        rcItem = ItemRect(Strip(hPopup), 4);
        MapWindowPoints(Strip(hPopup), nullptr, reinterpret_cast<POINT*>(&rcItem), 2);
        Press(Strip(hPopup), 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        rcSub = WindowRect(owner.OpenMenus()[1]);
        CBmpMenu* pSub = MenuOf(owner.OpenMenus()[1]);
        ASSERT_NE(pSub, nullptr);
        EXPECT_EQ(menu.m_pSubMenu, pSub);
        EXPECT_EQ(pSub->m_hMenu, hSub);
        EXPECT_EQ(pSub->m_dwTrackFlags, BMF_SUBMENU);
        EXPECT_EQ(pSub->m_pOwner, owner.Wnd());
        // Asked to, the parent hands on its banner width and bitmap; the extra value always.
        EXPECT_EQ(pSub->m_nBannerWidth, 24);
        EXPECT_EQ(pSub->m_hBannerBitmap, hBitmap);
        EXPECT_EQ(pSub->m_nExtra, 7u);
        PressKey(owner.OpenMenus()[0], VK_ESCAPE);
    });
    // Near the bottom right corner the menu opens up and to the left of the point.
    const RECT rcDesktop = WindowRect(GetDesktopWindow());
    EXPECT_TRUE(owner.Track(menu, rcDesktop.right - 20, rcDesktop.bottom - 20));
    EXPECT_EQ(rcTop.right, rcDesktop.right - 20);
    EXPECT_EQ(rcTop.bottom, rcDesktop.bottom - 20);
    // No room on the right nor below: the submenu opens left of the parent, clear of its
    // banner, ending at the item's bottom.
    EXPECT_EQ(rcSub.right, rcItem.left - 24);
    EXPECT_EQ(rcSub.right, ptTopClient.x);
    EXPECT_EQ(rcSub.bottom, rcItem.bottom);
    // The submenu's handle still belongs to the menu; destroying the menu frees both.
    EXPECT_EQ(menu.m_pSubMenu, nullptr);
    EXPECT_TRUE(IsMenu(hSub));
    menu.DestroyMenu();
    EXPECT_FALSE(IsMenu(hMenu));
    EXPECT_FALSE(IsMenu(hSub));
    DeleteObject(hBitmap);
}

TEST(BmpMenuWindow, RefusesWhatItCannotShow) {
    CMenuTestOwner owner;
    // No owner, or an owner that is not a window: nothing is sent or created.
    CBmpMenu noOwner(30, 0, nullptr, 0);
    AttachTestMenu(noOwner);
    EXPECT_FALSE(noOwner.Track(0, 10, 10, nullptr, nullptr));
    HWND hGone =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hGone);
    EXPECT_FALSE(noOwner.Track(0, 10, 10, CWnd::FromHandle(hGone), nullptr));
    CWnd::ForgetHandle(hGone);
    EXPECT_EQ(noOwner.m_hWnd, nullptr);
    // The popup or the strip cannot be made: the owner was told of the menu, then nothing more.
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hMenu = AttachTestMenu(menu, nullptr, &owner);
    for (const char* pszClass : {"BitmapMenu", TOOLBARCLASSNAMEA}) {
        CRefuseClass refuse(pszClass);
        EXPECT_FALSE(owner.Track(menu, 10, 10));
        EXPECT_EQ(menu.m_hWnd, nullptr);
        EXPECT_EQ(menu.m_pToolBar, nullptr);
        EXPECT_EQ(owner.Take(), Lines{"initmenu menu 0"}) << pszClass;
    }
    // An item that cannot be read is left out and reported.
    CImportPatch patch(nullptr, "user32.dll", "GetMenuItemInfoA",
                       reinterpret_cast<void*>(&FailSecondItem));
    ASSERT_TRUE(patch.IsActive());
    g_pfnGetMenuItemInfoA = reinterpret_cast<decltype(g_pfnGetMenuItemInfoA)>(patch.Original());
    g_traceLines.clear();
    const TraceSink pfnPrevious = g_traceLog.SetSink(&RecordTrace);
    owner.AddStep([&] {
        const HWND hStrip = Strip(owner.OpenMenus().at(0));
        EXPECT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), GetMenuItemCount(hMenu) - 1);
        EXPECT_EQ(SendMessageA(hStrip, TB_COMMANDTOINDEX, 102, 0), -1);
        PressKey(owner.OpenMenus().at(0), VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 10, 10));
    g_traceLog.SetSink(pfnPrevious);
    EXPECT_EQ(g_traceLines, Lines{"Failed to retrieve MenuItemInfo LastError == %x00000057"});
}

TEST(BmpMenuPaint, TheBannerFadesFromTheTopColourTowardsTheGradientColour) {
    CMenuTestOwner owner;
    const COLORREF crCaption = RGB(210, 30, 120), crGradient = RGB(20, 200, 240);
    // A sixth of the rows (rounded down) in the top colour; then each channel moves towards the
    // gradient colour, slowly first, and never past it; the last row is the highlight line.
    for (const auto& [nHeight, nSolid] : {std::pair<int, int>{60, 10}, {6, 1}}) {
        SCOPED_TRACE(nHeight);
        CBmpMenu menu(30, 0, nullptr, 0);
        menu.Attach(MakeMenu({{MF_STRING, 1, "One"}}));
        COLORREF crTop = RGB(200, 40, 10), crBottom = RGB(10, 220, 250);
        if (nHeight == 6) {
            // 0xFFFFFFFF takes the caption colours of the moment the setters run.
            CSysColors caption({COLOR_ACTIVECAPTION, COLOR_GRADIENTACTIVECAPTION},
                               {crCaption, crGradient});
            menu.SetBannerColor(0xFFFFFFFF);
            menu.SetBannerGradientColor(0xFFFFFFFF);
            crTop = crCaption;
            crBottom = crGradient;
        } else {
            menu.SetBannerColor(crTop);
            menu.SetBannerGradientColor(crBottom);
        }
        ASSERT_NE(GetSysColor(COLOR_ACTIVECAPTION), crCaption);
        owner.AddStep([&, nHeight = nHeight, nSolid = nSolid] {
            const HWND hPopup = owner.OpenMenus().at(0);
            RECT rcWindow = WindowRect(hPopup), rcClient = {};
            GetClientRect(hPopup, &rcClient);
            MoveWindow(hPopup, rcWindow.left, rcWindow.top, Width(rcWindow),
                       nHeight + Height(rcWindow) - rcClient.bottom, TRUE);
            Repaint(hPopup);
            GetClientRect(hPopup, &rcClient);
            ASSERT_EQ(rcClient.bottom, nHeight);
            const CPixels pixels(hPopup);
            for (int y = 0; y < nHeight; ++y)
                EXPECT_EQ(pixels.At(28, y), pixels.At(1, y)) << "row " << y;
            for (int y = 0; y < nSolid; ++y) EXPECT_EQ(pixels.At(1, y), crTop) << "row " << y;
            EXPECT_EQ(pixels.At(1, nHeight - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
            for (int nShift : {0, 8, 16}) {
                const auto channel = [&](int y) {
                    return static_cast<int>(pixels.At(1, y) >> nShift & 0xFF);
                };
                const int a = static_cast<int>(crTop >> nShift & 0xFF),
                          b = static_cast<int>(crBottom >> nShift & 0xFF);
                const int nDirection = b > a ? 1 : -1;
                for (int y = nSolid; y < nHeight - 1; ++y) {
                    EXPECT_GE((channel(y) - channel(y - 1)) * nDirection, nHeight == 6 ? 1 : 0)
                        << "row " << y;
                    EXPECT_LE((channel(y) - b) * nDirection, 0) << "row " << y;
                }
                const int nMiddle = (nSolid + nHeight - 2) / 2;
                EXPECT_LT(std::abs(channel(nMiddle) - a),
                          std::abs(channel(nHeight - 2) - channel(nMiddle)));
                EXPECT_LT(std::abs(channel(nHeight - 2) - b), std::abs(channel(nHeight - 2) - a));
            }
            PressKey(hPopup, VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
    }
}

TEST(BmpMenuPaint, ItemsShowTheirStateBitmapAndArrow) {
    CMenuTestOwner owner;
    // A 12 x 12 bitmap with the four standard colours in its quarters: black top left, dark grey
    // top right, light grey bottom left, white bottom right.
    const DWORD quarters[4] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
    DWORD bits[12 * 12];
    for (int i = 0; i < 12 * 12; ++i) bits[i] = quarters[(i / 72) * 2 + (i % 12) / 6];
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 12, -12, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 12, 12);
    SetDIBits(hScreen, hBitmap, 0, 12, bits, &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, hScreen);
    HMENU hSub = MakeMenu({{MF_STRING, 21, "&Details"}});
    HMENU hMenu = MakeMenu({{MF_STRING, 11, "&Readers"},
                            {MF_STRING | MF_GRAYED, 12, "&Unlock card"},
                            {MF_STRING | MF_CHECKED, 13, "&Show status"},
                            {MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&View"}});
    SetMenuItemBitmaps(hMenu, 0, MF_BYPOSITION, hBitmap, nullptr);
    SetMenuItemBitmaps(hMenu, 1, MF_BYPOSITION, hBitmap, nullptr);
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    // Colours that no default scheme uses, so every mapped pixel is recognised.
    const COLORREF crBtnText = RGB(10, 20, 30), crShadow = RGB(90, 60, 30),
                   crMenu = RGB(230, 220, 170), crBtnHighlight = RGB(250, 250, 240),
                   crGrayText = RGB(150, 20, 150), crMenuText = RGB(0, 90, 0),
                   crHighlight = RGB(20, 60, 200), crHighlightText = RGB(255, 255, 0);
    CSysColors colors({COLOR_BTNTEXT, COLOR_BTNSHADOW, COLOR_MENU, COLOR_BTNHIGHLIGHT,
                       COLOR_GRAYTEXT, COLOR_MENUTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT},
                      {crBtnText, crShadow, crMenu, crBtnHighlight, crGrayText, crMenuText,
                       crHighlight, crHighlightText});
    owner.AddStep([&] {
        const HWND hStrip = Strip(owner.OpenMenus().at(0));
        Repaint(hStrip);
        const CPixels pixels(hStrip);
        // The check box of an item, the centre of a quarter of its 12 x 12 picture, its text.
        const auto box = [&](int nIndex) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.right = ++rc.left + (rc.bottom - rc.top);
            return rc;
        };
        const auto quarter = [&](int nIndex, int nQuarter) {
            const RECT rc = box(nIndex);
            return pixels.At(rc.left + (rc.right - rc.left - 12) / 2 + (nQuarter % 2) * 6 + 3,
                             rc.top + (rc.bottom - rc.top - 12) / 2 + (nQuarter / 2) * 6 + 3);
        };
        const auto text = [&](int nIndex) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.left += 1 + (rc.bottom - rc.top) + 2;
            return rc;
        };
        // The standard colours of an item bitmap show in the system's colours.
        EXPECT_EQ(
            std::vector<COLORREF>({quarter(0, 0), quarter(0, 1), quarter(0, 2), quarter(0, 3)}),
            std::vector<COLORREF>({crBtnText, crShadow, crMenu, crBtnHighlight}));
        EXPECT_GT(pixels.Count(text(0), crMenuText), 0);
        // The mnemonic's underline: the lowest row of text lies under the first letter only.
        const RECT rcText = text(0);
        int nLowest = -1, nRight = rcText.left;
        for (int y = rcText.top; y < rcText.bottom; ++y)
            nLowest =
                pixels.Count({rcText.left, y, rcText.right, y + 1}, crMenuText) > 0 ? y : nLowest;
        ASSERT_GE(nLowest, 0);
        for (int x = rcText.left; x < rcText.right; ++x)
            nRight = pixels.At(x, nLowest) == crMenuText ? x : nRight;
        EXPECT_LT(nRight - rcText.left, 12);
        // A greyed item: its bitmap in grey on the menu colour, its text embossed.
        EXPECT_EQ(quarter(1, 0), crGrayText);
        EXPECT_EQ(quarter(1, 3), crMenu);
        EXPECT_GT(pixels.Count(text(1), crGrayText), 0);
        EXPECT_GT(pixels.Count(text(1), crBtnHighlight), 0);
        EXPECT_EQ(pixels.Count(text(1), crMenuText), 0);
        // A checked item without bitmaps: the check mark in a sunken box on a checkerboard.
        const RECT rcCheck = box(2);
        const int yMiddle = (rcCheck.top + rcCheck.bottom) / 2;
        EXPECT_EQ(pixels.At(rcCheck.left, yMiddle), crShadow);
        EXPECT_EQ(pixels.At(rcCheck.right - 1, yMiddle), crBtnHighlight);
        const COLORREF crFirst = pixels.At(rcCheck.left + 1, rcCheck.top + 1),
                       crSecond = pixels.At(rcCheck.left + 2, rcCheck.top + 1);
        EXPECT_NE(crFirst, crSecond);
        EXPECT_TRUE(crFirst == crMenu || crFirst == crBtnHighlight);
        EXPECT_TRUE(crSecond == crMenu || crSecond == crBtnHighlight);
        EXPECT_GT(pixels.Count(rcCheck, crMenuText), 0);
        // The submenu arrow near the item's right end: a filled triangle pointing right, its
        // columns shrinking by two pixels to a point, about 0.4 check widths high.
        const int c = GetSystemMetrics(SM_CXMENUCHECK);
        const RECT rcArrow = ItemRect(hStrip, 3);
        std::vector<int> heights;
        for (int x = rcArrow.right - c; x < rcArrow.right; ++x) {
            const int n = pixels.Count({x, rcArrow.top, x + 1, rcArrow.bottom}, crMenuText);
            if (n > 0) heights.push_back(n);
        }
        ASSERT_FALSE(heights.empty());
        EXPECT_EQ(heights.back(), 1);
        EXPECT_NEAR(heights.front(), 0.4 * c, 2.0);
        for (size_t i = 1; i < heights.size(); ++i) EXPECT_EQ(heights[i - 1] - heights[i], 2) << i;
        // A hot item: highlight behind, light grey of the bitmap in the highlight colour.
        SendMessageA(hStrip, TB_SETHOTITEM, 0, 0);
        Repaint(hStrip);
        EXPECT_EQ(quarter(0, 2), crHighlight);
        EXPECT_EQ(quarter(0, 0), crBtnText);
        EXPECT_GT(pixels.Count(text(0), crHighlightText), 0);
        EXPECT_GT(pixels.Count(text(0), crHighlight), 0);
        PressKey(owner.OpenMenus().at(0), VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    menu.DestroyMenu();
    DeleteObject(hBitmap);
}

TEST(BmpMenuInput, OwnerHearsHoveringClickingChoosingAndClosing) {
    CMenuTestOwner owner, host(560, 200);
    CHostScope scope(host.Hwnd());
    CBmpMenu menu(30, 0, nullptr, 0);
    AttachTestMenu(menu, nullptr, &owner);
    HWND hPopup = nullptr, hStrip = nullptr;
    CBmpMenuToolBar* pStrip = nullptr;
    // Moves the mouse to a point of the strip, and the hover notice that follows a rest; the strip
    // paints what became hot when asked to.
    const auto hover = [&](int nIndex, int dx = 0, UINT nRest = WM_MOUSEHOVER) {
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, nIndex) + dx);
        SendMessageA(hStrip, nRest, 0, ItemParam(hStrip, nIndex));
    };
    const auto move = [&](int nIndex, int dx = 0) {
        hover(nIndex, dx, WM_NULL);
        RedrawWindow(hStrip, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    };
    // True when a click of the strip waits in the queue.
    const auto clickQueued = [&] {
        MSG msg;
        return PeekMessageA(&msg, hStrip, BMM_ITEMCLICK, BMM_ITEMCLICK, PM_NOREMOVE) != FALSE;
    };
    const auto open = [&] { return owner.OpenMenus().size(); };
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        pStrip = MenuOf(hPopup)->m_pToolBar.get();
        hStrip = pStrip->m_hWnd;
        move(0);
        // Another point of the same item, and a disabled item, change nothing.
        move(0, 1);
        move(3);
        EXPECT_NE(HotItem(hStrip), 3);
        move(1);
        // A press on a disabled item is no click; resting on the submenu item opens the submenu.
        Press(hStrip, 3);
        EXPECT_FALSE(clickQueued());
        hover(4);
        UpdateWindow(hStrip);
    });
    owner.AddStep([&] {
        EXPECT_EQ(open(), 2u);
        hover(5);  // resting on an item without submenu closes it again
    });
    owner.AddStep([&] {
        EXPECT_EQ(open(), 1u);
        UpdateWindow(hStrip);
        // Two presses on the submenu item post one click.
        Press(hStrip, 4);
        Press(hStrip, 4);
        EXPECT_EQ(pStrip->m_nClickedIndex, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(open(), 2u);
        EXPECT_EQ(menu.m_pSubMenu, MenuOf(owner.OpenMenus()[1]));
        // A third press on the item whose submenu is open is no click either; Left closes only
        // the submenu and lets the parent take the item again.
        Press(hStrip, 4);
        EXPECT_FALSE(clickQueued());
        PressKey(owner.OpenMenus()[1], VK_LEFT);
    });
    owner.AddStep([&] {
        EXPECT_EQ(open(), 1u);
        EXPECT_EQ(menu.m_pSubMenu, nullptr);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
        Press(hStrip, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(open(), 2u);
        // Hovering another item closes the submenu and forgets the click.
        hover(0);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
    });
    owner.AddStep([&] {
        EXPECT_EQ(open(), 1u);
        Press(hStrip, 5);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    const Lines openSub = {"initpopup sub 0", "enterloop sub"};
    EXPECT_EQ(owner.Take(),
              (Lines{"initmenu menu 0", "enterloop menu", "select 65/0 menu", "select 66/8 menu",
                     "select 4/10 menu", openSub[0], openSub[1], "exitloop 0 0", "select 68/0 menu",
                     openSub[0], openSub[1], "exitloop 0 0", openSub[0], openSub[1], "exitloop 0 0",
                     "exitloop 0 0"}));
    EXPECT_EQ(host.Take(), Lines{"command 68 0"});
    EXPECT_FALSE(IsWindow(hPopup));
}

TEST(BmpMenuInput, KeysAndMnemonicsMoveThroughTheCascade) {
    CMenuTestOwner owner, host(560, 200);
    CHostScope scope(host.Hwnd());
    CBmpMenu menu(30, 0, nullptr, 0);
    AttachTestMenu(menu, nullptr, &owner);
    // Each case makes an item of the top menu hot, presses its keys one by one into the deepest
    // open menu (a negative key into the top one), then looks at what is open and hot.
    const struct {
        const char* pszName;
        int nHot;               // hot item of the top menu at first
        std::vector<int> keys;  // pressed in turn; VK_MENU comes as WM_SYSKEYDOWN
        LRESULT nAnswer;        // the owner's answer to WM_MENUCHAR
        size_t nOpen;           // menus open afterwards
        int nHotAfter;          // then the hot item of the deepest one
        Lines owner, host;      // what the owner heard of WM_MENUCHAR and WM_COMMAND; the host
    } cases[] = {
        // An arrow key is offered as a mnemonic first, then moves the hot item.
        {"down", 0, {VK_DOWN}, 0, 1, 1, {"menuchar 28/10 menu"}, {}},
        // Left in a top-level menu does nothing; Right and Return open the hot submenu.
        {"left", 4, {VK_LEFT}, 0, 1, 4, {}, {}},
        {"right", 4, {VK_RIGHT}, 0, 2, 0, {}, {}},
        {"return on a submenu", 4, {VK_RETURN}, 0, 2, 0, {}, {}},
        // Right on a plain item does nothing, Return chooses it.
        {"right on a plain item", 5, {VK_RIGHT}, 0, 1, 5, {}, {}},
        {"return", 5, {VK_RETURN}, 0, 0, -1, {}, {"command 68 0"}},
        // Keys given to the parent reach the deepest submenu.
        {"left to the parent", 4, {VK_RIGHT, -VK_LEFT}, 0, 1, 4, {}, {}},
        // Escape in a submenu, and Alt, close every menu.
        {"escape", 4, {VK_RIGHT, VK_ESCAPE}, 0, 0, -1, {}, {}},
        {"alt", 4, {VK_RIGHT, VK_MENU}, 0, 0, -1, {}, {}},
        // One item with the mnemonic: it is chosen. Several, in either case: the next one after
        // the hot item becomes hot, round the end.
        {"one match", -1, {'O'}, 0, 0, -1, {}, {"command 65 0"}},
        {"several matches", 4, {VK_RIGHT, 'O'}, 0, 2, 2, {}, {}},
        {"round the end", 4, {VK_RIGHT, 'O', 'O'}, 0, 2, 0, {}, {}},
        // No match: the owner is asked; it may leave the menu as it is, choose a command itself
        // or close the menu.
        {"no match", 0, {'Z'}, 0, 1, 0, {"menuchar 5a/10 menu"}, {}},
        {"the owner chooses",
         0,
         {'Z'},
         MAKELRESULT(77, MNC_EXECUTE),
         1,
         0,
         {"menuchar 5a/10 menu", "command 4d 0"},
         {}},
        {"the owner closes",
         0,
         {'Z'},
         MAKELRESULT(0, MNC_CLOSE),
         0,
         -1,
         {"menuchar 5a/10 menu"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        size_t nOpen = 0;
        int nHot = -1;
        owner.SetMenuCharAnswer(c.nAnswer);
        owner.AddStep([&] {
            const HWND hStrip = Strip(owner.OpenMenus().at(0));
            SendMessageA(hStrip, TB_SETHOTITEM, c.nHot, 0);
            UpdateWindow(hStrip);
        });
        for (const int nKey : c.keys) {
            owner.AddStep([&, nKey] {
                const HWND hPopup = nKey < 0 ? owner.OpenMenus().at(0) : owner.OpenMenus().back();
                if (nKey == VK_MENU) SendMessageA(hPopup, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
                if (nKey != VK_MENU) PressKey(hPopup, std::abs(nKey));
            });
        }
        owner.AddStep([&] {
            nOpen = owner.OpenMenus().size();
            nHot = HotItem(Strip(owner.OpenMenus().back()));
            PressKey(owner.OpenMenus().back(), VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
        EXPECT_EQ(nOpen, c.nOpen);
        EXPECT_EQ(nHot, c.nHotAfter);
        Lines heard;
        for (const std::string& line : owner.Take()) {
            if (line.rfind("menuchar", 0) == 0 || line.rfind("command", 0) == 0)
                heard.push_back(line);
        }
        EXPECT_EQ(heard, c.owner);
        EXPECT_EQ(host.Take(), c.host);
    }
}

TEST(BmpMenuInput, ActivationElsewhereOrTheOwnerGoingAwayEndsTheCascade) {
    CMenuTestOwner owner, other(560, 200);
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hMenu = AttachTestMenu(menu);
    const RECT rcOther = WindowRect(other.Hwnd());
    // Moving between a menu and its submenu is no reason to close; another window is, be it
    // activated or clicked by the user. The popups go with their owner, and each loop ends as its
    // window is gone.
    const std::vector<std::function<void()>> elsewhere = {
        [&] { SetActiveWindow(other.Hwnd()); },
        [&] {
            SetCursorPos((rcOther.left + rcOther.right) / 2, (rcOther.top + rcOther.bottom) / 2);
            INPUT inputs[2] = {};
            inputs[0].type = inputs[1].type = INPUT_MOUSE;
            inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
            inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
            SendInput(2, inputs, sizeof(INPUT));
        },
        [&] { DestroyWindow(owner.Hwnd()); }};
    for (const auto& goElsewhere : elsewhere) {
        std::vector<HWND> popups;
        owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), 4); });
        owner.AddStep([&] {
            popups = owner.OpenMenus();
            ASSERT_EQ(popups.size(), 2u);
            SetActiveWindow(popups[0]);
            SetActiveWindow(popups[1]);
        });
        owner.AddStep([&] {
            ASSERT_EQ(owner.OpenMenus().size(), 2u);
            goElsewhere();
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
        // An owner that is still there heard every loop end.
        EXPECT_TRUE(!IsWindow(owner.Hwnd()) || owner.OpenMenus().empty());
        ASSERT_EQ(popups.size(), 2u);
        for (HWND hPopup : popups) EXPECT_FALSE(IsWindow(hPopup));
        EXPECT_EQ(menu.m_pSubMenu, nullptr);
        EXPECT_EQ(menu.m_pToolBar, nullptr);
        EXPECT_TRUE(menu.m_itemRecords.empty());
        EXPECT_TRUE(menu.m_itemTexts.empty());
        EXPECT_TRUE(IsMenu(hMenu));
    }
    SetCursorPos(1010, 5);
}
