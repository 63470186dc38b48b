#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <set>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "bmpmenu/BmpMenu.h"

namespace {

// What the intercepted imports saw: handles made and not yet given back, and counts.
struct CLedger {
    std::set<HGDIOBJ> liveGdi;  // pens, brushes, fonts, bitmaps and memory DCs
    std::set<HMENU> menus;      // every menu made
    std::set<HWND> windows;     // every window made
    int nGdiMade = 0;
    int nGetDC = 0, nReleaseDC = 0, nBeginPaint = 0, nEndPaint = 0;
};
CLedger* g_pLedger = nullptr;

// The real functions behind the bent imports, by name.
struct {
    decltype(&::CreateFontA) pfnCreateFont;
    decltype(&::CreateFontIndirectA) pfnCreateFontIndirect;
    decltype(&::CreateSolidBrush) pfnCreateSolidBrush;
    decltype(&::CreatePen) pfnCreatePen;
    decltype(&::CreateBitmap) pfnCreateBitmap;
    decltype(&::CreateCompatibleBitmap) pfnCreateCompatibleBitmap;
    decltype(&::CreatePatternBrush) pfnCreatePatternBrush;
    decltype(&::CreateCompatibleDC) pfnCreateCompatibleDC;
    decltype(&::DeleteDC) pfnDeleteDC;
    decltype(&::DeleteObject) pfnDeleteObject;
    decltype(&::LoadBitmapA) pfnLoadBitmap;
    decltype(&::CreateWindowExA) pfnCreateWindowEx;
    decltype(&::CreatePopupMenu) pfnCreatePopupMenu;
    decltype(&::GetDC) pfnGetDC;
    decltype(&::ReleaseDC) pfnReleaseDC;
    decltype(&::BeginPaint) pfnBeginPaint;
    decltype(&::EndPaint) pfnEndPaint;
} g_real;

template <typename T>
T Made(T h) {
    if (h != nullptr) {
        g_pLedger->liveGdi.insert(h);
        ++g_pLedger->nGdiMade;
    }
    return h;
}

HFONT WINAPI MyCreateFont(int a, int b, int c, int d, int e, DWORD f, DWORD g, DWORD h, DWORD i,
                          DWORD j, DWORD k, DWORD l, DWORD m, LPCSTR n) {
    return Made(g_real.pfnCreateFont(a, b, c, d, e, f, g, h, i, j, k, l, m, n));
}
HFONT WINAPI MyCreateFontIndirect(const LOGFONTA* p) {
    return Made(g_real.pfnCreateFontIndirect(p));
}
HBRUSH WINAPI MyCreateSolidBrush(COLORREF cr) { return Made(g_real.pfnCreateSolidBrush(cr)); }
HPEN WINAPI MyCreatePen(int s, int w, COLORREF cr) { return Made(g_real.pfnCreatePen(s, w, cr)); }
HBITMAP WINAPI MyCreateBitmap(int cx, int cy, UINT p, UINT b, const void* v) {
    return Made(g_real.pfnCreateBitmap(cx, cy, p, b, v));
}
HBITMAP WINAPI MyCreateCompatibleBitmap(HDC hDC, int cx, int cy) {
    return Made(g_real.pfnCreateCompatibleBitmap(hDC, cx, cy));
}
HBRUSH WINAPI MyCreatePatternBrush(HBITMAP h) { return Made(g_real.pfnCreatePatternBrush(h)); }
HDC WINAPI MyCreateCompatibleDC(HDC hDC) { return Made(g_real.pfnCreateCompatibleDC(hDC)); }
HBITMAP WINAPI MyLoadBitmap(HINSTANCE hInstance, LPCSTR pszName) {
    return Made(g_real.pfnLoadBitmap(hInstance, pszName));
}
BOOL WINAPI MyDeleteDC(HDC hDC) {
    const BOOL bResult = g_real.pfnDeleteDC(hDC);
    if (bResult) g_pLedger->liveGdi.erase(hDC);
    return bResult;
}
BOOL WINAPI MyDeleteObject(HGDIOBJ h) {
    const BOOL bResult = g_real.pfnDeleteObject(h);
    if (bResult) g_pLedger->liveGdi.erase(h);
    return bResult;
}
HWND WINAPI MyCreateWindowEx(DWORD a, LPCSTR b, LPCSTR c, DWORD d, int e, int f, int g, int h,
                             HWND i, HMENU j, HINSTANCE k, LPVOID l) {
    HWND hWnd = g_real.pfnCreateWindowEx(a, b, c, d, e, f, g, h, i, j, k, l);
    if (hWnd != nullptr) g_pLedger->windows.insert(hWnd);
    return hWnd;
}
HMENU WINAPI MyCreatePopupMenu() {
    HMENU hMenu = g_real.pfnCreatePopupMenu();
    g_pLedger->menus.insert(hMenu);
    return hMenu;
}
HDC WINAPI MyGetDC(HWND hWnd) {
    ++g_pLedger->nGetDC;
    return g_real.pfnGetDC(hWnd);
}
int WINAPI MyReleaseDC(HWND hWnd, HDC hDC) {
    ++g_pLedger->nReleaseDC;
    return g_real.pfnReleaseDC(hWnd, hDC);
}
HDC WINAPI MyBeginPaint(HWND hWnd, LPPAINTSTRUCT pPaint) {
    ++g_pLedger->nBeginPaint;
    return g_real.pfnBeginPaint(hWnd, pPaint);
}
BOOL WINAPI MyEndPaint(HWND hWnd, const PAINTSTRUCT* pPaint) {
    ++g_pLedger->nEndPaint;
    return g_real.pfnEndPaint(hWnd, pPaint);
}

// Bends an import to a replacement and remembers the real function.
template <typename T>
std::unique_ptr<CImportPatch> Bend(const char* pszDll, const char* pszName, T pfnMine, T& pfnReal) {
    auto pPatch =
        std::make_unique<CImportPatch>(nullptr, pszDll, pszName, reinterpret_cast<void*>(pfnMine));
    pfnReal = reinterpret_cast<T>(pPatch->Original());
    return pPatch;
}

}  // namespace

TEST(BmpMenuResource, ThousandOpeningsGiveBackEveryObject) {
    CMenuTestOwner owner;
    HBITMAP hItemBitmap = CreateBitmap(12, 12, 1, 32, nullptr);
    CLedger ledger;
    g_pLedger = &ledger;
    std::vector<std::unique_ptr<CImportPatch>> patches;
    patches.push_back(Bend("gdi32.dll", "CreateFontA", &MyCreateFont, g_real.pfnCreateFont));
    patches.push_back(Bend("gdi32.dll", "CreateFontIndirectA", &MyCreateFontIndirect,
                           g_real.pfnCreateFontIndirect));
    patches.push_back(
        Bend("gdi32.dll", "CreateSolidBrush", &MyCreateSolidBrush, g_real.pfnCreateSolidBrush));
    patches.push_back(Bend("gdi32.dll", "CreatePen", &MyCreatePen, g_real.pfnCreatePen));
    patches.push_back(Bend("gdi32.dll", "CreateBitmap", &MyCreateBitmap, g_real.pfnCreateBitmap));
    patches.push_back(Bend("gdi32.dll", "CreateCompatibleBitmap", &MyCreateCompatibleBitmap,
                           g_real.pfnCreateCompatibleBitmap));
    patches.push_back(Bend("gdi32.dll", "CreatePatternBrush", &MyCreatePatternBrush,
                           g_real.pfnCreatePatternBrush));
    patches.push_back(Bend("gdi32.dll", "CreateCompatibleDC", &MyCreateCompatibleDC,
                           g_real.pfnCreateCompatibleDC));
    patches.push_back(Bend("gdi32.dll", "DeleteDC", &MyDeleteDC, g_real.pfnDeleteDC));
    patches.push_back(Bend("gdi32.dll", "DeleteObject", &MyDeleteObject, g_real.pfnDeleteObject));
    patches.push_back(Bend("user32.dll", "LoadBitmapA", &MyLoadBitmap, g_real.pfnLoadBitmap));
    patches.push_back(
        Bend("user32.dll", "CreateWindowExA", &MyCreateWindowEx, g_real.pfnCreateWindowEx));
    patches.push_back(
        Bend("user32.dll", "CreatePopupMenu", &MyCreatePopupMenu, g_real.pfnCreatePopupMenu));
    patches.push_back(Bend("user32.dll", "GetDC", &MyGetDC, g_real.pfnGetDC));
    patches.push_back(Bend("user32.dll", "ReleaseDC", &MyReleaseDC, g_real.pfnReleaseDC));
    patches.push_back(Bend("user32.dll", "BeginPaint", &MyBeginPaint, g_real.pfnBeginPaint));
    patches.push_back(Bend("user32.dll", "EndPaint", &MyEndPaint, g_real.pfnEndPaint));
    for (const auto& pPatch : patches) ASSERT_TRUE(pPatch->IsActive());

    constexpr int kRounds = 1000;
    for (int nRound = 0; nRound < kRounds && !HasFailure(); ++nRound) {
        CBmpMenu menu(30, 0, nullptr, 0);
        HMENU hMenu = MakeTestMenu();
        SetMenuItemBitmaps(hMenu, 0, MF_BYPOSITION, hItemBitmap, nullptr);
        menu.Attach(hMenu);
        owner.AddStep([&] { PressKey(owner.OpenMenus().at(0), 'M'); });
        owner.AddStep([&] {
            ASSERT_EQ(owner.OpenMenus().size(), 2u);
            // Every painting path: banner, bitmap, check box, greyed item, arrow.
            for (HWND hPopup : owner.OpenMenus()) {
                RedrawWindow(hPopup, nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            }
            PressKey(owner.OpenMenus()[1], VK_ESCAPE);
        });
        ASSERT_TRUE(owner.Track(menu, 100, 100));
        ASSERT_FALSE(owner.WatchdogFired());
    }
    patches.clear();
    g_pLedger = nullptr;
    DeleteObject(hItemBitmap);

    // Two menus, two popups, two strips per round; fonts, brushes, pens, bitmaps and DCs
    // made while painting, all given back.
    EXPECT_EQ(ledger.menus.size(), 2u * kRounds);
    for (HMENU hMenu : ledger.menus) EXPECT_FALSE(IsMenu(hMenu));
    EXPECT_EQ(ledger.windows.size(), 4u * kRounds);
    for (HWND hWnd : ledger.windows) EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_GE(ledger.nGdiMade, 10 * kRounds);
    EXPECT_TRUE(ledger.liveGdi.empty()) << ledger.liveGdi.size() << " GDI objects left";
    EXPECT_EQ(ledger.nGetDC, ledger.nReleaseDC);
    EXPECT_GE(ledger.nBeginPaint, 2 * kRounds);
    EXPECT_EQ(ledger.nBeginPaint, ledger.nEndPaint);
}
