#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
// The unit-test program is not linked with the demo's screenshot code.
#include "Screenshot.h"

namespace {

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

// One channel of the banner's gradient row i of n.
int Channel(int a, int b, int i, int n) {
    return a + (i * i * b) / (n * n) - (i * i * a) / (n * n);
}

// The banner colour expected at row y of a client area h pixels high.
COLORREF BannerRow(COLORREF a, COLORREF b, int y, int h) {
    const int n = 5 * h / 6;
    if (y == h - 1) return GetSysColor(COLOR_BTNHIGHLIGHT);
    if (y < h - n) return a;
    const int i = y - (h - n) + 1;
    return RGB(Channel(GetRValue(a), GetRValue(b), i, n), Channel(GetGValue(a), GetGValue(b), i, n),
               Channel(GetBValue(a), GetBValue(b), i, n));
}

// A 12 x 12 bitmap in the screen's format with the four standard colours in its quarters:
// black top left, dark grey top right, light grey bottom left, white bottom right.
HBITMAP MakeFourColourBitmap() {
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 12, 12);
    HDC hDC = CreateCompatibleDC(hScreen);
    HGDIOBJ hOld = SelectObject(hDC, hBitmap);
    const COLORREF colors[4] = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192),
                                RGB(255, 255, 255)};
    for (int i = 0; i < 4; ++i) {
        const RECT rc = {(i % 2) * 6, (i / 2) * 6, (i % 2) * 6 + 6, (i / 2) * 6 + 6};
        HBRUSH hBrush = CreateSolidBrush(colors[i]);
        FillRect(hDC, &rc, hBrush);
        DeleteObject(hBrush);
    }
    SelectObject(hDC, hOld);
    DeleteDC(hDC);
    ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

// Colours that no default scheme uses, so every mapped pixel is recognised.
const std::vector<int> kItemColorIds = {COLOR_BTNTEXT,      COLOR_BTNSHADOW,    COLOR_MENU,
                                        COLOR_BTNHIGHLIGHT, COLOR_GRAYTEXT,     COLOR_MENUTEXT,
                                        COLOR_HIGHLIGHT,    COLOR_HIGHLIGHTTEXT};
const std::vector<COLORREF> kItemColors = {
    RGB(10, 20, 30),   RGB(90, 60, 30), RGB(230, 220, 170), RGB(250, 250, 240),
    RGB(150, 20, 150), RGB(0, 90, 0),   RGB(20, 60, 200),   RGB(255, 255, 0)};

}  // namespace

TEST(BmpMenuPaint, BannerRowsFollowTheGradient) {
    CMenuTestOwner owner;
    const COLORREF crCaption = RGB(210, 30, 120);
    const COLORREF crGradient = RGB(20, 200, 240);
    for (int nHeight : {60, 6}) {
        SCOPED_TRACE(nHeight);
        HMENU hMenu = CreatePopupMenu();
        AppendMenuA(hMenu, MF_STRING, 1, "One");
        CBmpMenu menu(30, 0, nullptr, 0);
        menu.Attach(hMenu);
        COLORREF crTop = RGB(200, 40, 10);
        COLORREF crBottom = RGB(10, 220, 250);
        if (nHeight == 6) {
            // 0xFFFFFFFF takes the caption colours of the moment the setters run.
            {
                CSysColors caption({COLOR_ACTIVECAPTION, COLOR_GRADIENTACTIVECAPTION},
                                   {crCaption, crGradient});
                menu.SetBannerColor(0xFFFFFFFF);
                menu.SetBannerGradientColor(0xFFFFFFFF);
            }
            ASSERT_NE(GetSysColor(COLOR_ACTIVECAPTION), crCaption);
            crTop = crCaption;
            crBottom = crGradient;
        } else {
            menu.SetBannerColor(crTop);
            menu.SetBannerGradientColor(crBottom);
        }
        EXPECT_EQ(menu.m_crBanner, crTop);
        EXPECT_EQ(menu.m_crBannerGradient, crBottom);
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
    CSysColors colors(kItemColorIds, kItemColors);
    const COLORREF crBtnText = kItemColors[0], crShadow = kItemColors[1], crMenu = kItemColors[2],
                   crBtnHighlight = kItemColors[3], crGrayText = kItemColors[4],
                   crMenuText = kItemColors[5], crHighlight = kItemColors[6],
                   crHighlightText = kItemColors[7];
    HBITMAP hBitmap = MakeFourColourBitmap();
    HMENU hSub = CreatePopupMenu();
    AppendMenuA(hSub, MF_STRING, 21, "Inner");
    HMENU hMenu = CreatePopupMenu();
    AppendMenuA(hMenu, MF_STRING, 11, "&Plain");
    AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 12, "&Greyed");
    AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 13, "&Checked");
    AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&Sub");
    SetMenuItemBitmaps(hMenu, 0, MF_BYPOSITION, hBitmap, nullptr);
    SetMenuItemBitmaps(hMenu, 1, MF_BYPOSITION, hBitmap, nullptr);
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    const int c = GetSystemMetrics(SM_CXMENUCHECK);

    owner.AddStep([&] {
        const HWND hStrip = CMenuTestOwner::StripOf(owner.OpenMenus().at(0))->m_hWnd;
        Repaint(hStrip);
        const CPixels pixels(hStrip);
        // The box of an item and where a 12 x 12 picture stands in it, centred.
        auto box = [&](int nIndex) {
            RECT rc = ItemRect(hStrip, nIndex);
            rc.left += 1;
            rc.right = rc.left + (rc.bottom - rc.top);
            return rc;
        };
        auto quarter = [&](int nIndex, int nQuarter) {
            const RECT rc = box(nIndex);
            const int x = rc.left + (rc.right - rc.left - 12) / 2 + (nQuarter % 2) * 6 + 3;
            const int y = rc.top + (rc.bottom - rc.top - 12) / 2 + (nQuarter / 2) * 6 + 3;
            return pixels.At(x, y);
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
            const RECT rcRow = {rcText.left, y, rcText.right, y + 1};
            if (pixels.Count(rcRow, crMenuText) > 0) nLowest = y;
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
        RECT rcArrow = ItemRect(hStrip, 3);
        rcArrow.left = rcArrow.right - c;
        int nLeft = -1, nColumns = 0;
        std::vector<int> heights;
        for (int x = rcArrow.left; x < rcArrow.right; ++x) {
            const RECT rcColumn = {x, rcArrow.top, x + 1, rcArrow.bottom};
            const int n = pixels.Count(rcColumn, crMenuText);
            if (n == 0) continue;
            if (nLeft < 0) nLeft = x;
            ++nColumns;
            heights.push_back(n);
        }
        ASSERT_FALSE(heights.empty());
        const int b = 3 * c / 10;
        const int k = (c - 2 * b) / 2;
        EXPECT_EQ(heights.front(), 2 * k + 1);
        EXPECT_EQ(heights.back(), 1);
        EXPECT_EQ(nColumns, k + 1);
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
    EXPECT_FALSE(owner.WatchdogFired());
    menu.DestroyMenu();
    DeleteObject(hBitmap);
}

TEST(BmpMenuPaint, ScreenshotOfAMenuWithSubmenu) {
    CMenuTestOwner owner;
    HBITMAP hBitmap = MakeFourColourBitmap();
    HMENU hSub = CreatePopupMenu();
    AppendMenuA(hSub, MF_STRING, 21, "&Details");
    AppendMenuA(hSub, MF_STRING | MF_CHECKED, 22, "&Always on top");
    HMENU hMenu = CreatePopupMenu();
    AppendMenuA(hMenu, MF_STRING, 11, "&Open monitor");
    AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 12, "&Show status");
    AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 13, "&Unlock card");
    AppendMenuA(hMenu, MF_STRING, 14, "&Readers");
    SetMenuItemBitmaps(hMenu, 3, MF_BYPOSITION, hBitmap, nullptr);
    AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&View");
    AppendMenuA(hMenu, MF_SEPARATOR, 0xFFFFFFFF, nullptr);
    AppendMenuA(hMenu, MF_STRING, 15, "E&xit");
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    const std::string folder = ProgramFolder() + "..\\demo";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\bmpmenu.bmp";
    DeleteFileA(path.c_str());
    owner.AddStep([&] {
        const HWND hPopup = owner.OpenMenus().at(0);
        const HWND hStrip = CMenuTestOwner::StripOf(hPopup)->m_hWnd;
        SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, 4));
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        RECT rcAll = {};
        for (HWND hPopup : owner.OpenMenus()) {
            Repaint(hPopup);
            RECT rc = {};
            GetWindowRect(hPopup, &rc);
            UnionRect(&rcAll, &rcAll, &rc);
        }
        InflateRect(&rcAll, 8, 8);
        // Wine hands what the windows painted to the screen only while the thread waits.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, 0);
        EXPECT_TRUE(SaveScreenshot(path, rcAll));
        PressKey(owner.OpenMenus().at(1), VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    menu.DestroyMenu();
    DeleteObject(hBitmap);
}
