// Shows that the library loses nothing over long runs of its everyday work: chip state
// changes, context menus opened and closed, the information window shown and hidden,
// and the rotation started and stopped. Each workload runs a warm-up round first, so
// that what the library creates once and keeps (the menu owner, the information window,
// the text table's cache) is not taken for growth; then the measured round runs and
// every book of the leak counter must end where it began.
//
// Tolerance: a handle book may end up to kHandleTolerance objects higher, and the heap
// up to kHeapBlockTolerance blocks and kHeapByteTolerance bytes, for objects the system
// or the C++ runtime creates on a first use that the warm-up did not reach. A real leak
// of one object per cycle shows as 100 to 10,000 objects; the runs measured so far end
// with no growth at all.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

constexpr size_t kHandleTolerance = 1;
constexpr size_t kHeapBlockTolerance = 4;
constexpr size_t kHeapByteTolerance = 512;

// The reader whose chip icon the workloads use, and its command base.
constexpr char kReader[] = "Leak Check Reader 0";
constexpr DWORD kCmdBase = 3;
// How often the menu closer looks for the open menu before it gives up (10 ms apart).
constexpr int kMenuCloserTries = 500;

// The places the leak counter's books are summed into for the table.
struct Area {
    const char* pszName;          // the column's name
    CLeakCounter::Pool pools[4];  // the books summed
    int nPools;                   // how many of pools are used
};
const Area kAreas[] = {
    {"GDI", {CLeakCounter::kGdiObjects, CLeakCounter::kDcs}, 2},
    {"USER",
     {CLeakCounter::kWindows, CLeakCounter::kMenus, CLeakCounter::kHooks, CLeakCounter::kIcons},
     4},
    {"kernel", {CLeakCounter::kHandles, CLeakCounter::kModules}, 2},
    {"heap", {CLeakCounter::kHeap}, 1},
};
constexpr int kAreaCount = sizeof kAreas / sizeof kAreas[0];

// The sum of an area's books.
CLeakCounter::Count SampleArea(const Area& area) {
    CLeakCounter::Count sum = {0, 0, 0, 0};
    for (int i = 0; i < area.nPools; ++i) {
        const CLeakCounter::Count count = CLeakCounter::Sample(area.pools[i]);
        sum.nCreated += count.nCreated;
        sum.nDeleted += count.nDeleted;
        sum.nLive += count.nLive;
        sum.nBytes += count.nBytes;
    }
    return sum;
}

// The system's own count of the process's handles, or 0 when Wine does not answer.
DWORD SystemHandleCount() {
    DWORD nCount = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &nCount) ? nCount : 0;
}

// Handles the window messages already queued.
void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The open popup of the library's menus on this thread, found by EnumThreadWindows.
BOOL CALLBACK FindOpenMenu(HWND hWnd, LPARAM lParam) {
    char name[32] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (lstrcmpA(name, "BitmapMenu") != 0 || !IsWindowVisible(hWnd)) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

int g_nMenuCloserTries = 0;    // ticks of the menu closer in the current cycle
bool g_bMenuNotFound = false;  // a menu's loop ran without its popup being found

// Runs inside the menu's modal loop: presses Escape on the open menu, which closes it.
void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR nTimer, DWORD) {
    HWND hPopup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindOpenMenu, reinterpret_cast<LPARAM>(&hPopup));
    if (hPopup != nullptr) {
        KillTimer(nullptr, nTimer);
        SendMessageA(hPopup, WM_KEYDOWN, VK_ESCAPE, 1);
    } else if (++g_nMenuCloserTries >= kMenuCloserTries) {
        // Never leave the program hanging in a loop it cannot see.
        KillTimer(nullptr, nTimer);
        g_bMenuNotFound = true;
        PostQuitMessage(0);
    }
}

// The visible popups of the library's menus on this thread, topmost (deepest) first.
BOOL CALLBACK CollectOpenMenus(HWND hWnd, LPARAM lParam) {
    char name[32] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (lstrcmpA(name, "BitmapMenu") == 0 && IsWindowVisible(hWnd)) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    }
    return TRUE;
}

int g_nSubMenuStep = 0;         // what the submenu closer does at its next tick
bool g_bSubMenuFailed = false;  // a submenu did not open, or its menus did not close

// Runs inside the menus' modal loops: opens the submenu of item 3 with the Right key, and
// at the next tick closes both menus with Escape.
void CALLBACK DriveSubMenu(HWND, UINT, UINT_PTR nTimer, DWORD) {
    std::vector<HWND> open;
    EnumThreadWindows(GetCurrentThreadId(), &CollectOpenMenus, reinterpret_cast<LPARAM>(&open));
    const size_t nExpected = g_nSubMenuStep == 1 ? 2 : 1;
    if (open.size() != nExpected) {
        // Not there yet: wait; given up: close whatever is open and report it.
        if (++g_nMenuCloserTries < kMenuCloserTries) return;
        KillTimer(nullptr, nTimer);
        g_bSubMenuFailed = true;
        for (HWND hPopup : open) SendMessageA(hPopup, WM_KEYDOWN, VK_ESCAPE, 1);
        return;
    }
    g_nMenuCloserTries = 0;
    // Counted before the key: the Right key runs the submenu's loop, and this closer with it.
    const int nStep = g_nSubMenuStep++;
    if (nStep == 0) {
        HWND hStrip = FindWindowExA(open[0], nullptr, TOOLBARCLASSNAMEA, nullptr);
        SendMessageA(hStrip, TB_SETHOTITEM, 3, 0);
        // The strip learns its hot item when it paints it.
        UpdateWindow(hStrip);
        SendMessageA(open[0], WM_KEYDOWN, VK_RIGHT, 1);
    } else {
        // Keys go to the deepest menu, and Escape there closes the whole chain.
        KillTimer(nullptr, nTimer);
        SendMessageA(open[0], WM_KEYDOWN, VK_ESCAPE, 1);
    }
}

// A 16 x 16 item bitmap.
HBITMAP MakeItemBitmap() {
    HDC hScreen = GetDC(nullptr);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 16, 16);
    ReleaseDC(nullptr, hScreen);
    return hBitmap;
}

CvelTrayLibMgr& Mgr() { return CvelTrayLibMgr::Instance(); }
CChipIcon* Chip() { return Mgr().GetChipIcon(kReader, kCmdBase); }

// The workloads; each runs n cycles.
void ChipStateChanges(int n) {
    CChipIcon* pChip = Chip();
    for (int i = 0; i < n; ++i) {
        switch (i % 6) {
            case 0:
                pChip->SetAbsent(kReader);
                break;
            case 1:
                pChip->SetPresent();
                break;
            case 2:
                pChip->SetIdentify();
                break;
            case 3:
                pChip->SetIdentified("Leak Check Card");
                break;
            case 4:
                pChip->SetUnknown();
                break;
            default:
                pChip->SetActive();
                break;
        }
        if (i % 64 == 0) Pump();
    }
    Pump();
}

void MenuCycles(int n) {
    CChipIcon* pChip = Chip();
    for (int i = 0; i < n; ++i) {
        g_nMenuCloserTries = 0;
        const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &CloseOpenMenu);
        CIconMenu::Open(CIconMenu::Kind::kChip, pChip->GetMenuEntries(), pChip->GetCmdBase());
        KillTimer(nullptr, nTimer);
        Pump();
    }
}

// A bitmap menu with what the icon menus do not use: checked and greyed items, an item
// bitmap and a submenu, which is opened and closed in every cycle.
void SubMenuCycles(int n) {
    static HWND s_hOwner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                           nullptr, nullptr, nullptr);
    for (int i = 0; i < n; ++i) {
        HBITMAP hBitmap = MakeItemBitmap();
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
            g_nMenuCloserTries = 0;
            g_nSubMenuStep = 0;
            const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &DriveSubMenu);
            menu.Track(0, 200, 200, CWnd::FromHandle(s_hOwner), nullptr);
            KillTimer(nullptr, nTimer);
            if (g_nSubMenuStep != 2) g_bSubMenuFailed = true;
            menu.DestroyMenu();
        }
        DeleteObject(hBitmap);
        Pump();
    }
}

void InfoWindowCycles(int n) {
    CSEMIcon* pSem = Mgr().GetSemIcon();
    CLeakCounter::SetFastClock(true);
    for (int i = 0; i < n; ++i) {
        pSem->ShowText(i % 2 == 0 ? "Leak check: the card was read" : "Leak check");
        // Mostly at once; every tenth cycle slides out, so both ways of hiding run.
        pSem->HideInformation(i % 10 == 9 ? 0 : 1);
        Pump();
    }
    CLeakCounter::SetFastClock(false);
}

void RotationCycles(int n) {
    CSEMIcon* pSem = Mgr().GetSemIcon();
    CLeakCounter::SetFastClock(true);
    for (int i = 0; i < n; ++i) {
        pSem->StartRotation();
        // A few frames go by before the stop.
        CLeakCounter::RealSleep(5);
        pSem->StopRotation();
        Pump();
    }
    CLeakCounter::SetFastClock(false);
}

struct Workload {
    const char* pszName;  // as the table shows it
    void (*pfnRun)(int);  // the workload
    int nWarmUp;          // cycles of the warm-up round
    int nMeasured;        // cycles of the measured round
};
const Workload kWorkloads[] = {
    {"chip state changes", &ChipStateChanges, 60, 10000},
    {"menu cycles", &MenuCycles, 10, 1000},
    {"submenu cycles", &SubMenuCycles, 5, 200},
    {"info window cycles", &InfoWindowCycles, 20, 1000},
    {"rotation cycles", &RotationCycles, 5, 100},
};

std::string ProgramFolder() {
    char name[MAX_PATH];
    const std::string path(name, GetModuleFileNameA(nullptr, name, MAX_PATH));
    return path.substr(0, path.rfind('\\') + 1);
}

// Runs every workload (or the one named) and prints the table; true when nothing grew.
bool MeasureAll(const char* pszOnly) {
    bool bPassed = true;
    printf("%-20s %-7s %10s %10s %8s %10s\n", "workload", "area", "created", "deleted", "growth",
           "bytes");
    for (const Workload& work : kWorkloads) {
        if (pszOnly != nullptr && lstrcmpA(pszOnly, work.pszName) != 0) continue;
        work.pfnRun(work.nWarmUp);
        CLeakCounter::Count before[kAreaCount];
        for (int a = 0; a < kAreaCount; ++a) before[a] = SampleArea(kAreas[a]);
        const DWORD nSystemBefore = SystemHandleCount();
        const DWORD nStart = GetTickCount();
        work.pfnRun(work.nMeasured);
        const DWORD nElapsed = GetTickCount() - nStart;
        const DWORD nSystemAfter = SystemHandleCount();
        for (int a = 0; a < kAreaCount; ++a) {
            const CLeakCounter::Count after = SampleArea(kAreas[a]);
            const long nGrowth =
                static_cast<long>(after.nLive) - static_cast<long>(before[a].nLive);
            const long nBytes =
                static_cast<long>(after.nBytes) - static_cast<long>(before[a].nBytes);
            const bool bHeap = kAreas[a].pools[0] == CLeakCounter::kHeap;
            const bool bGrew = bHeap ? nGrowth > static_cast<long>(kHeapBlockTolerance) ||
                                           nBytes > static_cast<long>(kHeapByteTolerance)
                                     : nGrowth > static_cast<long>(kHandleTolerance);
            printf("%-20s %-7s %10u %10u %8ld %10s%s\n", work.pszName, kAreas[a].pszName,
                   static_cast<unsigned>(after.nCreated - before[a].nCreated),
                   static_cast<unsigned>(after.nDeleted - before[a].nDeleted), nGrowth,
                   bHeap ? std::to_string(nBytes).c_str() : "-", bGrew ? "  GROWTH" : "");
            bPassed = bPassed && !bGrew;
        }
        if (nSystemBefore != 0) {
            const long nGrowth = static_cast<long>(nSystemAfter) - static_cast<long>(nSystemBefore);
            const bool bGrew = nGrowth > static_cast<long>(kHandleTolerance);
            printf("%-20s %-7s %10s %10s %8ld %10s%s\n", work.pszName, "system", "-", "-", nGrowth,
                   "-", bGrew ? "  GROWTH" : "");
            bPassed = bPassed && !bGrew;
        }
        printf("%-20s %d cycles in %lu ms\n", work.pszName, work.nMeasured,
               static_cast<unsigned long>(nElapsed));
        fflush(stdout);
    }
    if (g_bMenuNotFound) {
        printf("velLeaks: a menu's loop ran without its popup being found\n");
        bPassed = false;
    }
    if (g_bSubMenuFailed) {
        printf("velLeaks: a submenu did not open, or its menus did not close\n");
        bPassed = false;
    }
    if (CLeakCounter::Overflowed()) {
        printf("velLeaks: a book of the leak counter ran out of room\n");
        bPassed = false;
    }
    return bPassed;
}

// Sets up the library as a host would find it, measures, and takes it down again.
bool Run(const char* pszOnly) {
    CLeakCounter counter;
    for (const std::string& name : counter.Missing())
        printf("not counted, the program never calls it: %s\n", name.c_str());
    // The built library supplies the icons, the dialog template and the pictures; the
    // language libraries beside the program supply the texts.
    const HMODULE hResources = LoadLibraryA((ProgramFolder() + "velTrayLib.dll").c_str());
    if (hResources == nullptr) {
        printf("velLeaks: velTrayLib.dll is not beside the program\n");
        return false;
    }
    g_hLibInstance = hResources;
    g_textTable.Load(GetModuleHandleA(nullptr));
    // System icons stand in for the design component's four pictures.
    const LPCSTR pictures[4] = {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION};
    for (int i = 0; i < 4; ++i) Mgr().m_hSemIcon[i] = LoadIconA(nullptr, pictures[i]);
    Mgr().GetSemIcon()->Show();
    Chip()->Show();

    const bool bPassed = MeasureAll(pszOnly);
    Mgr().Stop();
    Pump();
    FreeLibrary(hResources);
    return bPassed;
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
