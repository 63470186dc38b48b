// The bitmap menu's figures. A menu has painted completely when its modal loop first
// finds its queue empty: both the bitmap menu's loop and the platform's then tell the
// owner with WM_ENTERIDLE, and the measuring code closes the menu.
#include "MenuFigures.h"

#include <algorithm>
#include <vector>

#include "Median.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/Wnd.h"

namespace {

// Where the owner's window procedure (or the thread's hook) reports to the measuring code.
struct CMenuRound {
    LARGE_INTEGER start;  // when the menu was asked for
    LARGE_INTEGER idle;   // when its loop first waited
    bool bIdleSeen;       // the first WM_ENTERIDLE of this round came
    HWND hPopup;          // the bitmap menu's popup, from WM_ENTERMENULOOP
    int nItemRepaints;    // item paints to run when the bitmap menu is idle; 0: close at once
    double dItemMs;       // their time per paint
} g_round;

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
    HWND hStrip = FindWindowExA(g_round.hPopup, nullptr, TOOLBARCLASSNAMEA, nullptr);
    RECT rcItem = {};
    SendMessageA(hStrip, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rcItem));
    const LARGE_INTEGER start = Now();
    for (int i = 0; i < g_round.nItemRepaints; ++i) {
        RedrawWindow(hStrip, &rcItem, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    g_round.dItemMs = Ms(start, Now()) / g_round.nItemRepaints;
}

// The menu's owner saw message: note the popup, and at the first idle the time.
// Returns true when the message was the first idle of the round.
bool NoteOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENTERMENULOOP && lParam != 0) {
        g_round.hPopup = reinterpret_cast<HWND>(lParam);
    } else if (message == WM_ENTERIDLE && !g_round.bIdleSeen) {
        g_round.idle = Now();
        g_round.bIdleSeen = true;
        if (wParam == MSGF_MENU) {
            EndMenu();
        } else {
            if (g_round.nItemRepaints > 0) TimeItemPaints();
            SendMessageA(g_round.hPopup, WM_KEYDOWN, VK_ESCAPE, 1);
        }
        return true;
    }
    return false;
}

LRESULT CALLBACK OwnerProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (NoteOwnerMessage(message, wParam, lParam)) return 0;
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// Sees the messages sent to the library's own menu owner, which this program does not own.
LRESULT CALLBACK OwnerHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HC_ACTION) {
        const CWPSTRUCT* pMsg = reinterpret_cast<const CWPSTRUCT*>(lParam);
        NoteOwnerMessage(pMsg->message, pMsg->wParam, pMsg->lParam);
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
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

}  // namespace

MenuFigures MeasureBitmapMenu(int nRounds) {
    MenuFigures figures;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "velBenchMenuOwner";
    RegisterClassA(&wc);
    // Hidden, as the tray's notification window that owns the library's menus.
    HWND hOwner = CreateWindowExA(0, wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW, 600, 400, 200,
                                  120, nullptr, nullptr, wc.hInstance, nullptr);
    if (hOwner == nullptr) return figures;
    SetCursorPos(1010, 5);
    CWnd* pOwner = CWnd::FromHandle(hOwner);

    std::vector<double> bitmapMenu, platformMenu;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        g_round = {};
        CBmpMenu menu(30, 0, nullptr, 0);
        menu.Attach(MakeTenItems());
        g_round.start = Now();
        menu.Track(0, 100, 100, pOwner, nullptr);
        if (g_round.bIdleSeen) bitmapMenu.push_back(Ms(g_round.start, g_round.idle));

        g_round = {};
        HMENU hMenu = MakeTenItems();
        SetForegroundWindow(hOwner);
        g_round.start = Now();
        TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_NONOTIFY, 100, 100, 0, hOwner, nullptr);
        if (g_round.bIdleSeen) platformMenu.push_back(Ms(g_round.start, g_round.idle));
        DestroyMenu(hMenu);
    }

    // One item with a 16 x 16 item bitmap, painted over and over.
    HBITMAP hBitmap = MakeItemBitmap();
    g_round = {};
    g_round.nItemRepaints = nRounds * 5;
    CBmpMenu single(30, 0, nullptr, 0);
    HMENU hSingle = CreatePopupMenu();
    AppendMenuA(hSingle, MF_STRING, 0x1600, "&Readers");
    SetMenuItemBitmaps(hSingle, 0, MF_BYPOSITION, hBitmap, nullptr);
    single.Attach(hSingle);
    single.Track(0, 100, 100, pOwner, nullptr);
    single.DestroyMenu();
    DeleteObject(hBitmap);

    figures.dBitmapMs = Median(bitmapMenu);
    figures.dPlatformMs = Median(platformMenu);
    figures.nRounds = std::min(bitmapMenu.size(), platformMenu.size());
    figures.dItemPaintMs = g_round.dItemMs;
    figures.nItemPaints = g_round.nItemRepaints;
    DestroyWindow(hOwner);
    CWnd::ForgetHandle(hOwner);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
    return figures;
}

double MeasureClickToMenu(HWND hIconWnd, int nRounds) {
    HHOOK hHook = SetWindowsHookExA(WH_CALLWNDPROC, OwnerHook, nullptr, GetCurrentThreadId());
    if (hHook == nullptr) return -1.0;
    SetCursorPos(1010, 740);
    std::vector<double> times;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        g_round = {};
        g_round.start = Now();
        // As the shell reports a right-click: icon id 1, the mouse message in lParam.
        PostMessageA(hIconWnd, 4702, 1, WM_RBUTTONDOWN);
        const DWORD nEnd = GetTickCount() + 2000;
        MSG msg;
        while (!g_round.bIdleSeen && static_cast<LONG>(nEnd - GetTickCount()) > 0) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
            } else {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
        }
        if (g_round.bIdleSeen) times.push_back(Ms(g_round.start, g_round.idle));
        // Whatever the closed menu left in the queue goes before the next click.
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    UnhookWindowsHookEx(hHook);
    return Median(times);
}
