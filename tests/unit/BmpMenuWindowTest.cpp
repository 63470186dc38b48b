#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BmpMenuTestDriver.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/ToolBar.h"
#include "util/TraceLog.h"

namespace {

const RECT kScreen = {0, 0, 1024, 768};

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
        if (nCode == HCBT_CREATEWND) {
            char szClass[64] = {};
            GetClassNameA(reinterpret_cast<HWND>(wParam), szClass, sizeof(szClass));
            if (lstrcmpiA(szClass, s_pszClass) == 0) return 1;
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

}  // namespace

TEST(BmpMenuWindow, PlacementFollowsBothTables) {
    // At a point: below right, below left, above right, above left, else at the point.
    POINT pt = CBmpMenu::CalcPosition(100, 100, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 100);
    EXPECT_EQ(pt.y, 100);
    pt = CBmpMenu::CalcPosition(950, 100, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 800);
    EXPECT_EQ(pt.y, 100);
    pt = CBmpMenu::CalcPosition(100, 700, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 100);
    EXPECT_EQ(pt.y, 580);
    pt = CBmpMenu::CalcPosition(1000, 760, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 850);
    EXPECT_EQ(pt.y, 640);
    pt = CBmpMenu::CalcPosition(500, 400, nullptr, 600, 500, kScreen);
    EXPECT_EQ(pt.x, 500);
    EXPECT_EQ(pt.y, 400);
    // The comparisons are strict: touching the screen's edge does not fit.
    pt = CBmpMenu::CalcPosition(874, 100, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 724);
    pt = CBmpMenu::CalcPosition(873, 647, nullptr, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 873);
    EXPECT_EQ(pt.y, 647);

    // Beside a rectangle: right at its top, right at its bottom, left at top, left at bottom.
    const RECT e = {400, 300, 500, 320};
    pt = CBmpMenu::CalcPosition(0, 0, &e, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 500);
    EXPECT_EQ(pt.y, 300);
    const RECT low = {400, 700, 500, 720};
    pt = CBmpMenu::CalcPosition(0, 0, &low, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 500);
    EXPECT_EQ(pt.y, 600);
    const RECT right = {850, 300, 950, 320};
    pt = CBmpMenu::CalcPosition(0, 0, &right, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 700);
    EXPECT_EQ(pt.y, 300);
    const RECT corner = {850, 700, 950, 720};
    pt = CBmpMenu::CalcPosition(0, 0, &corner, 150, 120, kScreen);
    EXPECT_EQ(pt.x, 700);
    EXPECT_EQ(pt.y, 600);
    // Nothing fits: the first candidate.
    pt = CBmpMenu::CalcPosition(0, 0, &e, 600, 800, kScreen);
    EXPECT_EQ(pt.x, 500);
    EXPECT_EQ(pt.y, 300);
}

TEST(BmpMenuWindow, BuildsOneButtonPerItemAndSizesThePopup) {
    CMenuTestOwner owner;
    HMENU hMenu = MakeTestMenu();
    CBmpMenu menu(30, 0, nullptr, 0);
    ASSERT_TRUE(menu.Attach(hMenu));
    HWND hPopup = nullptr;
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 1u);
        hPopup = owner.OpenMenus()[0];
        char szClass[32] = {};
        GetClassNameA(hPopup, szClass, sizeof(szClass));
        EXPECT_STREQ(szClass, "BitmapMenu");
        EXPECT_EQ(GetParent(hPopup), owner.Hwnd());
        // Wine drops WS_EX_TOPMOST from a window made with WS_CHILD in its style.
        EXPECT_EQ(GetWindowLongA(hPopup, GWL_EXSTYLE) & 0x00010181, 0x00010181);
        EXPECT_EQ(GetWindowLongA(hPopup, GWL_STYLE) & 0xC6800000u, 0xC6800000u);
        EXPECT_EQ(GetFocus(), hPopup);
        CBmpMenuToolBar* pStrip = CMenuTestOwner::StripOf(hPopup);
        ASSERT_NE(pStrip, nullptr);
        const HWND hStrip = pStrip->m_hWnd;
        EXPECT_STREQ(pStrip->GetRuntimeClass()->m_lpszClassName, "CToolBar");
        EXPECT_NE(pStrip->m_dwStyle & CBRS_TOOLTIPS, 0u);
        ASSERT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), GetMenuItemCount(hMenu));

        int nButtonWidth = -1;
        for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
            SCOPED_TRACE(i);
            TBBUTTON button = {};
            ASSERT_TRUE(SendMessageA(hStrip, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
            auto* pRecord = reinterpret_cast<const MENUITEMINFOA*>(button.dwData);
            ASSERT_NE(pRecord, nullptr);
            EXPECT_EQ(static_cast<UINT>(button.idCommand), pRecord->wID);
            EXPECT_EQ(pRecord->hSubMenu, GetSubMenu(hMenu, i));
            const bool bSeparator = (GetMenuState(hMenu, i, MF_BYPOSITION) & MF_SEPARATOR) != 0;
            EXPECT_EQ((button.fsStyle & BTNS_SEP) != 0, bSeparator);
            const bool bUsable = (pRecord->fState & 3) == 0;
            EXPECT_EQ((button.fsState & TBSTATE_ENABLED) != 0, bUsable);
            if (bSeparator) {
                EXPECT_EQ(pRecord->dwTypeData, nullptr);
                continue;
            }
            char szMenuText[64] = {};
            GetMenuStringA(hMenu, i, szMenuText, sizeof(szMenuText), MF_BYPOSITION);
            EXPECT_STREQ(pRecord->dwTypeData, szMenuText);
            char szButtonText[64] = {};
            SendMessageA(hStrip, TB_GETBUTTONTEXTA, button.idCommand,
                         reinterpret_cast<LPARAM>(szButtonText));
            EXPECT_STREQ(szButtonText, szMenuText);
            const int nWidth = Width(ItemRect(hStrip, i));
            if (nButtonWidth < 0) nButtonWidth = nWidth;
            EXPECT_EQ(nWidth, nButtonWidth);
            // The widest text fits beside a check box.
            HDC hDC = GetDC(hStrip);
            HGDIOBJ hOld = SelectObject(hDC, pStrip->m_font.GetSafeHandle());
            SIZE size = {};
            GetTextExtentPoint32A(hDC, szMenuText, lstrlenA(szMenuText), &size);
            SelectObject(hDC, hOld);
            ReleaseDC(hStrip, hDC);
            EXPECT_GE(nWidth, size.cx + GetSystemMetrics(SM_CXMENUCHECK));
        }
        EXPECT_EQ(Width(WindowRect(hPopup)), nButtonWidth + 30 + 6);
        const RECT rcStrip = WindowRect(hStrip);
        POINT ptClient = {0, 0};
        ClientToScreen(hPopup, &ptClient);
        EXPECT_EQ(rcStrip.left - ptClient.x, 30);
        EXPECT_EQ(rcStrip.top, ptClient.y);
        EXPECT_EQ(Width(rcStrip), nButtonWidth + 6);
        PressKey(hPopup, VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    EXPECT_FALSE(IsWindow(hPopup));
    EXPECT_EQ(menu.m_pToolBar, nullptr);
    EXPECT_TRUE(menu.m_itemRecords.empty());
    EXPECT_EQ(menu.m_hMenu, hMenu);
    EXPECT_TRUE(IsMenu(hMenu));
}

TEST(BmpMenuWindow, WindowSizeFollowsTheItems) {
    CMenuTestOwner owner;
    struct Case {
        int nItems;
        int nBanner;
    };
    for (const Case& c : {Case{3, 30}, Case{1, 0}, Case{0, 30}}) {
        SCOPED_TRACE(c.nItems);
        HMENU hMenu = CreatePopupMenu();
        for (int i = 0; i < c.nItems; ++i) AppendMenuA(hMenu, MF_STRING, 300 + i, "Item text");
        CBmpMenu menu(c.nBanner, 0, nullptr, 0);
        menu.Attach(hMenu);
        owner.AddStep([&] {
            const HWND hPopup = owner.OpenMenus().at(0);
            const HWND hStrip = CMenuTestOwner::StripOf(hPopup)->m_hWnd;
            const RECT rcWindow = WindowRect(hPopup);
            EXPECT_EQ(rcWindow.left, 200);
            EXPECT_EQ(rcWindow.top, 150);
            if (c.nItems == 0) {
                // Only the banner in the frame.
                EXPECT_EQ(Width(rcWindow), c.nBanner + 6);
                EXPECT_EQ(Height(rcWindow), 6);
            } else {
                const RECT rcFirst = ItemRect(hStrip, 0);
                const RECT rcLast = ItemRect(hStrip, c.nItems - 1);
                EXPECT_EQ(Width(rcWindow), Width(rcFirst) + c.nBanner + 6);
                EXPECT_EQ(Height(rcWindow), rcLast.bottom - rcFirst.top + 6);
                EXPECT_EQ(Height(WindowRect(hStrip)), Height(rcWindow));
            }
            PressKey(hPopup, VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 200, 150));
    }
}

TEST(BmpMenuWindow, OpensAtTheScreenCornersAndSubmenusClearTheBanner) {
    CMenuTestOwner owner;
    RECT rcDesktop = WindowRect(GetDesktopWindow());
    HMENU hMenu = MakeTestMenu();
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    RECT rcTop = {};
    RECT rcSub = {};
    RECT rcItem = {};
    POINT ptTopClient = {0, 0};
    owner.AddStep([&] {
        const HWND hPopup = owner.OpenMenus().at(0);
        rcTop = WindowRect(hPopup);
        ClientToScreen(hPopup, &ptTopClient);
        const HWND hStrip = CMenuTestOwner::StripOf(hPopup)->m_hWnd;
        rcItem = ItemRect(hStrip, 4);
        MapWindowPoints(hStrip, nullptr, reinterpret_cast<POINT*>(&rcItem), 2);
        SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, 4));
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        rcSub = WindowRect(owner.OpenMenus()[1]);
        PressKey(owner.OpenMenus()[0], VK_ESCAPE);
    });
    // Near the bottom right corner the menu opens up and to the left of the point.
    const int x = rcDesktop.right - 20;
    const int y = rcDesktop.bottom - 20;
    EXPECT_TRUE(owner.Track(menu, x, y));
    EXPECT_EQ(rcTop.right, x);
    EXPECT_EQ(rcTop.bottom, y);
    // The submenu has no room on the right: it opens left of the parent, clear of the
    // parent's banner, at the item's top.
    EXPECT_EQ(rcSub.right, rcItem.left - 30);
    EXPECT_EQ(rcSub.right, ptTopClient.x);
    EXPECT_EQ(rcSub.top, rcItem.top);
    EXPECT_FALSE(owner.WatchdogFired());
}

TEST(BmpMenuWindow, RefusesWhatItCannotShow) {
    CMenuTestOwner owner;
    // No owner, or an owner that is not a window: nothing is sent or created.
    CBmpMenu noOwner(30, 0, nullptr, 0);
    noOwner.Attach(MakeTestMenu());
    EXPECT_FALSE(noOwner.Track(0, 10, 10, nullptr, nullptr));
    HWND hGone =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hGone);
    EXPECT_FALSE(noOwner.Track(0, 10, 10, CWnd::FromHandle(hGone), nullptr));
    CWnd::ForgetHandle(hGone);
    EXPECT_EQ(noOwner.m_hWnd, nullptr);

    // The popup cannot be made: the owner was told of the menu, then nothing more.
    HMENU hMenu = MakeTestMenu();
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
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
        const HWND hStrip = CMenuTestOwner::StripOf(owner.OpenMenus().at(0))->m_hWnd;
        EXPECT_EQ(SendMessageA(hStrip, TB_BUTTONCOUNT, 0, 0), GetMenuItemCount(hMenu) - 1);
        EXPECT_EQ(SendMessageA(hStrip, TB_COMMANDTOINDEX, 102, 0), -1);
        PressKey(owner.OpenMenus().at(0), VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 10, 10));
    g_traceLog.SetSink(pfnPrevious);
    ASSERT_EQ(g_traceLines.size(), 1u);
    EXPECT_EQ(g_traceLines[0], "Failed to retrieve MenuItemInfo LastError == %x00000057");
}

TEST(BmpMenuWindow, ClosedMenuKeepsItsHandleUntilDestroyed) {
    // A banner bitmap is kept only when the system can describe it; submenus inherit
    // banner width and bitmap only when asked to.
    HBITMAP hBitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    CBmpMenu withBitmap(30, 1, hBitmap, 7);
    EXPECT_EQ(withBitmap.m_hBannerBitmap, hBitmap);
    CBmpMenu withJunk(30, 0, reinterpret_cast<HBITMAP>(0x1234), 0);
    EXPECT_EQ(withJunk.m_hBannerBitmap, nullptr);
    EXPECT_TRUE(withBitmap.IsKindOf(RUNTIME_CLASS(CBmpMenu)));
    EXPECT_TRUE(withBitmap.IsKindOf(RUNTIME_CLASS(CWnd)));

    CMenuTestOwner owner;
    HMENU hSub = nullptr;
    HMENU hMenu = MakeTestMenu(&hSub);
    withBitmap.Attach(hMenu);
    CBmpMenu* pSub = nullptr;
    int nSubBanner = -1;
    owner.AddStep([&] {
        const HWND hStrip = CMenuTestOwner::StripOf(owner.OpenMenus().at(0))->m_hWnd;
        SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, 4));
    });
    owner.AddStep([&] {
        pSub = CMenuTestOwner::MenuOf(owner.OpenMenus().at(1));
        ASSERT_NE(pSub, nullptr);
        EXPECT_EQ(withBitmap.m_pSubMenu, pSub);
        EXPECT_EQ(pSub->m_hMenu, hSub);
        EXPECT_EQ(pSub->m_dwTrackFlags, BMF_SUBMENU);
        EXPECT_EQ(pSub->m_hBannerBitmap, hBitmap);
        EXPECT_EQ(pSub->m_nExtra, 7u);
        EXPECT_EQ(pSub->m_crBanner, 0x0000B240u);
        EXPECT_EQ(pSub->m_pOwner, owner.Wnd());
        nSubBanner = pSub->m_nBannerWidth;
        PressKey(owner.OpenMenus().at(0), VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(withBitmap, 100, 100));
    EXPECT_EQ(nSubBanner, 30);
    EXPECT_EQ(withBitmap.m_pSubMenu, nullptr);
    // The submenu's handle still belongs to the menu; destroying the menu frees both.
    EXPECT_TRUE(IsMenu(hSub));
    withBitmap.DestroyMenu();
    EXPECT_FALSE(IsMenu(hMenu));
    EXPECT_FALSE(IsMenu(hSub));
    DeleteObject(hBitmap);
}

TEST(BmpMenuWindow, OwnerGoingAwayEndsTheCascade) {
    CMenuTestOwner owner;
    HMENU hMenu = MakeTestMenu();
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    std::vector<HWND> popups;
    owner.AddStep([&] { PressKey(owner.OpenMenus().at(0), 'M'); });
    owner.AddStep([&] {
        popups = owner.OpenMenus();
        ASSERT_EQ(popups.size(), 2u);
        // The owned popups go with their owner; each loop ends as its window is gone.
        DestroyWindow(owner.Hwnd());
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    ASSERT_EQ(popups.size(), 2u);
    for (HWND hPopup : popups) EXPECT_FALSE(IsWindow(hPopup));
    EXPECT_EQ(menu.m_pSubMenu, nullptr);
    EXPECT_EQ(menu.m_pToolBar, nullptr);
    EXPECT_TRUE(menu.m_itemRecords.empty());
    EXPECT_TRUE(menu.m_itemTexts.empty());
    EXPECT_TRUE(IsMenu(hMenu));
}
