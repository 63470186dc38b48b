// Speed of the bitmap menu, measured beside the platform's own menu in one run:
//   1. from Track to the first complete paint of a ten-item menu, against TrackPopupMenu
//      of the same items (goal: at most 1.5 times the platform's time);
//   2. the painting of one item with a 16 x 16 item bitmap, whose colour-mapped copy is
//      made pixel by pixel at every paint (goal: under 1 ms).
// A menu has painted completely when its modal loop first finds its queue empty: both
// loops then tell the owner with WM_ENTERIDLE, and the owner closes the menu.
//
//   BmpMenuBench [rounds]     (default 200)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/Wnd.h"

namespace {

// Where the owner's window procedure reports to the measuring code.
struct CBenchState {
    LARGE_INTEGER start;  // when the menu was asked for
    LARGE_INTEGER idle;   // when its loop first waited
    bool bIdleSeen;       // the first WM_ENTERIDLE of this round came
    HWND hPopup;          // the bitmap menu's popup, from WM_ENTERMENULOOP
    int nItemRepaints;    // item paints to run when the bitmap menu is idle; 0: close at once
    double dItemMs;       // their time per paint
} g_state;

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(f.QuadPart);
}

// Repaints the strip of the open bitmap menu, one item at a time.
void TimeItemPaints() {
    HWND hStrip = FindWindowExA(g_state.hPopup, nullptr, TOOLBARCLASSNAMEA, nullptr);
    RECT rcItem = {};
    SendMessageA(hStrip, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rcItem));
    const LARGE_INTEGER start = Now();
    for (int i = 0; i < g_state.nItemRepaints; ++i) {
        RedrawWindow(hStrip, &rcItem, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    g_state.dItemMs = Ms(start, Now()) / g_state.nItemRepaints;
}

LRESULT CALLBACK OwnerProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_ENTERMENULOOP && lParam != 0) {
            g_state.hPopup = reinterpret_cast<HWND>(lParam);
        } else if (message == WM_ENTERIDLE && !g_state.bIdleSeen) {
            g_state.idle = Now();
            g_state.bIdleSeen = true;
            if (wParam == MSGF_MENU) {
                EndMenu();
            } else {
                if (g_state.nItemRepaints > 0) TimeItemPaints();
                SendMessageA(g_state.hPopup, WM_KEYDOWN, VK_ESCAPE, 1);
            }
            return 0;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// Ten items as the icon menus have them: texts, two separators.
HMENU MakeTenItems() {
    HMENU hMenu = CreatePopupMenu();
    const char* texts[8] = {"&Open monitor", "&Show status", "&Readers", "&Certificates",
                            "&Options",      "&Help",        "&About",   "E&xit"};
    for (int i = 0; i < 8; ++i) {
        if (i == 2 || i == 7) AppendMenuA(hMenu, MF_SEPARATOR, 0xFFFFFFFF, nullptr);
        AppendMenuA(hMenu, MF_STRING, 0x1600 + i, texts[i]);
    }
    return hMenu;
}

// A 16 x 16 bitmap in the screen's format with the four standard colours and others.
HBITMAP MakeItemBitmap() {
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 16, 16);
    HDC hDC = CreateCompatibleDC(hScreen);
    HGDIOBJ hOld = SelectObject(hDC, hBitmap);
    const COLORREF colors[5] = {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192),
                                RGB(255, 255, 255), RGB(200, 30, 30)};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) SetPixel(hDC, x, y, colors[(x + y) % 5]);
    }
    SelectObject(hDC, hOld);
    DeleteDC(hDC);
    ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BmpMenuBenchOwner";
    RegisterClassA(&wc);
    // Hidden, as the tray's notification window that owns the library's menus.
    HWND hOwner = CreateWindowExA(0, wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW, 600, 400, 200,
                                  120, nullptr, nullptr, wc.hInstance, nullptr);
    if (hOwner == nullptr) return 2;
    SetCursorPos(1010, 5);
    CWnd* pOwner = CWnd::FromHandle(hOwner);

    std::vector<double> bitmapMenu, platformMenu;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        g_state = {};
        CBmpMenu menu(30, 0, nullptr, 0);
        menu.Attach(MakeTenItems());
        g_state.start = Now();
        menu.Track(0, 100, 100, pOwner, nullptr);
        if (g_state.bIdleSeen) bitmapMenu.push_back(Ms(g_state.start, g_state.idle));

        g_state = {};
        HMENU hMenu = MakeTenItems();
        SetForegroundWindow(hOwner);
        g_state.start = Now();
        TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, 0, hOwner, nullptr);
        if (g_state.bIdleSeen) platformMenu.push_back(Ms(g_state.start, g_state.idle));
        DestroyMenu(hMenu);
    }

    // One item with a 16 x 16 item bitmap, painted over and over.
    HBITMAP hBitmap = MakeItemBitmap();
    g_state = {};
    g_state.nItemRepaints = nRounds * 5;
    CBmpMenu single(30, 0, nullptr, 0);
    HMENU hSingle = CreatePopupMenu();
    AppendMenuA(hSingle, MF_STRING, 0x1600, "&Readers");
    SetMenuItemBitmaps(hSingle, 0, MF_BYPOSITION, hBitmap, nullptr);
    single.Attach(hSingle);
    single.Track(0, 100, 100, pOwner, nullptr);
    single.DestroyMenu();
    DeleteObject(hBitmap);

    const double dBitmap = Median(bitmapMenu);
    const double dPlatform = Median(platformMenu);
    std::printf("Track to first complete paint, ten items (median of %zu): %.3f ms\n",
                bitmapMenu.size(), dBitmap);
    std::printf("TrackPopupMenu, same items (median of %zu):           %.3f ms\n",
                platformMenu.size(), dPlatform);
    std::printf("ratio: %.2f (goal: at most 1.5)\n", dPlatform > 0 ? dBitmap / dPlatform : 0.0);
    std::printf(
        "one item with a 16 x 16 bitmap painted (%d paints): %.3f ms per paint (goal: under 1 "
        "ms)\n",
        g_state.nItemRepaints, g_state.dItemMs);
    DestroyWindow(hOwner);
    CWnd::ForgetHandle(hOwner);
    return 0;
}
