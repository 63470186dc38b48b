#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <string>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "ImportPatch.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "util/TraceLog.h"

namespace {

RECT WindowRect(HWND hWnd) {
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

std::vector<std::string> g_traceLines;
StatusWord RecordTrace(const CStrBuf& line) {
    g_traceLines.emplace_back(line.CStr());
    return ST_OK;
}

// Refuses the creation of every window of one class on this thread while it exists.
class CRefuseClass {
  public:
    explicit CRefuseClass(const char* pszClass) {
        s_pszClass = pszClass;
        m_hHook = SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
    }
    ~CRefuseClass() { UnhookWindowsHookEx(m_hHook); }

  private:
    // Refuses a window of the class at its creation.
    static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam) {
        char szClass[64] = {};
        if (nCode == HCBT_CREATEWND &&
            GetClassNameA(reinterpret_cast<HWND>(wParam), szClass, sizeof(szClass)) > 0 &&
            lstrcmpiA(szClass, s_pszClass) == 0) {
            return 1;
        }
        return CallNextHookEx(nullptr, nCode, wParam, lParam);
    }
    static const char* s_pszClass;  // the class refused
    HHOOK m_hHook;                  // the hook that refuses it
};
const char* CRefuseClass::s_pszClass = nullptr;

BOOL(WINAPI* g_pfnRealGetMenuItemInfoA)(HMENU, UINT, BOOL, LPMENUITEMINFOA) = nullptr;
BOOL WINAPI FailSecondItem(HMENU hMenu, UINT nItem, BOOL bByPosition, LPMENUITEMINFOA pInfo) {
    if (nItem == 1) {
        SetLastError(0x57);
        return FALSE;
    }
    return g_pfnRealGetMenuItemInfoA(hMenu, nItem, bByPosition, pInfo);
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

// Repaints a window and its children now.
void Repaint(HWND hWnd) {
    RedrawWindow(hWnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The pixels of a window's client area, read back from the screen.
class CPixels {
  public:
    explicit CPixels(HWND hWnd) : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    ~CPixels() { ReleaseDC(m_hWnd, m_hDC); }
    // One pixel.
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

// The banner colour expected at row y of a client area h pixels high: the top colour,
// then a quadratic fade over the lower five sixths, and a highlight line at the bottom.
COLORREF BannerRow(COLORREF a, COLORREF b, int y, int h) {
    const int n = 5 * h / 6;
    if (y == h - 1) return GetSysColor(COLOR_BTNHIGHLIGHT);
    if (y < h - n) return a;
    const int i = y - (h - n) + 1;
    auto channel = [&](int ca, int cb) {
        return ca + (i * i * cb) / (n * n) - (i * i * ca) / (n * n);
    };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

// A 12 x 12 bitmap in the screen's format with the four standard colours in its quarters:
// black top left, dark grey top right, light grey bottom left, white bottom right.
HBITMAP MakeFourColourBitmap() {
    const DWORD colors[4] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};
    DWORD bits[12 * 12];
    for (int i = 0; i < 12 * 12; ++i) bits[i] = colors[(i / 72) * 2 + (i % 12) / 6];
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 12, -12, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 12, 12);
    SetDIBits(hScreen, hBitmap, 0, 12, bits, &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

}  // namespace

TEST(BmpMenuWindow, PlacementFollowsBothTables) {
    const RECT kScreen = {0, 0, 1024, 768};
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
        // Beside a rectangle: right at top, right at bottom, left at top, left at bottom.
        {0, 0, {400, 300, 500, 320}, 150, 120, {500, 300}},
        {0, 0, {400, 700, 500, 720}, 150, 120, {500, 600}},
        {0, 0, {850, 300, 950, 320}, 150, 120, {700, 300}},
        {0, 0, {850, 700, 950, 720}, 150, 120, {700, 600}},
        // Nothing fits: the first candidate.
        {0, 0, {400, 300, 500, 320}, 600, 800, {500, 300}},
    };
    for (const auto& c : cases) {
        const POINT pt =
            CBmpMenu::CalcPosition(c.x, c.y, IsRectEmpty(&c.rcExclude) ? nullptr : &c.rcExclude,
                                   c.nWidth, c.nHeight, kScreen);
        EXPECT_EQ(pt.x, c.expected.x) << c.x << "," << c.y << " beside " << c.rcExclude.left;
        EXPECT_EQ(pt.y, c.expected.y) << c.x << "," << c.y << " beside " << c.rcExclude.left;
    }
}

TEST(BmpMenuWindow, BuildsOneButtonPerItemAndSizesThePopup) {
    CMenuTestOwner owner;
    // nItems -1: the test menu.
    for (const auto& c : {std::pair<int, int>{-1, 30}, {1, 0}, {0, 30}}) {
        SCOPED_TRACE(c.first);
        const int nBanner = c.second;
        CBmpMenu menu(nBanner, 0, nullptr, 0);
        HMENU hMenu = nullptr;
        if (c.first < 0) {
            hMenu = AttachTestMenu(menu);
        } else {
            hMenu = CreatePopupMenu();
            for (int i = 0; i < c.first; ++i) AppendMenuA(hMenu, MF_STRING, 300 + i, "Item text");
            ASSERT_TRUE(menu.Attach(hMenu));
        }
        const int nItems = GetMenuItemCount(hMenu);
        HWND hPopup = nullptr;
        owner.AddStep([&] {
            hPopup = owner.OpenMenus().at(0);
            char szClass[32] = {};
            GetClassNameA(hPopup, szClass, sizeof(szClass));
            EXPECT_STREQ(szClass, "BitmapMenu");
            EXPECT_EQ(GetParent(hPopup), owner.Hwnd());
            // Wine drops WS_EX_TOPMOST from a window made with WS_CHILD in its style.
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_EXSTYLE) & 0x00010181, 0x00010181);
            EXPECT_EQ(GetWindowLongA(hPopup, GWL_STYLE) & 0xC6800000u, 0xC6800000u);
            EXPECT_EQ(GetFocus(), hPopup);
            const HWND hStrip = Strip(hPopup);
            ASSERT_NE(hStrip, nullptr);
            ASSERT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), nItems);

            const int nButtonWidth = nItems > 0 ? Width(ItemRect(hStrip, 0)) : 0;
            for (int i = 0; i < nItems; ++i) {
                SCOPED_TRACE(i);
                TBBUTTON button = {};
                ASSERT_TRUE(
                    SendMessageA(hStrip, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
                const UINT nState = GetMenuState(hMenu, i, MF_BYPOSITION);
                EXPECT_EQ((button.fsStyle & BTNS_SEP) != 0, (nState & MF_SEPARATOR) != 0);
                EXPECT_EQ((button.fsState & TBSTATE_ENABLED) != 0,
                          (nState & (MF_GRAYED | MF_DISABLED)) == 0);
                if (nState & MF_SEPARATOR) continue;
                char szMenuText[64] = {};
                GetMenuStringA(hMenu, i, szMenuText, sizeof(szMenuText), MF_BYPOSITION);
                char szButtonText[64] = {};
                SendMessageA(hStrip, TB_GETBUTTONTEXTA, button.idCommand,
                             reinterpret_cast<LPARAM>(szButtonText));
                EXPECT_STREQ(szButtonText, szMenuText);
                // Every button is as wide as the first, and its text fits beside a check box.
                EXPECT_EQ(Width(ItemRect(hStrip, i)), nButtonWidth);
                HDC hDC = GetDC(hStrip);
                HGDIOBJ hOld =
                    SelectObject(hDC, MenuOf(hPopup)->m_pToolBar->m_font.GetSafeHandle());
                SIZE size = {};
                GetTextExtentPoint32A(hDC, szMenuText, lstrlenA(szMenuText), &size);
                SelectObject(hDC, hOld);
                ReleaseDC(hStrip, hDC);
                EXPECT_GE(nButtonWidth, size.cx + GetSystemMetrics(SM_CXMENUCHECK));
            }
            // The frame holds the banner and the buttons, the strip stands right of the banner.
            const RECT rcWindow = WindowRect(hPopup);
            EXPECT_EQ(rcWindow.left, 200);
            EXPECT_EQ(rcWindow.top, 150);
            EXPECT_EQ(Width(rcWindow), nButtonWidth + nBanner + 6);
            if (nItems == 0) {
                EXPECT_EQ(Height(rcWindow), 6);
            }
            if (nItems > 0) {
                const RECT rcStrip = WindowRect(hStrip);
                POINT ptClient = {0, 0};
                ClientToScreen(hPopup, &ptClient);
                EXPECT_EQ(rcStrip.left - ptClient.x, nBanner);
                EXPECT_EQ(rcStrip.top, ptClient.y);
                EXPECT_EQ(Width(rcStrip), nButtonWidth + 6);
                EXPECT_EQ(Height(rcStrip), Height(rcWindow));
                if (c.first > 0) {
                    const int nItemsHeight =
                        ItemRect(hStrip, nItems - 1).bottom - ItemRect(hStrip, 0).top;
                    EXPECT_EQ(Height(rcWindow), nItemsHeight + 6);
                }
            }
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
    const int x = rcDesktop.right - 20;
    const int y = rcDesktop.bottom - 20;
    EXPECT_TRUE(owner.Track(menu, x, y));
    EXPECT_EQ(rcTop.right, x);
    EXPECT_EQ(rcTop.bottom, y);
    // The submenu has no room on the right: it opens left of the parent, clear of the
    // parent's banner, at the item's top.
    EXPECT_EQ(rcSub.right, rcItem.left - 24);
    EXPECT_EQ(rcSub.right, ptTopClient.x);
    EXPECT_EQ(rcSub.top, rcItem.top);
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

    // The popup cannot be made: the owner was told of the menu, then nothing more.
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hMenu = AttachTestMenu(menu);
    {
        CRefuseClass refuse("BitmapMenu");
        EXPECT_FALSE(owner.Track(menu, 10, 10));
    }
    EXPECT_EQ(menu.m_hWnd, nullptr);
    ExpectSequence(owner.Take(), {{WM_INITMENU, kBoth, reinterpret_cast<WPARAM>(hMenu), 0}},
                   "no popup");
    // The strip cannot be made: the popup goes again without a loop.
    {
        CRefuseClass refuse(TOOLBARCLASSNAMEA);
        EXPECT_FALSE(owner.Track(menu, 10, 10));
    }
    EXPECT_EQ(menu.m_hWnd, nullptr);
    EXPECT_EQ(menu.m_pToolBar, nullptr);
    ExpectSequence(owner.Take(), {{WM_INITMENU, kAnyParam, 0, 0}}, "no strip");

    // An item that cannot be read is left out and reported.
    CImportPatch patch(nullptr, "user32.dll", "GetMenuItemInfoA",
                       reinterpret_cast<void*>(&FailSecondItem));
    ASSERT_TRUE(patch.IsActive());
    g_pfnRealGetMenuItemInfoA =
        reinterpret_cast<decltype(g_pfnRealGetMenuItemInfoA)>(patch.Original());
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
    EXPECT_EQ(g_traceLines,
              std::vector<std::string>{"Failed to retrieve MenuItemInfo LastError == %x00000057"});
}

TEST(BmpMenuPaint, BannerRowsFollowTheGradient) {
    CMenuTestOwner owner;
    const COLORREF crCaption = RGB(210, 30, 120);
    const COLORREF crGradient = RGB(20, 200, 240);
    for (int nHeight : {60, 6}) {
        SCOPED_TRACE(nHeight);
        CBmpMenu menu(30, 0, nullptr, 0);
        menu.Attach(MakeMenu({{MF_STRING, 1, "One"}}));
        COLORREF crTop = RGB(200, 40, 10);
        COLORREF crBottom = RGB(10, 220, 250);
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
        owner.AddStep([&] {
            const HWND hPopup = owner.OpenMenus().at(0);
            RECT rcWindow = {};
            RECT rcClient = {};
            GetWindowRect(hPopup, &rcWindow);
            GetClientRect(hPopup, &rcClient);
            const int nFrame = (rcWindow.bottom - rcWindow.top) - rcClient.bottom;
            MoveWindow(hPopup, rcWindow.left, rcWindow.top, rcWindow.right - rcWindow.left,
                       nHeight + nFrame, TRUE);
            Repaint(hPopup);
            GetClientRect(hPopup, &rcClient);
            ASSERT_EQ(rcClient.bottom, nHeight);
            const CPixels pixels(hPopup);
            for (int y = 0; y < nHeight; ++y) {
                EXPECT_EQ(pixels.At(1, y), BannerRow(crTop, crBottom, y, nHeight)) << "row " << y;
                EXPECT_EQ(pixels.At(28, y), pixels.At(1, y)) << "row " << y;
            }
            PressKey(hPopup, VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
    }
}

TEST(BmpMenuPaint, ItemsShowTheirStateBitmapAndArrow) {
    CMenuTestOwner owner;
    HBITMAP hBitmap = MakeFourColourBitmap();
    HMENU hSub =
        MakeMenu({{MF_STRING, 21, "&Details"}, {MF_STRING | MF_CHECKED, 22, "&Always on top"}});
    HMENU hMenu = MakeMenu({{MF_STRING, 11, "&Readers"},
                            {MF_STRING | MF_GRAYED, 12, "&Unlock card"},
                            {MF_STRING | MF_CHECKED, 13, "&Show status"},
                            {MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&View"},
                            {MF_SEPARATOR, 0xFFFFFFFF, nullptr},
                            {MF_STRING, 15, "E&xit"}});
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
        auto box = [&](int nIndex) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.left += 1;
            rc.right = rc.left + (rc.bottom - rc.top);
            return rc;
        };
        auto quarter = [&](int nIndex, int nQuarter) {
            const RECT rc = box(nIndex);
            return pixels.At(rc.left + (rc.right - rc.left - 12) / 2 + (nQuarter % 2) * 6 + 3,
                             rc.top + (rc.bottom - rc.top - 12) / 2 + (nQuarter / 2) * 6 + 3);
        };
        auto text = [&](int nIndex) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.left += 1 + (rc.bottom - rc.top) + 2;
            return rc;
        };

        // The standard colours of an item bitmap show in the system's colours.
        EXPECT_EQ(quarter(0, 0), crBtnText);
        EXPECT_EQ(quarter(0, 1), crShadow);
        EXPECT_EQ(quarter(0, 2), crMenu);
        EXPECT_EQ(quarter(0, 3), crBtnHighlight);
        EXPECT_GT(pixels.Count(text(0), crMenuText), 0);
        // The mnemonic's underline: the lowest row of text stays under the first letter.
        const RECT rcText = text(0);
        int nLowest = -1;
        for (int y = rcText.top; y < rcText.bottom; ++y) {
            if (pixels.Count({rcText.left, y, rcText.right, y + 1}, crMenuText) > 0) nLowest = y;
        }
        ASSERT_GE(nLowest, 0);
        int nRight = rcText.left;
        for (int x = rcText.left; x < rcText.right; ++x) {
            if (pixels.At(x, nLowest) == crMenuText) nRight = x;
        }
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
        const COLORREF crFirst = pixels.At(rcCheck.left + 1, rcCheck.top + 1);
        const COLORREF crSecond = pixels.At(rcCheck.left + 2, rcCheck.top + 1);
        EXPECT_NE(crFirst, crSecond);
        EXPECT_TRUE(crFirst == crMenu || crFirst == crBtnHighlight);
        EXPECT_TRUE(crSecond == crMenu || crSecond == crBtnHighlight);
        EXPECT_GT(pixels.Count(rcCheck, crMenuText), 0);

        // The submenu arrow: a filled triangle pointing right, near the item's right end.
        const int c = GetSystemMetrics(SM_CXMENUCHECK);
        const RECT rcArrow = ItemRect(hStrip, 3);
        std::vector<int> heights;
        for (int x = rcArrow.right - c; x < rcArrow.right; ++x) {
            const int n = pixels.Count({x, rcArrow.top, x + 1, rcArrow.bottom}, crMenuText);
            if (n > 0) heights.push_back(n);
        }
        ASSERT_FALSE(heights.empty());
        const int k = (c - 2 * (3 * c / 10)) / 2;
        EXPECT_EQ(heights.front(), 2 * k + 1);
        EXPECT_EQ(heights.back(), 1);
        EXPECT_EQ(heights.size(), static_cast<size_t>(k + 1));
        for (size_t i = 1; i < heights.size(); ++i) EXPECT_LT(heights[i], heights[i - 1]);

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
