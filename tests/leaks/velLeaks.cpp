// Shows that the library loses nothing in its everyday work: chip state changes, context menus
// opened and closed, a bitmap menu with a submenu, the information window shown and hidden, and
// the rotation started and stopped. The library's code is linked into this program, so its calls
// to the system go through the program's import table, which is bent to keep books of what it
// creates and frees (Wine's GetGuiResources answers 0). Each workload runs a warm-up round, so that
// what the library creates once and keeps is left behind, then two measured rounds, the second
// twice as long as the first: what a workload loses per cycle makes the second round grow by more
// than the first, what the system creates on some first use shows in one round only.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#include <oleauto.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ImportPatch.h"
#include "bmpmenu/BmpMenu.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "framework/Wnd.h"
#include "text/TextTable.h"
#include "tray/ChipIcon.h"
#include "tray/IconMenu.h"
#include "tray/SEMIcon.h"

namespace {

// The books kept; the heap's bytes are summed from the heap blocks' book.
enum Pool { kGdi, kDc, kWnd, kMenu, kHook, kIcon, kKernel, kModule, kHeap, kHeapBytes };

// A book: each live object with its amount (references of a handle, bytes of a heap block).
std::unordered_map<uintptr_t, size_t> g_books[kHeapBytes];
// Serialises the books: the rotation thread creates and frees too. The lock is re-entered by the
// books' own allocations, which g_bBooking leaves out.
CRITICAL_SECTION g_booksLock;
bool g_bBooking = false;
volatile LONG g_nFastClock = 0;

// Books an object created. Device contexts from GetDC are cached and handed out again, and
// module references are counted; any other key alive again was freed unseen and starts anew.
void Created(Pool pool, uintptr_t nKey, size_t nAmount = 1) {
    if (nKey == 0 || nKey == reinterpret_cast<uintptr_t>(INVALID_HANDLE_VALUE)) return;
    EnterCriticalSection(&g_booksLock);
    if (!g_bBooking) {
        g_bBooking = true;
        size_t& nLive = g_books[pool][nKey];
        nLive = (pool == kDc || pool == kModule ? nLive : 0) + nAmount;
        g_bBooking = false;
    }
    LeaveCriticalSection(&g_booksLock);
}

// Books an object freed: a heap block at once, a handle one reference at a time.
void Deleted(Pool pool, uintptr_t nKey) {
    EnterCriticalSection(&g_booksLock);
    const auto found = g_books[pool].find(nKey);
    if (!g_bBooking && found != g_books[pool].end() && (pool == kHeap || --found->second == 0)) {
        g_bBooking = true;
        g_books[pool].erase(found);
        g_bBooking = false;
    }
    LeaveCriticalSection(&g_booksLock);
}

// What is alive in a book, after forgetting objects that died with others (child windows with
// their parent, submenus with their menu).
long Live(Pool pool) {
    EnterCriticalSection(&g_booksLock);
    g_bBooking = true;
    auto& book = g_books[pool == kHeapBytes ? kHeap : pool];
    for (auto entry = book.begin(); entry != book.end();) {
        const auto nKey = entry->first;
        const bool bDied = (pool == kGdi && GetObjectType(reinterpret_cast<HGDIOBJ>(nKey)) == 0) ||
                           (pool == kWnd && !IsWindow(reinterpret_cast<HWND>(nKey))) ||
                           (pool == kMenu && !IsMenu(reinterpret_cast<HMENU>(nKey)));
        entry = bDied ? book.erase(entry) : std::next(entry);
    }
    long nLive = pool == kHeapBytes ? 0 : static_cast<long>(book.size());
    for (const auto& entry : book)
        nLive += pool == kHeapBytes ? static_cast<long>(entry.second) : 0;
    g_bBooking = false;
    LeaveCriticalSection(&g_booksLock);
    return nLive;
}

// One bent import: where it is, what replaces it and which book it keeps.
struct Bend {
    const char* pszDll;       // the DLL the program imports it from
    const char* pszFunction;  // its name
    void* pReplacement;       // the counting replacement
    Pool pool;                // the book it writes to
};
extern const Bend g_bends[];
// The original function behind each bent import, by its place in the table.
void* g_originals[64];
template <typename F>
F Original(int nId) {
    return reinterpret_cast<F>(g_originals[nId]);
}

// Calls the original and books what it created.
template <int Id, typename R, typename... A>
R WINAPI Creating(A... args) {
    const R r = Original<R(WINAPI*)(A...)>(Id)(args...);
    Created(g_bends[Id].pool, (uintptr_t)(r));
    return r;
}
template <int Id, typename R, typename... A>
void* CreatorFor(R(WINAPI*)(A...)) {
    return reinterpret_cast<void*>(&Creating<Id, R, A...>);
}
// Calls the original and books the object it freed: the first argument, or the second.
template <int Id, int Arg, typename R, typename... A>
R WINAPI Deleting(A... args) {
    const uintptr_t keys[] = {(uintptr_t)(args)...};
    const R r = Original<R(WINAPI*)(A...)>(Id)(args...);
    if (r) Deleted(g_bends[Id].pool, keys[Arg]);
    return r;
}
template <int Id, int Arg = 0, typename R, typename... A>
void* DeleterFor(R(WINAPI*)(A...)) {
    return reinterpret_cast<void*>(&Deleting<Id, Arg, R, A...>);
}

// The hand-written replacements, at the places their Original calls name (0 to 8).
BOOL WINAPI CountingEndPaint(HWND hWnd, const PAINTSTRUCT* pPaint) {
    if (pPaint != nullptr) Deleted(kDc, reinterpret_cast<uintptr_t>(pPaint->hdc));
    return Original<decltype(&EndPaint)>(0)(hWnd, pPaint);
}
BOOL WINAPI CountingDuplicateHandle(HANDLE hFrom, HANDLE hSource, HANDLE hTo, HANDLE* phTarget,
                                    DWORD nAccess, BOOL bInherit, DWORD nOptions) {
    const BOOL bDone = Original<decltype(&DuplicateHandle)>(1)(hFrom, hSource, hTo, phTarget,
                                                               nAccess, bInherit, nOptions);
    if (bDone && (nOptions & DUPLICATE_CLOSE_SOURCE) != 0 && hFrom == GetCurrentProcess())
        Deleted(kKernel, reinterpret_cast<uintptr_t>(hSource));
    if (bDone && hTo == GetCurrentProcess() && phTarget != nullptr)
        Created(kKernel, reinterpret_cast<uintptr_t>(*phTarget));
    return bDone;
}
uintptr_t __cdecl CountingBeginThreadEx(void* pSecurity, unsigned nStack,
                                        unsigned(__stdcall* pfnEntry)(void*), void* pArg,
                                        unsigned nFlags, unsigned* pnThreadId) {
    const uintptr_t hThread = Original<decltype(&CountingBeginThreadEx)>(2)(
        pSecurity, nStack, pfnEntry, pArg, nFlags, pnThreadId);
    Created(kKernel, hThread);
    return hThread;
}
void* __cdecl Countingmalloc(size_t nBytes) {
    void* p = Original<void*(__cdecl*)(size_t)>(3)(nBytes);
    Created(kHeap, reinterpret_cast<uintptr_t>(p), nBytes);
    return p;
}
void* __cdecl Countingrealloc(void* pOld, size_t nBytes) {
    void* p = Original<void*(__cdecl*)(void*, size_t)>(4)(pOld, nBytes);
    // A failed growth leaves the old block alive; a size of 0 frees it.
    if (p == nullptr && nBytes != 0) return p;
    Deleted(kHeap, reinterpret_cast<uintptr_t>(pOld));
    Created(kHeap, reinterpret_cast<uintptr_t>(p), nBytes);
    return p;
}
void __cdecl Countingfree(void* p) {
    Deleted(kHeap, reinterpret_cast<uintptr_t>(p));
    Original<void(__cdecl*)(void*)>(5)(p);
}
BSTR WINAPI CountingSysAllocStringLen(const OLECHAR* psz, UINT nLength) {
    const BSTR b = Original<decltype(&SysAllocStringLen)>(6)(psz, nLength);
    Created(kHeap, reinterpret_cast<uintptr_t>(b), (nLength + 1) * sizeof(OLECHAR));
    return b;
}
void WINAPI CountingSysFreeString(BSTR b) {
    Deleted(kHeap, reinterpret_cast<uintptr_t>(b));
    Original<decltype(&SysFreeString)>(7)(b);
}
// While the fast clock is on, the library's pauses (the slide of the information window, the
// frames of the rotation) are cut to a yield, so that many cycles fit into seconds.
void WINAPI CountingSleep(DWORD nMs) {
    Original<decltype(&Sleep)>(8)(g_nFastClock != 0 && nMs != INFINITE ? 0 : nMs);
}

#define VEL_HAND(dll, fn, pool) \
    { #dll ".dll", #fn, reinterpret_cast < void*>(&Counting##fn), pool }
#define VEL_NEW(id, dll, fn, pool) \
    { #dll ".dll", #fn, CreatorFor < id>(&fn), pool }
#define VEL_DEL(id, dll, fn, pool, ...) \
    { #dll ".dll", #fn, DeleterFor < id, ##__VA_ARGS__>(&fn), pool }
// clang-format off
const Bend g_bends[] = {
    VEL_HAND(user32, EndPaint, kDc), VEL_HAND(kernel32, DuplicateHandle, kKernel),
    {"msvcrt.dll", "_beginthreadex", reinterpret_cast<void*>(&CountingBeginThreadEx), kKernel},
    VEL_HAND(msvcrt, malloc, kHeap), VEL_HAND(msvcrt, realloc, kHeap),
    VEL_HAND(msvcrt, free, kHeap), VEL_HAND(oleaut32, SysAllocStringLen, kHeap),
    VEL_HAND(oleaut32, SysFreeString, kHeap), VEL_HAND(kernel32, Sleep, kHeap),
    VEL_NEW(9, gdi32, CreateBitmap, kGdi), VEL_NEW(10, gdi32, CreateCompatibleBitmap, kGdi),
    VEL_NEW(11, gdi32, CreateFontA, kGdi), VEL_NEW(12, gdi32, CreateFontIndirectA, kGdi),
    VEL_NEW(13, gdi32, CreatePatternBrush, kGdi), VEL_NEW(14, gdi32, CreatePen, kGdi),
    VEL_NEW(15, gdi32, CreateSolidBrush, kGdi), VEL_NEW(16, user32, LoadBitmapA, kGdi),
    VEL_DEL(17, gdi32, DeleteObject, kGdi), VEL_NEW(18, gdi32, CreateCompatibleDC, kDc),
    VEL_DEL(19, gdi32, DeleteDC, kDc), VEL_NEW(20, user32, GetDC, kDc),
    VEL_NEW(21, user32, GetWindowDC, kDc), VEL_NEW(22, user32, BeginPaint, kDc),
    VEL_DEL(23, user32, ReleaseDC, kDc, 1), VEL_NEW(24, user32, CreateWindowExA, kWnd),
    VEL_NEW(25, user32, CreateDialogIndirectParamA, kWnd), VEL_DEL(26, user32, DestroyWindow, kWnd),
    VEL_NEW(27, user32, CreatePopupMenu, kMenu), VEL_DEL(28, user32, DestroyMenu, kMenu),
    VEL_NEW(29, user32, SetWindowsHookExA, kHook), VEL_DEL(30, user32, UnhookWindowsHookEx, kHook),
    VEL_NEW(31, user32, CreateIconIndirect, kIcon), VEL_NEW(32, user32, CopyImage, kIcon),
    VEL_DEL(33, user32, DestroyIcon, kIcon), VEL_NEW(34, kernel32, CreateEventA, kKernel),
    VEL_NEW(35, kernel32, OpenEventA, kKernel), VEL_NEW(36, kernel32, OpenProcess, kKernel),
    VEL_NEW(37, kernel32, FindFirstFileA, kKernel), VEL_DEL(38, kernel32, FindClose, kKernel),
    VEL_DEL(39, kernel32, CloseHandle, kKernel), VEL_NEW(40, kernel32, LoadLibraryA, kModule),
    VEL_NEW(41, kernel32, LoadLibraryExA, kModule), VEL_DEL(42, kernel32, FreeLibrary, kModule)};
// clang-format on
constexpr size_t kBendCount = sizeof g_bends / sizeof g_bends[0];
static_assert(kBendCount <= sizeof g_originals / sizeof(void*), "a place for every original");

// Bends the program's imports for the object's life.
struct Counter {
    Counter() {
        InitializeCriticalSection(&g_booksLock);
        for (size_t i = 0; i < kBendCount; ++i) {
            const Bend& bend = g_bends[i];
            // The original is known before the slot is bent, so no call finds it missing.
            g_originals[i] = reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA(bend.pszDll), bend.pszFunction));
            patches.emplace_back(
                new CImportPatch(nullptr, bend.pszDll, bend.pszFunction, bend.pReplacement));
            if (!patches.back()->IsActive())
                printf("not counted, the program never calls it: %s\n", bend.pszFunction);
        }
    }
    std::vector<std::unique_ptr<CImportPatch>> patches;  // the bent imports
};

CvelTrayLibMgr& Mgr() { return CvelTrayLibMgr::Instance(); }
constexpr char kReader[] = "Leak Check Reader 0";

// The shell, answered here: what the shell keeps of an icon is not the library's.
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

int g_nSubMenuItem = -1;      // the item whose submenu the driver opens first; -1: none
int g_nTicks = 0;             // ticks of the driver in the current menu
bool g_bMenuFailed = false;   // a menu or its submenu did not open
bool g_bSubMenuOpen = false;  // the driver opened the submenu

// Runs inside the menus' modal loops (10 ms apart): opens the submenu with the Right key when
// asked to, then closes with Escape in the deepest menu. A loop whose menu never shows ends.
void CALLBACK DriveMenus(HWND, UINT, UINT_PTR nTimer, DWORD) {
    std::vector<HWND> open;
    EnumThreadWindows(GetCurrentThreadId(), &CollectOpenMenus, reinterpret_cast<LPARAM>(&open));
    if (open.empty() && ++g_nTicks < 500) return;
    if (!open.empty() && g_nSubMenuItem >= 0 && !g_bSubMenuOpen) {
        g_bSubMenuOpen = true;
        const HWND hStrip = FindWindowExA(open[0], nullptr, TOOLBARCLASSNAMEA, nullptr);
        SendMessageA(hStrip, TB_SETHOTITEM, g_nSubMenuItem, 0);
        UpdateWindow(hStrip);  // the strip learns its hot item when it paints it
        SendMessageA(open[0], WM_KEYDOWN, VK_RIGHT, 1);  // runs the submenu's loop, and this in it
        return;
    }
    KillTimer(nullptr, nTimer);
    g_bMenuFailed = g_bMenuFailed || open.size() != (g_nSubMenuItem >= 0 ? 2u : 1u);
    if (open.empty()) PostQuitMessage(0);
    if (!open.empty()) SendMessageA(open[0], WM_KEYDOWN, VK_ESCAPE, 1);
}

// Tracks a menu with the driver closing it.
template <typename Track>
void WithMenuDriver(int nSubMenuItem, Track track) {
    g_nSubMenuItem = nSubMenuItem;
    g_nTicks = 0;
    g_bSubMenuOpen = false;
    const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &DriveMenus);
    track();
    KillTimer(nullptr, nTimer);
    g_bMenuFailed = g_bMenuFailed || (nSubMenuItem >= 0 && !g_bSubMenuOpen);
    Pump();
}

// The workloads; each runs n cycles.
void ChipStateChanges(int n) {
    CChipIcon* pChip = Mgr().GetChipIcon(kReader, 3);
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
        }
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
    static HWND s_hOwner =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < n; ++i) {
        HDC hScreen = GetDC(nullptr);
        HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 16, 16);
        ReleaseDC(nullptr, hScreen);
        HMENU hSub = CreatePopupMenu(), hMenu = CreatePopupMenu();
        AppendMenuA(hSub, MF_STRING | MF_CHECKED, 201, "Sub &one");
        AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 101, "&Checked");
        AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 102, "&Disabled");
        AppendMenuA(hMenu, MF_STRING, 103, "&Bitmap");
        SetMenuItemBitmaps(hMenu, 2, MF_BYPOSITION, hBitmap, hBitmap);
        AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More");
        CBmpMenu menu(24, 0, nullptr, 0);
        menu.Attach(hMenu);
        WithMenuDriver(3, [&] { menu.Track(0, 200, 200, CWnd::FromHandle(s_hOwner), nullptr); });
        menu.DestroyMenu();
        DeleteObject(hBitmap);
    }
}

// Shows and hides the information window, sliding and at once by turns.
void InfoWindowCycles(int n) {
    for (int i = 0; i < n; ++i) {
        Mgr().GetSemIcon()->ShowText(i % 2 == 0 ? "Leak check: the card was read" : "Leak check");
        Mgr().GetSemIcon()->HideInformation(i % 2 == 0 ? HideMode::kSlide : HideMode::kAtOnce);
        Pump();
    }
}

void RotationCycles(int n) {
    for (int i = 0; i < n; ++i) {
        Mgr().GetSemIcon()->StartRotation();
        Original<decltype(&Sleep)>(8)(5);  // a few frames go by before the stop
        Mgr().GetSemIcon()->StopRotation();
        Pump();
    }
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

// The books as the table shows them, in the order of Pool.
const char* const kBookNames[] = {"GDI objects", "DCs",     "windows", "menus",       "hooks",
                                  "icons",       "handles", "modules", "heap blocks", "heap bytes"};

// Sets up the library as a host would find it, runs every workload and prints the growth of
// each book in both rounds; true when nothing grows per cycle.
bool Run() {
    Counter counter;
    CImportPatch shell(nullptr, "shell32.dll", "Shell_NotifyIconA",
                       reinterpret_cast<void*>(&AcceptIcon));
    // The built library supplies the icons, the dialog template and the pictures; the language
    // libraries beside the program supply the texts.
    char szPath[MAX_PATH] = "";
    std::string path(szPath, GetModuleFileNameA(nullptr, szPath, MAX_PATH));
    g_hLibInstance =
        LoadLibraryA((path.substr(0, path.rfind('\\') + 1) + "velTrayLib.dll").c_str());
    if (g_hLibInstance == nullptr) return printf("velLeaks: no velTrayLib.dll beside me\n"), false;
    g_textTable.Load(GetModuleHandleA(nullptr));
    // System icons stand in for the design component's four pictures.
    const LPCSTR pictures[4] = {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION};
    for (int i = 0; i < 4; ++i) Mgr().m_hSemIcon[i] = LoadIconA(nullptr, pictures[i]);
    Mgr().GetSemIcon()->Show();
    Mgr().GetChipIcon(kReader, 3)->Show();
    InterlockedExchange(&g_nFastClock, 1);
    bool bPassed = true;
    for (const auto& work : kWorkloads) {
        work.pfnRun(work.nWarmUp);
        long live[3][kHeapBytes + 1];
        for (int nRound = 0; nRound < 3; ++nRound) {
            if (nRound > 0) work.pfnRun(work.nRound * nRound);
            for (int b = 0; b <= kHeapBytes; ++b) live[nRound][b] = Live(static_cast<Pool>(b));
        }
        for (int b = 0; b <= kHeapBytes; ++b) {
            const long nFirst = live[1][b] - live[0][b], nSecond = live[2][b] - live[1][b];
            // The runtime's heap may keep a block or a few bytes more on some round.
            const bool bGrew = nSecond - nFirst > (b == kHeap ? 2 : b == kHeapBytes ? 128 : 0);
            bPassed = bPassed && !bGrew;
            if (nFirst != 0 || nSecond != 0)
                printf("%-20s %-12s %8ld %8ld%s\n", work.pszName, kBookNames[b], nFirst, nSecond,
                       bGrew ? "  GROWTH" : "");
        }
        fflush(stdout);
    }
    if (g_bMenuFailed) printf("velLeaks: a menu or its submenu did not open\n");
    Mgr().Stop();
    Pump();
    FreeLibrary(g_hLibInstance);
    return bPassed && !g_bMenuFailed;
}

}  // namespace

int main() {
    bool bPassed = false;
    try {
        bPassed = Run();
    } catch (...) {
        printf("velLeaks: an exception left the library\n");
    }
    printf(bPassed ? "velLeaks: 1 passed, 0 failed\n" : "velLeaks: 0 passed, 1 failed\n");
    return bPassed ? 0 : 1;
}
