// Shows that the library loses nothing in its everyday work: chip state changes, context menus
// opened and closed, the information window shown and hidden, and
// the rotation started and stopped. The library's code is linked into this program, so its calls
// to the system go through the program's import table, which is bent to keep books of what it
// creates and frees (Wine's GetGuiResources answers 0). Each workload runs a warm-up round, so that
// what the library creates once and keeps is left behind, then two measured rounds, the second
// twice as long as the first: what a workload loses per cycle makes the second round grow by more
// than the first, what the system creates on some first use shows in one round only.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

#include "ImportPatch.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "text/TextTable.h"
#include "tray/ChipIcon.h"
#include "tray/IconMenu.h"
#include "tray/SEMIcon.h"

namespace {

// The books kept: each live object with its references (a module is loaded again and again).
enum Pool { kGdi, kWnd, kMenu, kHook, kKernel, kModule, kHeap, kPools };
std::unordered_map<uintptr_t, int> g_books[kPools];
// Serialises the books (the rotation thread creates and frees too); g_bBooking leaves the books'
// own allocations out.
CRITICAL_SECTION g_booksLock;
bool g_bBooking = false;

// Books an object created (bCreated) or freed; any other key alive again was freed unseen.
void Book(Pool pool, uintptr_t nKey, bool bCreated) {
    if (nKey == 0 || nKey == reinterpret_cast<uintptr_t>(INVALID_HANDLE_VALUE)) return;
    EnterCriticalSection(&g_booksLock);
    if (!g_bBooking) {
        g_bBooking = true;
        auto& book = g_books[pool];
        const auto found = book.find(nKey);
        if (bCreated) book[nKey] = pool == kModule ? book[nKey] + 1 : 1;
        if (!bCreated && found != book.end() && --found->second == 0) book.erase(found);
        g_bBooking = false;
    }
    LeaveCriticalSection(&g_booksLock);
}

// What is alive in a book, forgetting objects that died with others (children, submenus).
long Live(Pool pool) {
    EnterCriticalSection(&g_booksLock);
    g_bBooking = true;
    auto& book = g_books[pool];
    for (auto entry = book.begin(); entry != book.end();) {
        const auto nKey = entry->first;
        const bool bDied = (pool == kGdi && GetObjectType(reinterpret_cast<HGDIOBJ>(nKey)) == 0) ||
                           (pool == kWnd && !IsWindow(reinterpret_cast<HWND>(nKey))) ||
                           (pool == kMenu && !IsMenu(reinterpret_cast<HMENU>(nKey)));
        entry = bDied ? book.erase(entry) : std::next(entry);
    }
    const long nLive = static_cast<long>(book.size());
    g_bBooking = false;
    LeaveCriticalSection(&g_booksLock);
    return nLive;
}

// One bent import: the DLL it comes from, its name, the counting replacement and its book.
struct Bend {
    const char* pszDll;   // the DLL the program imports it from
    const char* pszName;  // the function's name
    void* pReplacement;   // the counting replacement
    Pool pool;            // the book it writes to
};
extern const Bend g_bends[];
// The original function behind each bent import, by its place in the table.
void* g_originals[64];

// Calls the original and books what it created (its result), or what it freed (its first
// argument) when it succeeded: for the functions of either calling convention.
#define VEL_COUNTING(convention, name)                                                            \
    template <int Id, bool bCreates, typename R, typename... A>                                   \
    R convention name(A... args) {                                                                \
        const uintptr_t keys[] = {(uintptr_t)(args)..., 0};                                       \
        const R r = reinterpret_cast<R(convention*)(A...)>(g_originals[Id])(args...);             \
        if (bCreates || r) Book(g_bends[Id].pool, bCreates ? (uintptr_t)(r) : keys[0], bCreates); \
        return r;                                                                                 \
    }                                                                                             \
    template <int Id, bool bCreates, typename R, typename... A>                                   \
    void* CountingFor(R(convention*)(A...)) {                                                     \
        return reinterpret_cast<void*>(&name<Id, bCreates, R, A...>);                             \
    }
VEL_COUNTING(WINAPI, CountingStdcall)
VEL_COUNTING(__cdecl, CountingCdecl)

// The hand-written replacements, at the places their originals are taken from (0, 3, 4).
BOOL WINAPI CountingDuplicateHandle(HANDLE hFrom, HANDLE hSource, HANDLE hTo, HANDLE* phTarget,
                                    DWORD nAccess, BOOL bInherit, DWORD nOptions) {
    const BOOL bDone = reinterpret_cast<decltype(&DuplicateHandle)>(g_originals[0])(
        hFrom, hSource, hTo, phTarget, nAccess, bInherit, nOptions);
    if (bDone && hTo == GetCurrentProcess() && phTarget != nullptr)
        Book(kKernel, reinterpret_cast<uintptr_t>(*phTarget), true);
    return bDone;
}
void* __cdecl Countingrealloc(void* pOld, size_t nBytes) {
    void* p = reinterpret_cast<void*(__cdecl*)(void*, size_t)>(g_originals[3])(pOld, nBytes);
    // A failed growth leaves the old block alive; a size of 0 frees it.
    if (p == nullptr && nBytes != 0) return p;
    Book(kHeap, reinterpret_cast<uintptr_t>(pOld), false);
    Book(kHeap, reinterpret_cast<uintptr_t>(p), true);
    return p;
}
void __cdecl Countingfree(void* p) {
    Book(kHeap, reinterpret_cast<uintptr_t>(p), false);
    reinterpret_cast<void(__cdecl*)(void*)>(g_originals[4])(p);
}
// The library's pauses (the information window's slide, the rotation's frames) are cut to a
// yield, so that many cycles fit into seconds. SleepEx, not bent, is the real pause.
void WINAPI CountingSleep(DWORD nMs) { SleepEx(nMs != INFINITE ? 0 : nMs, FALSE); }

// clang-format off
// The bent imports: hand-written replacements, and the counting template's creations and frees.
#define VEL_HAND(dll, fn, pool) {#dll ".dll", #fn, reinterpret_cast<void*>(&Counting##fn), pool}
#define VEL_NEW(id, dll, fn, pool) {#dll ".dll", #fn, CountingFor<id, true>(&fn), pool}
#define VEL_DEL(id, dll, fn, pool) {#dll ".dll", #fn, CountingFor<id, false>(&fn), pool}
const Bend g_bends[] = {
    VEL_HAND(kernel32, DuplicateHandle, kKernel), VEL_NEW(1, msvcrt, _beginthreadex, kKernel),
    VEL_NEW(2, msvcrt, malloc, kHeap), VEL_HAND(msvcrt, realloc, kHeap),
    VEL_HAND(msvcrt, free, kHeap), VEL_HAND(kernel32, Sleep, kHeap),
    VEL_NEW(6, gdi32, CreateBitmap, kGdi), VEL_NEW(7, gdi32, CreateCompatibleBitmap, kGdi),
    VEL_NEW(8, gdi32, CreateFontA, kGdi), VEL_NEW(9, gdi32, CreateFontIndirectA, kGdi),
    VEL_NEW(10, gdi32, CreatePatternBrush, kGdi), VEL_NEW(11, gdi32, CreatePen, kGdi),
    VEL_NEW(12, gdi32, CreateSolidBrush, kGdi), VEL_NEW(13, user32, LoadBitmapA, kGdi),
    VEL_DEL(14, gdi32, DeleteObject, kGdi), VEL_NEW(15, gdi32, CreateCompatibleDC, kGdi),
    VEL_DEL(16, gdi32, DeleteDC, kGdi), VEL_NEW(17, user32, CreateWindowExA, kWnd),
    VEL_NEW(18, user32, CreateDialogIndirectParamA, kWnd), VEL_DEL(19, user32, DestroyWindow, kWnd),
    VEL_NEW(20, user32, CreatePopupMenu, kMenu), VEL_DEL(21, user32, DestroyMenu, kMenu),
    VEL_NEW(22, user32, SetWindowsHookExA, kHook), VEL_DEL(23, user32, UnhookWindowsHookEx, kHook),
    VEL_NEW(24, kernel32, CreateEventA, kKernel), VEL_NEW(25, kernel32, OpenEventA, kKernel),
    VEL_NEW(26, kernel32, OpenProcess, kKernel), VEL_NEW(27, kernel32, FindFirstFileA, kKernel),
    VEL_DEL(28, kernel32, FindClose, kKernel), VEL_DEL(29, kernel32, CloseHandle, kKernel),
    VEL_NEW(30, kernel32, LoadLibraryA, kModule), VEL_NEW(31, kernel32, LoadLibraryExA, kModule),
    VEL_DEL(32, kernel32, FreeLibrary, kModule)};
// clang-format on

CvelTrayLibMgr& Mgr() { return CvelTrayLibMgr::Instance(); }
constexpr char kReader[] = "Leak Check Reader 0";

// The shell, answered here: what the shell keeps of an icon is not the library's.
BOOL WINAPI AcceptIcon(DWORD, PNOTIFYICONDATAA) { return TRUE; }

// Handles the window messages already queued.
void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

int g_nTicks = 0;            // ticks of the driver in the current menu
bool g_bMenuFailed = false;  // a menu did not open

// Runs in the menu's modal loop (10 ms apart): closes the open menu with Escape; a loop whose
// menu never shows ends.
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR nTimer, DWORD) {
    const HWND hMenu = FindWindowA("BitmapMenu", nullptr);
    const bool bOpen = IsWindowVisible(hMenu);
    if (!bOpen && ++g_nTicks < 500) return;
    KillTimer(nullptr, nTimer);
    g_bMenuFailed = g_bMenuFailed || !bOpen;
    if (!bOpen) PostQuitMessage(0);
    if (bOpen) SendMessageA(hMenu, WM_KEYDOWN, VK_ESCAPE, 1);
}

// The workloads, one cycle each; i counts the cycles of a round.
void ChipStateChange(int i) {
    CChipIcon* pChip = Mgr().GetChipIcon(kReader, 3);
    if (i % 6 == 0) pChip->SetAbsent(kReader);
    if (i % 6 == 1) pChip->SetPresent();
    if (i % 6 == 2) pChip->SetIdentify();
    if (i % 6 == 3) pChip->SetIdentified("Leak Check Card");
    if (i % 6 == 4) pChip->SetUnknown();
    if (i % 6 == 5) pChip->SetActive();
}

void MenuCycle(int) {
    CChipIcon* pChip = Mgr().GetChipIcon(kReader, 3);
    g_nTicks = 0;
    const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &CloseMenu);
    CIconMenu::Open(CIconMenu::Kind::kChip, pChip->GetMenuEntries(), pChip->GetCmdBase());
    KillTimer(nullptr, nTimer);
}

// Shows and hides the information window, sliding and at once by turns.
void InfoWindowCycle(int i) {
    Mgr().GetSemIcon()->ShowText(i % 2 == 0 ? "Leak check: the card was read" : "Leak check");
    Mgr().GetSemIcon()->HideInformation(i % 2 == 0 ? HideMode::kSlide : HideMode::kAtOnce);
}

void RotationCycle(int) {
    Mgr().GetSemIcon()->StartRotation();
    SleepEx(5, FALSE);  // a few frames go by before the stop
    Mgr().GetSemIcon()->StopRotation();
}

// Each workload's name, function, warm-up cycles and first round's cycles (the second: twice).
const struct {
    const char* pszName;    // as the table shows it
    void (*pfnCycle)(int);  // one cycle of the workload
    int nWarmUp;            // cycles of the warm-up round
    int nRound;             // cycles of the first measured round
} kWorkloads[] = {{"chip state changes", &ChipStateChange, 12, 60},
                  {"menu cycles", &MenuCycle, 5, 20},
                  {"info window cycles", &InfoWindowCycle, 10, 20},
                  {"rotation cycles", &RotationCycle, 3, 5}};
const char* const kBookNames[] = {"GDI", "windows", "menus", "hooks", "handles", "modules", "heap"};

// Sets up the library as a host would find it, runs every workload and prints the growth of
// each book in both rounds; true when nothing grows per cycle.
bool Run() {
    InitializeCriticalSection(&g_booksLock);
    std::vector<std::unique_ptr<CImportPatch>> patches;
    for (const Bend& bend : g_bends) {
        // The original is known before the slot is bent, so no call finds it missing.
        g_originals[&bend - g_bends] =
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(bend.pszDll), bend.pszName));
        patches.emplace_back(
            new CImportPatch(nullptr, bend.pszDll, bend.pszName, bend.pReplacement));
        if (!patches.back()->IsActive()) printf("not counted: %s\n", bend.pszName);
    }
    patches.emplace_back(new CImportPatch(nullptr, "shell32.dll", "Shell_NotifyIconA",
                                          reinterpret_cast<void*>(&AcceptIcon)));
    // The built library beside the program (where the loader looks first) supplies the icons, the
    // dialog and the pictures; the language libraries beside it the texts.
    g_hLibInstance = LoadLibraryA("velTrayLib.dll");
    if (g_hLibInstance == nullptr) return printf("velLeaks: no velTrayLib.dll beside me\n"), false;
    g_textTable.Load(GetModuleHandleA(nullptr));
    // System icons stand in for the design component's four pictures.
    const LPCSTR pictures[4] = {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION};
    for (int i = 0; i < 4; ++i) Mgr().m_hSemIcon[i] = LoadIconA(nullptr, pictures[i]);
    Mgr().GetSemIcon()->Show();
    Mgr().GetChipIcon(kReader, 3)->Show();
    bool bPassed = true;
    for (const auto& work : kWorkloads) {
        long live[3][kPools];
        // Round 0 is the warm-up; the books after it are the base.
        for (int nRound = 0; nRound < 3; ++nRound) {
            for (int i = 0; i < (nRound == 0 ? work.nWarmUp : work.nRound * nRound); ++i) {
                work.pfnCycle(i);
                Pump();
            }
            for (int b = 0; b < kPools; ++b) live[nRound][b] = Live(static_cast<Pool>(b));
        }
        for (int b = 0; b < kPools; ++b) {
            const long nFirst = live[1][b] - live[0][b], nSecond = live[2][b] - live[1][b];
            // The runtime's heap may keep a block or two more on some round.
            const bool bGrew = nSecond - nFirst > (b == kHeap ? 2 : 0);
            bPassed = bPassed && !bGrew;
            if (nFirst != 0 || nSecond != 0)
                printf("%-20s %-12s %8ld %8ld%s\n", work.pszName, kBookNames[b], nFirst, nSecond,
                       bGrew ? "  GROWTH" : "");
        }
        fflush(stdout);
    }
    if (g_bMenuFailed) printf("velLeaks: a menu did not open\n");
    Mgr().Stop();
    Pump();
    FreeLibrary(g_hLibInstance);
    return bPassed && !g_bMenuFailed;
}

}  // namespace

// An exception that leaves the library ends the program before its summary.
int main() {
    const bool bPassed = Run();
    printf(bPassed ? "velLeaks: 1 passed, 0 failed\n" : "velLeaks: 0 passed, 1 failed\n");
    return bPassed ? 0 : 1;
}
