#include "LeakCounter.h"

#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "ImportPatch.h"

namespace {

using P = CLeakCounter::Pool;

// Memory of the books from a heap of their own, which the bent allocator does not count.
HANDLE g_hBooksHeap = nullptr;
template <typename T>
struct BooksAllocator {
    using value_type = T;
    BooksAllocator() = default;
    template <typename U>
    BooksAllocator(const BooksAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(HeapAlloc(g_hBooksHeap, 0, n * sizeof(T))); }
    void deallocate(T* p, size_t) { HeapFree(g_hBooksHeap, 0, p); }
    bool operator==(const BooksAllocator&) const { return true; }
    bool operator!=(const BooksAllocator&) const { return false; }
};
// A book: each live object with its amount (references of a handle, bytes of a heap block).
using Book = std::unordered_map<uintptr_t, size_t, std::hash<uintptr_t>, std::equal_to<uintptr_t>,
                                BooksAllocator<std::pair<const uintptr_t, size_t>>>;
Book* g_books = nullptr;
// Serialises the books: the rotation thread creates and frees too.
CRITICAL_SECTION g_booksLock;
volatile LONG g_nFastClock = 0;

// Books an object created. Device contexts from GetDC are cached and handed out again, and
// module references are counted; any other key alive again was freed unseen and starts anew.
void Created(P pool, uintptr_t nKey, size_t nAmount = 1) {
    if (nKey == 0 || nKey == reinterpret_cast<uintptr_t>(INVALID_HANDLE_VALUE)) return;
    EnterCriticalSection(&g_booksLock);
    size_t& nLive = g_books[pool][nKey];
    nLive = (pool == P::kDcs || pool == P::kModules ? nLive : 0) + nAmount;
    LeaveCriticalSection(&g_booksLock);
}

// Books an object freed: a heap block at once, a handle one reference at a time.
void Deleted(P pool, uintptr_t nKey) {
    EnterCriticalSection(&g_booksLock);
    const auto found = g_books[pool].find(nKey);
    if (found != g_books[pool].end() && (pool == P::kHeapBlocks || --found->second == 0))
        g_books[pool].erase(found);
    LeaveCriticalSection(&g_booksLock);
}

// One bent import: where it is, what replaces it and which book it keeps.
struct Bend {
    const char* pszDll;       // the DLL the program imports it from
    const char* pszFunction;  // its name
    void* pReplacement;       // the counting replacement
    P pool;                   // the book it writes to
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

BOOL WINAPI CountingEndPaint(HWND hWnd, const PAINTSTRUCT* pPaint) {
    if (pPaint != nullptr) Deleted(P::kDcs, reinterpret_cast<uintptr_t>(pPaint->hdc));
    return Original<decltype(&EndPaint)>(41)(hWnd, pPaint);
}
BOOL WINAPI CountingDuplicateHandle(HANDLE hFrom, HANDLE hSource, HANDLE hTo, HANDLE* phTarget,
                                    DWORD nAccess, BOOL bInherit, DWORD nOptions) {
    const BOOL bDone = Original<decltype(&DuplicateHandle)>(42)(hFrom, hSource, hTo, phTarget,
                                                                nAccess, bInherit, nOptions);
    if (bDone && (nOptions & DUPLICATE_CLOSE_SOURCE) != 0 && hFrom == GetCurrentProcess())
        Deleted(P::kHandles, reinterpret_cast<uintptr_t>(hSource));
    if (bDone && hTo == GetCurrentProcess() && phTarget != nullptr)
        Created(P::kHandles, reinterpret_cast<uintptr_t>(*phTarget));
    return bDone;
}
uintptr_t __cdecl CountingBeginThreadEx(void* pSecurity, unsigned nStack,
                                        unsigned(__stdcall* pfnEntry)(void*), void* pArg,
                                        unsigned nFlags, unsigned* pnThreadId) {
    using BeginThreadEx = decltype(&CountingBeginThreadEx);
    const uintptr_t hThread =
        Original<BeginThreadEx>(43)(pSecurity, nStack, pfnEntry, pArg, nFlags, pnThreadId);
    Created(P::kHandles, hThread);
    return hThread;
}
void* __cdecl CountingMalloc(size_t nBytes) {
    void* p = Original<void*(__cdecl*)(size_t)>(44)(nBytes);
    Created(P::kHeapBlocks, reinterpret_cast<uintptr_t>(p), nBytes);
    return p;
}
void* __cdecl CountingCalloc(size_t nCount, size_t nSize) {
    void* p = Original<void*(__cdecl*)(size_t, size_t)>(45)(nCount, nSize);
    Created(P::kHeapBlocks, reinterpret_cast<uintptr_t>(p), nCount * nSize);
    return p;
}
void* __cdecl CountingRealloc(void* pOld, size_t nBytes) {
    void* p = Original<void*(__cdecl*)(void*, size_t)>(46)(pOld, nBytes);
    // A failed growth leaves the old block alive; a size of 0 frees it.
    if (p == nullptr && nBytes != 0) return p;
    Deleted(P::kHeapBlocks, reinterpret_cast<uintptr_t>(pOld));
    Created(P::kHeapBlocks, reinterpret_cast<uintptr_t>(p), nBytes);
    return p;
}
void __cdecl CountingFree(void* p) {
    Deleted(P::kHeapBlocks, reinterpret_cast<uintptr_t>(p));
    Original<void(__cdecl*)(void*)>(47)(p);
}
char* __cdecl CountingStrDup(const char* psz) {
    char* p = Original<char*(__cdecl*)(const char*)>(48)(psz);
    if (p != nullptr) Created(P::kHeapBlocks, reinterpret_cast<uintptr_t>(p), strlen(p) + 1);
    return p;
}
BSTR WINAPI CountingSysAllocStringLen(const OLECHAR* psz, UINT nLength) {
    const BSTR b = Original<decltype(&SysAllocStringLen)>(49)(psz, nLength);
    Created(P::kHeapBlocks, reinterpret_cast<uintptr_t>(b), (nLength + 1) * sizeof(OLECHAR));
    return b;
}
void WINAPI CountingSysFreeString(BSTR b) {
    Deleted(P::kHeapBlocks, reinterpret_cast<uintptr_t>(b));
    Original<decltype(&SysFreeString)>(50)(b);
}
void WINAPI CountingSleep(DWORD nMs) {
    Original<decltype(&Sleep)>(51)(g_nFastClock != 0 && nMs != INFINITE ? 0 : nMs);
}

constexpr P kGdi = P::kGdiObjects, kDc = P::kDcs, kWnd = P::kWindows, kMenu = P::kMenus,
            kHook = P::kHooks, kIcon = P::kIcons, kKernel = P::kHandles, kModule = P::kModules,
            kHeap = P::kHeapBlocks;
#define VEL_HAND_WRITTEN(dll, name, function, pool) \
    { dll, name, reinterpret_cast<void*>(&function), pool }
// The hand-written replacements sit at the places their Original calls name (41 to 51).
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
    {"user32.dll", "GetDC", CreatorFor<37>(&GetDC), kDc},
    {"user32.dll", "GetWindowDC", CreatorFor<38>(&GetWindowDC), kDc},
    {"user32.dll", "BeginPaint", CreatorFor<39>(&BeginPaint), kDc},
    {"user32.dll", "ReleaseDC", DeleterFor<40, 1>(&ReleaseDC), kDc},
    VEL_HAND_WRITTEN("user32.dll", "EndPaint", CountingEndPaint, kDc),
    VEL_HAND_WRITTEN("kernel32.dll", "DuplicateHandle", CountingDuplicateHandle, kKernel),
    VEL_HAND_WRITTEN("msvcrt.dll", "_beginthreadex", CountingBeginThreadEx, kKernel),
    VEL_HAND_WRITTEN("msvcrt.dll", "malloc", CountingMalloc, kHeap),
    VEL_HAND_WRITTEN("msvcrt.dll", "calloc", CountingCalloc, kHeap),
    VEL_HAND_WRITTEN("msvcrt.dll", "realloc", CountingRealloc, kHeap),
    VEL_HAND_WRITTEN("msvcrt.dll", "free", CountingFree, kHeap),
    VEL_HAND_WRITTEN("msvcrt.dll", "_strdup", CountingStrDup, kHeap),
    VEL_HAND_WRITTEN("oleaut32.dll", "SysAllocStringLen", CountingSysAllocStringLen, kHeap),
    VEL_HAND_WRITTEN("oleaut32.dll", "SysFreeString", CountingSysFreeString, kHeap),
    VEL_HAND_WRITTEN("kernel32.dll", "Sleep", CountingSleep, P::kPoolCount),
};
#undef VEL_HAND_WRITTEN

}  // namespace

CLeakCounter::CLeakCounter() {
    static_assert(sizeof g_bends / sizeof g_bends[0] <= sizeof g_originals / sizeof(void*),
                  "a place for every original");
    InitializeCriticalSection(&g_booksLock);
    g_hBooksHeap = HeapCreate(0, 0, 0);
    g_books = new (HeapAlloc(g_hBooksHeap, 0, sizeof(Book) * P::kPoolCount)) Book[P::kPoolCount];
    for (size_t i = 0; i < sizeof g_bends / sizeof g_bends[0]; ++i) {
        // The original is known before the slot is bent, so no call finds it missing.
        g_originals[i] = reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA(g_bends[i].pszDll), g_bends[i].pszFunction));
        m_patches.push_back(std::make_unique<CImportPatch>(
            nullptr, g_bends[i].pszDll, g_bends[i].pszFunction, g_bends[i].pReplacement));
        if (!m_patches.back()->IsActive()) m_missing.push_back(g_bends[i].pszFunction);
    }
}

CLeakCounter::~CLeakCounter() { m_patches.clear(); }

long CLeakCounter::Live(Pool pool) {
    // Objects that died with others are forgotten first.
    static bool (*const pfnAlive[])(uintptr_t) = {
        [](uintptr_t nKey) { return GetObjectType(reinterpret_cast<HGDIOBJ>(nKey)) != 0; }, nullptr,
        [](uintptr_t nKey) { return IsWindow(reinterpret_cast<HWND>(nKey)) != FALSE; },
        [](uintptr_t nKey) { return IsMenu(reinterpret_cast<HMENU>(nKey)) != FALSE; }};
    EnterCriticalSection(&g_booksLock);
    Book& book = g_books[pool == kHeapBytes ? kHeapBlocks : pool];
    for (auto entry = book.begin(); entry != book.end();)
        entry = pool < 4 && pfnAlive[pool] != nullptr && !pfnAlive[pool](entry->first)
                    ? book.erase(entry)
                    : std::next(entry);
    long nLive = static_cast<long>(book.size());
    if (pool == kHeapBytes) {
        nLive = 0;
        for (const auto& entry : book) nLive += static_cast<long>(entry.second);
    }
    LeaveCriticalSection(&g_booksLock);
    return nLive;
}

void CLeakCounter::SetFastClock(bool bOn) { InterlockedExchange(&g_nFastClock, bOn ? 1 : 0); }

void CLeakCounter::RealSleep(DWORD nMs) { Original<decltype(&Sleep)>(51)(nMs); }
