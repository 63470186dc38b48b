#include "core/WndRegistry.h"

#include <mbstring.h>

#include <algorithm>

#include "core/InitOrder.h"

const char CWndRegistry::kClassName[] = "SC_WND";

CWndRegistry g_wndRegistry VEL_SERVICE_INIT;

CWndRegistry::CWndRegistry() : m_bClassRegistered(0), m_hClassInstance(nullptr) {
    InitializeCriticalSection(&m_cs);
}

CWndRegistry::~CWndRegistry() {
    if (m_bClassRegistered) UnregisterClassA(kClassName, m_hClassInstance);
    DeleteCriticalSection(&m_cs);
}

void CWndRegistry::RegisterClassOnce(HINSTANCE hInstance, WNDPROC pfnWndProc) {
    if (m_bClassRegistered) return;
    static_assert(sizeof(WNDCLASSEXA) == 48, "the class record of a 32-bit process");
    // Only procedure, module and name are set. The result is not tested: the flag stops
    // further attempts, and windows of a class that failed to register are simply not made.
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = pfnWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);
    m_bClassRegistered = 1;
    m_hClassInstance = hInstance;
}

bool CWndRegistry::IsOurClass() const {
    WNDCLASSA wc = {};
    if (!GetClassInfoA(m_hClassInstance, kClassName, &wc) || wc.lpszClassName == nullptr) {
        return false;
    }
    return _mbscmp(reinterpret_cast<const unsigned char*>(wc.lpszClassName),
                   reinterpret_cast<const unsigned char*>(kClassName)) == 0;
}

void CWndRegistry::Add(HWND hWnd, CNotifyWnd* pWnd) {
    EnterCriticalSection(&m_cs);
    try {
        m_entries.emplace_back(hWnd, pWnd);
    } catch (...) {
        LeaveCriticalSection(&m_cs);
        throw;
    }
    LeaveCriticalSection(&m_cs);
}

void CWndRegistry::Remove(const CNotifyWnd* pWnd) {
    EnterCriticalSection(&m_cs);
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [pWnd](const auto& entry) { return entry.second == pWnd; }),
                    m_entries.end());
    LeaveCriticalSection(&m_cs);
    // A dispatch on this thread is the caller's own, further up its stack: it knows.
    const DWORD nStart = GetTickCount();
    while (InForeignDispatch(pWnd) && GetTickCount() - nStart < kDispatchWaitMs) Sleep(1);
}

bool CWndRegistry::InForeignDispatch(const CNotifyWnd* pWnd) const {
    const DWORD nThread = GetCurrentThreadId();
    EnterCriticalSection(&m_cs);
    const bool bFound = std::any_of(
        m_dispatches.begin(), m_dispatches.end(),
        [pWnd, nThread](const auto& use) { return use.first == pWnd && use.second != nThread; });
    LeaveCriticalSection(&m_cs);
    return bFound;
}

CNotifyWnd* CWndRegistry::Enter(HWND hWnd) {
    EnterCriticalSection(&m_cs);
    CNotifyWnd* pFound = nullptr;
    try {
        for (const auto& entry : m_entries) {
            if (entry.first == hWnd) {
                m_dispatches.emplace_back(entry.second, GetCurrentThreadId());
                pFound = entry.second;
                break;
            }
        }
    } catch (...) {
        pFound = nullptr;
    }
    LeaveCriticalSection(&m_cs);
    return pFound;
}

void CWndRegistry::Leave(const CNotifyWnd* pWnd) {
    const std::pair<const CNotifyWnd*, DWORD> use(pWnd, GetCurrentThreadId());
    EnterCriticalSection(&m_cs);
    // The innermost use of a nested dispatch: the last one of this thread.
    const auto it = std::find(m_dispatches.rbegin(), m_dispatches.rend(), use);
    if (it != m_dispatches.rend()) m_dispatches.erase(std::next(it).base());
    LeaveCriticalSection(&m_cs);
}

CNotifyWnd* CWndRegistry::Find(HWND hWnd) const {
    CNotifyWnd* pFound = nullptr;
    EnterCriticalSection(&m_cs);
    for (const auto& entry : m_entries) {
        if (entry.first == hWnd) {
            pFound = entry.second;
            break;
        }
    }
    LeaveCriticalSection(&m_cs);
    return pFound;
}

size_t CWndRegistry::Count() const {
    EnterCriticalSection(&m_cs);
    const size_t nCount = m_entries.size();
    LeaveCriticalSection(&m_cs);
    return nCount;
}
