#include "LeakCounter.h"

#include <oleauto.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ImportPatch.h"
#include "LiveSet.h"

namespace {

// The books, in static memory so that the bent allocator never allocates.
CLiveSet g_books[CLeakCounter::kPoolCount];
// Serialises the books: the rotation thread creates and frees too.
CRITICAL_SECTION g_booksLock;
// True while the library's pauses are cut short.
volatile LONG g_nFastClock = 0;

// Whether a pool's keys can be alive only once (device contexts from GetDC are
// cached and handed out again; module references are counted).
bool IsUnique(CLeakCounter::Pool pool) {
    return pool != CLeakCounter::kDcs && pool != CLeakCounter::kModules;
}

void Created(CLeakCounter::Pool pool, uintptr_t nKey, size_t nAmount = 1) {
    EnterCriticalSection(&g_booksLock);
    g_books[pool].Add(nKey, nAmount, IsUnique(pool));
    LeaveCriticalSection(&g_booksLock);
}

void Deleted(CLeakCounter::Pool pool, uintptr_t nKey) {
    EnterCriticalSection(&g_booksLock);
    if (pool == CLeakCounter::kHeap) {
        g_books[pool].Drop(nKey);
    } else {
        g_books[pool].Take(nKey, 1);
    }
    LeaveCriticalSection(&g_booksLock);
}

// A handle value as a key; failures (null, INVALID_HANDLE_VALUE) are no object.
template <typename H>
uintptr_t KeyOf(H h) {
    const uintptr_t nKey = (uintptr_t)(h);
    return nKey == (uintptr_t)INVALID_HANDLE_VALUE ? 0 : nKey;
}

// The original function behind each bent import, by its place in the table below.
void* g_originals[64];

template <int Id, typename R, typename... A>
R WINAPI Creating(A... args);
template <int Id, typename A0, typename... A>
BOOL WINAPI Deleting(A0 h, A... args);

// One bent import: where it is, what replaces it and which book it keeps.
struct Bend {
    const char* pszDll;       // the DLL the program imports it from
    const char* pszFunction;  // its name
    void* pReplacement;       // the counting replacement
    CLeakCounter::Pool pool;  // the book it writes to
};

// The counting replacement of a function that creates an object, for place Id.
template <int Id, typename R, typename... A>
void* CreatorFor(R(WINAPI*)(A...)) {
    return reinterpret_cast<void*>(&Creating<Id, R, A...>);
}
// The counting replacement of a function that frees its first argument, for place Id.
template <int Id, typename A0, typename... A>
void* DeleterFor(BOOL(WINAPI*)(A0, A...)) {
    return reinterpret_cast<void*>(&Deleting<Id, A0, A...>);
}

// The original function of a place, as its own type.
template <typename F>
F Original(int nId) {
    return reinterpret_cast<F>(g_originals[nId]);
}

// Places of the hand-written replacements in the table.
enum Special {
    kGetDC = 40,
    kGetWindowDC,
    kReleaseDC,
    kBeginPaint,
    kEndPaint,
    kDuplicateHandle,
    kBeginThreadEx,
    kMalloc,
    kCalloc,
    kRealloc,
    kFree,
    kStrDup,
    kSysAllocStringLen,
    kSysFreeString,
    kSleep,
};

extern const Bend g_bends[];
extern const size_t g_nBends;

// Calls the original and books what it created.
template <int Id, typename R, typename... A>
R WINAPI Creating(A... args) {
    const R r = Original<R(WINAPI*)(A...)>(Id)(args...);
    Created(g_bends[Id].pool, KeyOf(r));
    return r;
}

// Calls the original and books the object it freed.
template <int Id, typename A0, typename... A>
BOOL WINAPI Deleting(A0 h, A... args) {
    const BOOL bDone = Original<BOOL(WINAPI*)(A0, A...)>(Id)(h, args...);
    if (bDone) Deleted(g_bends[Id].pool, KeyOf(h));
    return bDone;
}

HDC WINAPI CountingGetDC(HWND hWnd) {
    const HDC hDC = Original<decltype(&GetDC)>(kGetDC)(hWnd);
    Created(CLeakCounter::kDcs, KeyOf(hDC));
    return hDC;
}

HDC WINAPI CountingGetWindowDC(HWND hWnd) {
    const HDC hDC = Original<decltype(&GetWindowDC)>(kGetWindowDC)(hWnd);
    Created(CLeakCounter::kDcs, KeyOf(hDC));
    return hDC;
}

int WINAPI CountingReleaseDC(HWND hWnd, HDC hDC) {
    const int nDone = Original<decltype(&ReleaseDC)>(kReleaseDC)(hWnd, hDC);
    if (nDone) Deleted(CLeakCounter::kDcs, KeyOf(hDC));
    return nDone;
}

HDC WINAPI CountingBeginPaint(HWND hWnd, PAINTSTRUCT* pPaint) {
    const HDC hDC = Original<decltype(&BeginPaint)>(kBeginPaint)(hWnd, pPaint);
    Created(CLeakCounter::kDcs, KeyOf(hDC));
    return hDC;
}

BOOL WINAPI CountingEndPaint(HWND hWnd, const PAINTSTRUCT* pPaint) {
    if (pPaint != nullptr) Deleted(CLeakCounter::kDcs, KeyOf(pPaint->hdc));
    return Original<decltype(&EndPaint)>(kEndPaint)(hWnd, pPaint);
}

BOOL WINAPI CountingDuplicateHandle(HANDLE hSourceProcess, HANDLE hSource, HANDLE hTargetProcess,
                                    HANDLE* phTarget, DWORD nAccess, BOOL bInherit,
                                    DWORD nOptions) {
    const BOOL bDone = Original<decltype(&DuplicateHandle)>(kDuplicateHandle)(
        hSourceProcess, hSource, hTargetProcess, phTarget, nAccess, bInherit, nOptions);
    if (!bDone) return bDone;
    const HANDLE hSelf = GetCurrentProcess();
    if ((nOptions & DUPLICATE_CLOSE_SOURCE) != 0 && hSourceProcess == hSelf)
        Deleted(CLeakCounter::kHandles, KeyOf(hSource));
    if (hTargetProcess == hSelf && phTarget != nullptr)
        Created(CLeakCounter::kHandles, KeyOf(*phTarget));
    return bDone;
}

using BeginThreadEx = uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*,
                                          unsigned, unsigned*);
uintptr_t __cdecl CountingBeginThreadEx(void* pSecurity, unsigned nStack,
                                        unsigned(__stdcall* pfnEntry)(void*), void* pArg,
                                        unsigned nFlags, unsigned* pnThreadId) {
    const uintptr_t hThread = Original<BeginThreadEx>(kBeginThreadEx)(pSecurity, nStack, pfnEntry,
                                                                      pArg, nFlags, pnThreadId);
    Created(CLeakCounter::kHandles, hThread);
    return hThread;
}

void* __cdecl CountingMalloc(size_t nBytes) {
    void* p = Original<void*(__cdecl*)(size_t)>(kMalloc)(nBytes);
    Created(CLeakCounter::kHeap, KeyOf(p), nBytes);
    return p;
}

void* __cdecl CountingCalloc(size_t nCount, size_t nSize) {
    void* p = Original<void*(__cdecl*)(size_t, size_t)>(kCalloc)(nCount, nSize);
    Created(CLeakCounter::kHeap, KeyOf(p), nCount * nSize);
    return p;
}

void* __cdecl CountingRealloc(void* pOld, size_t nBytes) {
    void* p = Original<void*(__cdecl*)(void*, size_t)>(kRealloc)(pOld, nBytes);
    // A failed growth leaves the old block alive; a size of 0 frees it.
    if (p == nullptr && nBytes != 0) return p;
    Deleted(CLeakCounter::kHeap, KeyOf(pOld));
    Created(CLeakCounter::kHeap, KeyOf(p), nBytes);
    return p;
}

void __cdecl CountingFree(void* p) {
    Deleted(CLeakCounter::kHeap, KeyOf(p));
    Original<void(__cdecl*)(void*)>(kFree)(p);
}

char* __cdecl CountingStrDup(const char* psz) {
    char* p = Original<char*(__cdecl*)(const char*)>(kStrDup)(psz);
    if (p != nullptr) Created(CLeakCounter::kHeap, KeyOf(p), strlen(p) + 1);
    return p;
}

BSTR WINAPI CountingSysAllocStringLen(const OLECHAR* psz, UINT nLength) {
    const BSTR b = Original<decltype(&SysAllocStringLen)>(kSysAllocStringLen)(psz, nLength);
    Created(CLeakCounter::kHeap, KeyOf(b), (nLength + 1) * sizeof(OLECHAR));
    return b;
}

void WINAPI CountingSysFreeString(BSTR b) {
    Deleted(CLeakCounter::kHeap, KeyOf(b));
    Original<decltype(&SysFreeString)>(kSysFreeString)(b);
}

void WINAPI CountingSleep(DWORD nMs) {
    Original<decltype(&Sleep)>(kSleep)(g_nFastClock != 0 && nMs != INFINITE ? 0 : nMs);
}

// An unused place of the table.
const Bend kNone = {nullptr, nullptr, nullptr, CLeakCounter::kPoolCount};

using P = CLeakCounter::Pool;
constexpr P kGdi = CLeakCounter::kGdiObjects;
constexpr P kDc = CLeakCounter::kDcs;
constexpr P kWnd = CLeakCounter::kWindows;
constexpr P kMenu = CLeakCounter::kMenus;
constexpr P kHook = CLeakCounter::kHooks;
constexpr P kIcon = CLeakCounter::kIcons;
constexpr P kKernel = CLeakCounter::kHandles;
constexpr P kModule = CLeakCounter::kModules;
constexpr P kHeapPool = CLeakCounter::kHeap;

}  // namespace

namespace {

const Bend g_bends[] = {
    {"gdi32.dll", "CreateBitmap", CreatorFor<0>(&CreateBitmap), kGdi},
    {"gdi32.dll", "CreateCompatibleBitmap", CreatorFor<1>(&CreateCompatibleBitmap), kGdi},
    {"gdi32.dll", "CreateDIBSection", CreatorFor<2>(&CreateDIBSection), kGdi},
    {"gdi32.dll", "CreateFontA", CreatorFor<3>(&CreateFontA), kGdi},
    {"gdi32.dll", "CreateFontIndirectA", CreatorFor<4>(&CreateFontIndirectA), kGdi},
    {"gdi32.dll", "CreatePatternBrush", CreatorFor<5>(&CreatePatternBrush), kGdi},
    {"gdi32.dll", "CreatePen", CreatorFor<6>(&CreatePen), kGdi},
    {"gdi32.dll", "CreateSolidBrush", CreatorFor<7>(&CreateSolidBrush), kGdi},
    {"gdi32.dll", "CreateRectRgn", CreatorFor<8>(&CreateRectRgn), kGdi},
    {"user32.dll", "LoadBitmapA", CreatorFor<9>(&LoadBitmapA), kGdi},
    {"gdi32.dll", "DeleteObject", DeleterFor<10>(&DeleteObject), kGdi},
    {"gdi32.dll", "CreateCompatibleDC", CreatorFor<11>(&CreateCompatibleDC), kDc},
    {"gdi32.dll", "DeleteDC", DeleterFor<12>(&DeleteDC), kDc},
    {"user32.dll", "CreateWindowExA", CreatorFor<13>(&CreateWindowExA), kWnd},
    {"user32.dll", "CreateDialogIndirectParamA", CreatorFor<14>(&CreateDialogIndirectParamA), kWnd},
    {"user32.dll", "DestroyWindow", DeleterFor<15>(&DestroyWindow), kWnd},
    {"user32.dll", "CreatePopupMenu", CreatorFor<16>(&CreatePopupMenu), kMenu},
    {"user32.dll", "CreateMenu", CreatorFor<17>(&CreateMenu), kMenu},
    {"user32.dll", "DestroyMenu", DeleterFor<18>(&DestroyMenu), kMenu},
    {"user32.dll", "SetWindowsHookExA", CreatorFor<19>(&SetWindowsHookExA), kHook},
    {"user32.dll", "UnhookWindowsHookEx", DeleterFor<20>(&UnhookWindowsHookEx), kHook},
    {"user32.dll", "CreateIconIndirect", CreatorFor<21>(&CreateIconIndirect), kIcon},
    {"user32.dll", "CopyImage", CreatorFor<22>(&CopyImage), kIcon},
    {"user32.dll", "DestroyIcon", DeleterFor<23>(&DestroyIcon), kIcon},
    {"kernel32.dll", "CreateEventA", CreatorFor<24>(&CreateEventA), kKernel},
    {"kernel32.dll", "CreateMutexA", CreatorFor<25>(&CreateMutexA), kKernel},
    {"kernel32.dll", "CreateSemaphoreA", CreatorFor<26>(&CreateSemaphoreA), kKernel},
    {"kernel32.dll", "CreateThread", CreatorFor<27>(&CreateThread), kKernel},
    {"kernel32.dll", "OpenEventA", CreatorFor<28>(&OpenEventA), kKernel},
    {"kernel32.dll", "OpenProcess", CreatorFor<29>(&OpenProcess), kKernel},
    {"kernel32.dll", "FindFirstFileA", CreatorFor<30>(&FindFirstFileA), kKernel},
    {"kernel32.dll", "FindClose", DeleterFor<31>(&FindClose), kKernel},
    {"kernel32.dll", "CloseHandle", DeleterFor<32>(&CloseHandle), kKernel},
    {"kernel32.dll", "LoadLibraryA", CreatorFor<33>(&LoadLibraryA), kModule},
    {"kernel32.dll", "LoadLibraryW", CreatorFor<34>(&LoadLibraryW), kModule},
    {"kernel32.dll", "LoadLibraryExA", CreatorFor<35>(&LoadLibraryExA), kModule},
    {"kernel32.dll", "FreeLibrary", DeleterFor<36>(&FreeLibrary), kModule},
    kNone,
    kNone,
    kNone,
    {"user32.dll", "GetDC", reinterpret_cast<void*>(&CountingGetDC), kDc},
    {"user32.dll", "GetWindowDC", reinterpret_cast<void*>(&CountingGetWindowDC), kDc},
    {"user32.dll", "ReleaseDC", reinterpret_cast<void*>(&CountingReleaseDC), kDc},
    {"user32.dll", "BeginPaint", reinterpret_cast<void*>(&CountingBeginPaint), kDc},
    {"user32.dll", "EndPaint", reinterpret_cast<void*>(&CountingEndPaint), kDc},
    {"kernel32.dll", "DuplicateHandle", reinterpret_cast<void*>(&CountingDuplicateHandle), kKernel},
    {"msvcrt.dll", "_beginthreadex", reinterpret_cast<void*>(&CountingBeginThreadEx), kKernel},
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountingMalloc), kHeapPool},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountingCalloc), kHeapPool},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountingRealloc), kHeapPool},
    {"msvcrt.dll", "free", reinterpret_cast<void*>(&CountingFree), kHeapPool},
    {"msvcrt.dll", "_strdup", reinterpret_cast<void*>(&CountingStrDup), kHeapPool},
    {"oleaut32.dll", "SysAllocStringLen", reinterpret_cast<void*>(&CountingSysAllocStringLen),
     kHeapPool},
    {"oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&CountingSysFreeString), kHeapPool},
    {"kernel32.dll", "Sleep", reinterpret_cast<void*>(&CountingSleep), CLeakCounter::kPoolCount},
};
const size_t g_nBends = sizeof g_bends / sizeof g_bends[0];

bool IsLiveGdiObject(uintptr_t nKey) { return GetObjectType(reinterpret_cast<HGDIOBJ>(nKey)) != 0; }
bool IsLiveWindow(uintptr_t nKey) { return IsWindow(reinterpret_cast<HWND>(nKey)) != FALSE; }
bool IsLiveMenu(uintptr_t nKey) { return IsMenu(reinterpret_cast<HMENU>(nKey)) != FALSE; }

}  // namespace

CLeakCounter::CLeakCounter() {
    static_assert(sizeof g_bends / sizeof g_bends[0] <= sizeof g_originals / sizeof(void*),
                  "every bent import has a place for its original");
    InitializeCriticalSection(&g_booksLock);
    for (size_t i = 0; i < g_nBends; ++i) {
        if (g_bends[i].pszDll == nullptr) continue;
        // The original is known before the slot is bent, so no call finds it missing.
        g_originals[i] = reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA(g_bends[i].pszDll), g_bends[i].pszFunction));
        auto pPatch = std::make_unique<CImportPatch>(
            nullptr, g_bends[i].pszDll, g_bends[i].pszFunction, g_bends[i].pReplacement);
        if (!pPatch->IsActive()) m_missing.push_back(g_bends[i].pszFunction);
        m_patches.push_back(std::move(pPatch));
    }
}

CLeakCounter::~CLeakCounter() { m_patches.clear(); }

CLeakCounter::Count CLeakCounter::Sample(Pool pool) {
    EnterCriticalSection(&g_booksLock);
    CLiveSet& book = g_books[pool];
    if (pool == kGdiObjects) book.Prune(&IsLiveGdiObject);
    if (pool == kWindows) book.Prune(&IsLiveWindow);
    if (pool == kMenus) book.Prune(&IsLiveMenu);
    const Count count = {book.Created(), book.Deleted(), book.Live(),
                         pool == kHeap ? book.Amount() : 0};
    LeaveCriticalSection(&g_booksLock);
    return count;
}

bool CLeakCounter::Overflowed() {
    EnterCriticalSection(&g_booksLock);
    bool bOverflow = false;
    for (const CLiveSet& book : g_books) bOverflow = bOverflow || book.Overflowed();
    LeaveCriticalSection(&g_booksLock);
    return bOverflow;
}

void CLeakCounter::SetFastClock(bool bOn) { InterlockedExchange(&g_nFastClock, bOn ? 1 : 0); }

void CLeakCounter::RealSleep(DWORD nMs) { Original<decltype(&Sleep)>(kSleep)(nMs); }
