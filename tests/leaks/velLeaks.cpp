// Shows that the library loses nothing in its everyday work: chip state changes, context menus
// opened and closed, a bitmap menu with a submenu, the information window shown and hidden, and
// the rotation started and stopped. Each workload runs a warm-up round, so that what the library
// creates once and keeps (the menu owner, the information window, the text table's cache) is left
// behind, then two measured rounds, the second twice as long as the first. What a workload loses
// per cycle makes the second round grow by more than the first; what the system or the runtime
// creates on some first use shows in one round only. A workload passes when the second round grows
// by no more than the first, within a small tolerance.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ImportPatch.h"
#include "LeakCounter.h"
#include "bmpmenu/BmpMenu.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "framework/Wnd.h"
#include "text/TextTable.h"
#include "tray/ChipIcon.h"
#include "tray/IconMenu.h"
#include "tray/SEMIcon.h"

namespace {

// The reader whose chip icon the workloads use.
constexpr char kReader[] = "Leak Check Reader 0";
// Ticks (10 ms apart) the menu driver waits for a menu before it gives up.
constexpr int kMenuWaitTicks = 500;

CvelTrayLibMgr& Mgr() { return CvelTrayLibMgr::Instance(); }

// The shell, answered here: what the shell keeps of an icon is not the library's, and a shell
// busy with other programs' icons would only slow the workloads down.
BOOL WINAPI AcceptIcon(DWORD, PNOTIFYICONDATAA) { return TRUE; }

// Handles the window messages already queued.
void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// The visible popups of the library's menus on this thread, topmost (deepest) first.
BOOL CALLBACK CollectOpenMenus(HWND hWnd, LPARAM lParam) {
    char szClass[32] = "";
    GetClassNameA(hWnd, szClass, sizeof szClass);
    if (lstrcmpA(szClass, "BitmapMenu") == 0 && IsWindowVisible(hWnd))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

int g_nSubMenuItem = -1;        // the item whose submenu the driver opens first; -1: none
int g_nTicks = 0;               // ticks of the driver in the current cycle
bool g_bMenuFailed = false;     // a menu or submenu did not open, or did not close
bool g_bSubMenuOpened = false;  // the driver opened the submenu in this cycle

// Runs inside the menus' modal loops: opens the submenu with the Right key when asked to, then
// closes every menu with Escape in the deepest one. A loop whose menus cannot be found ends.
void CALLBACK DriveMenus(HWND, UINT, UINT_PTR nTimer, DWORD) {
    std::vector<HWND> open;
    EnumThreadWindows(GetCurrentThreadId(), &CollectOpenMenus, reinterpret_cast<LPARAM>(&open));
    if (open.empty()) {
        if (++g_nTicks < kMenuWaitTicks) return;
        KillTimer(nullptr, nTimer);
        g_bMenuFailed = true;
        PostQuitMessage(0);
        return;
    }
    if (g_nSubMenuItem >= 0 && !g_bSubMenuOpened) {
        // The Right key runs the submenu's loop, and this driver in it.
        g_bSubMenuOpened = true;
        const HWND hStrip = FindWindowExA(open[0], nullptr, TOOLBARCLASSNAMEA, nullptr);
        SendMessageA(hStrip, TB_SETHOTITEM, g_nSubMenuItem, 0);
        UpdateWindow(hStrip);  // the strip learns its hot item when it paints it
        SendMessageA(open[0], WM_KEYDOWN, VK_RIGHT, 1);
        return;
    }
    KillTimer(nullptr, nTimer);
    g_bMenuFailed = g_bMenuFailed || open.size() != (g_nSubMenuItem >= 0 ? 2u : 1u);
    SendMessageA(open[0], WM_KEYDOWN, VK_ESCAPE, 1);
}

// Tracks a menu with the driver closing it.
template <typename Track>
void WithMenuDriver(int nSubMenuItem, Track track) {
    g_nSubMenuItem = nSubMenuItem;
    g_nTicks = 0;
    g_bSubMenuOpened = false;
    const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &DriveMenus);
    track();
    KillTimer(nullptr, nTimer);
    Pump();
}

// The workloads; each runs n cycles.
void ChipStateChanges(int n) {
    CChipIcon* pChip = Mgr().GetChipIcon(kReader, 3);
    for (int i = 0; i < n; ++i) {
        const int nState = i % 6;
        if (nState == 0) pChip->SetAbsent(kReader);
        if (nState == 1) pChip->SetPresent();
        if (nState == 2) pChip->SetIdentify();
        if (nState == 3) pChip->SetIdentified("Leak Check Card");
        if (nState == 4) pChip->SetUnknown();
        if (nState == 5) pChip->SetActive();
    }
    Pump();
}

void MenuCycles(int n) {
    CChipIcon* pChip = Mgr().GetChipIcon(kReader, 3);
    for (int i = 0; i < n; ++i)
        WithMenuDriver(-1, [&] {
            CIconMenu::Open(CIconMenu::Kind::kChip, pChip->GetMenuEntries(), pChip->GetCmdBase());
        });
}

// A bitmap menu with what the icon menus do not use: checked and greyed items, an item bitmap and
// a submenu, which is opened and closed in every cycle.
void SubMenuCycles(int n) {
    static HWND s_hOwner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                           nullptr, nullptr, nullptr);
    for (int i = 0; i < n; ++i) {
        HDC hScreen = GetDC(nullptr);
        HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 16, 16);
        ReleaseDC(nullptr, hScreen);
        HMENU hSub = CreatePopupMenu();
        AppendMenuA(hSub, MF_STRING, 201, "Sub &one");
        AppendMenuA(hSub, MF_STRING | MF_CHECKED, 202, "Sub &two");
        HMENU hMenu = CreatePopupMenu();
        AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 101, "&Checked");
        AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 102, "&Disabled");
        AppendMenuA(hMenu, MF_STRING, 103, "&Bitmap");
        SetMenuItemBitmaps(hMenu, 2, MF_BYPOSITION, hBitmap, hBitmap);
        AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More");
        {
            CBmpMenu menu(24, 0, nullptr, 0);
            menu.Attach(hMenu);
            WithMenuDriver(3,
                           [&] { menu.Track(0, 200, 200, CWnd::FromHandle(s_hOwner), nullptr); });
            g_bMenuFailed = g_bMenuFailed || !g_bSubMenuOpened;
            menu.DestroyMenu();
        }
        DeleteObject(hBitmap);
    }
}

// Shows and hides the information window, sliding and at once by turns.
void InfoWindowCycles(int n) {
    CLeakCounter::SetFastClock(true);
    for (int i = 0; i < n; ++i) {
        Mgr().GetSemIcon()->ShowText(i % 2 == 0 ? "Leak check: the card was read" : "Leak check");
        Mgr().GetSemIcon()->HideInformation(i % 2 == 0 ? HideMode::kSlide : HideMode::kAtOnce);
        Pump();
    }
    CLeakCounter::SetFastClock(false);
}

void RotationCycles(int n) {
    CLeakCounter::SetFastClock(true);
    for (int i = 0; i < n; ++i) {
        Mgr().GetSemIcon()->StartRotation();
        CLeakCounter::RealSleep(5);  // a few frames go by before the stop
        Mgr().GetSemIcon()->StopRotation();
        Pump();
    }
    CLeakCounter::SetFastClock(false);
}

const struct {
    const char* pszName;  // as the table shows it
    void (*pfnRun)(int);  // the workload
    int nWarmUp;          // cycles of the warm-up round
    int nRound;           // cycles of the first measured round; the second runs twice as many
} kWorkloads[] = {
    {"chip state changes", &ChipStateChanges, 12, 60},
    {"menu cycles", &MenuCycles, 5, 20},
    {"submenu cycles", &SubMenuCycles, 3, 10},
    {"info window cycles", &InfoWindowCycles, 10, 20},
    {"rotation cycles", &RotationCycles, 3, 5},
};

// The books as the table shows them, and how much more the second round may grow than the first.
const struct {
    const char* pszName;
    CLeakCounter::Pool pool;
    long nTolerance;
} kBooks[] = {
    {"GDI objects", CLeakCounter::kGdiObjects, 0},
    {"DCs", CLeakCounter::kDcs, 0},
    {"windows", CLeakCounter::kWindows, 0},
    {"menus", CLeakCounter::kMenus, 0},
    {"hooks", CLeakCounter::kHooks, 0},
    {"icons", CLeakCounter::kIcons, 0},
    {"handles", CLeakCounter::kHandles, 0},
    {"modules", CLeakCounter::kModules, 0},
    {"heap blocks", CLeakCounter::kHeapBlocks, 2},
    {"heap bytes", CLeakCounter::kHeapBytes, 128},
};

// Sets up the library as a host would find it, runs every workload (or the one named) and prints
// the growth of each book in both rounds; true when nothing grows per cycle.
bool Run(const char* pszOnly) {
    CLeakCounter counter;
    CImportPatch shell(nullptr, "shell32.dll", "Shell_NotifyIconA",
                       reinterpret_cast<void*>(&AcceptIcon));
    for (const std::string& name : counter.Missing())
        printf("not counted, the program never calls it: %s\n", name.c_str());
    // The built library supplies the icons, the dialog template and the pictures; the language
    // libraries beside the program supply the texts.
    char szPath[MAX_PATH] = "";
    std::string path(szPath, GetModuleFileNameA(nullptr, szPath, MAX_PATH));
    const HMODULE hResources =
        LoadLibraryA((path.substr(0, path.rfind('\\') + 1) + "velTrayLib.dll").c_str());
    if (hResources == nullptr)
        return printf("velLeaks: velTrayLib.dll is not beside the program\n"), false;
    g_hLibInstance = hResources;
    g_textTable.Load(GetModuleHandleA(nullptr));
    // System icons stand in for the design component's four pictures.
    const LPCSTR pictures[4] = {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION};
    for (int i = 0; i < 4; ++i) Mgr().m_hSemIcon[i] = LoadIconA(nullptr, pictures[i]);
    Mgr().GetSemIcon()->Show();
    Mgr().GetChipIcon(kReader, 3)->Show();
    bool bPassed = true;
    printf("%-20s %-12s %8s %8s\n", "workload", "book", "round 1", "round 2");
    for (const auto& work : kWorkloads) {
        if (pszOnly != nullptr && lstrcmpA(pszOnly, work.pszName) != 0) continue;
        const DWORD nStart = GetTickCount();
        work.pfnRun(work.nWarmUp);
        long live[3][sizeof kBooks / sizeof kBooks[0]];
        for (int nRound = 0; nRound < 3; ++nRound) {
            if (nRound > 0) work.pfnRun(work.nRound * nRound);
            for (size_t b = 0; b < sizeof kBooks / sizeof kBooks[0]; ++b)
                live[nRound][b] = CLeakCounter::Live(kBooks[b].pool);
        }
        for (size_t b = 0; b < sizeof kBooks / sizeof kBooks[0]; ++b) {
            const long nFirst = live[1][b] - live[0][b], nSecond = live[2][b] - live[1][b];
            const bool bGrew = nSecond - nFirst > kBooks[b].nTolerance;
            bPassed = bPassed && !bGrew;
            if (nFirst != 0 || nSecond != 0)
                printf("%-20s %-12s %8ld %8ld%s\n", work.pszName, kBooks[b].pszName, nFirst,
                       nSecond, bGrew ? "  GROWTH" : "");
        }
        printf("%-20s %d + %d + %d cycles in %lu ms\n", work.pszName, work.nWarmUp, work.nRound,
               2 * work.nRound, static_cast<unsigned long>(GetTickCount() - nStart));
        fflush(stdout);
    }
    if (g_bMenuFailed) printf("velLeaks: a menu or its submenu did not open, or did not close\n");
    Mgr().Stop();
    Pump();
    FreeLibrary(hResources);
    return bPassed && !g_bMenuFailed;
}

}  // namespace

// velLeaks ["workload"]: every workload, or only the one named as the table names it.
int main(int argc, char** argv) {
    bool bPassed = false;
    try {
        bPassed = Run(argc > 1 ? argv[1] : nullptr);
    } catch (...) {
        printf("velLeaks: an exception left the library\n");
    }
    printf(bPassed ? "velLeaks: 1 passed, 0 failed\n" : "velLeaks: 0 passed, 1 failed\n");
    fflush(stdout);
    return bPassed ? 0 : 1;
}
