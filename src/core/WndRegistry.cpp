#include "core/WndRegistry.h"

#include <mbstring.h>

#include <algorithm>

#include "core/InitOrder.h"

const char CWndRegistry::kClassName[] = "SC_WND";

CWndRegistry g_wndRegistry VEL_SERVICE_INIT;

CWndRegistry::CWndRegistry() : m_bClassRegistered(0), m_hClassInstance(nullptr) {}

CWndRegistry::~CWndRegistry() {
    for (HINSTANCE hInstance : m_otherInstances) UnregisterClassA(kClassName, hInstance);
    if (m_bClassRegistered) UnregisterClassA(kClassName, m_hClassInstance);
}

void CWndRegistry::RegisterClassOnce(HINSTANCE hInstance, WNDPROC pfnWndProc) {
    if (m_bClassRegistered && hInstance == m_hClassInstance) return;
    static_assert(sizeof(WNDCLASSEXA) == 48, "the class record of a 32-bit process");
    // Only procedure, module and name are set. The result is not tested: the flag stops
    // further attempts, and windows of a class that failed to register are simply not made.
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = pfnWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kClassName;
    // A program that links the library's code may make windows for more than one module
    // (its own and a library it loaded): each gets the class once, the first one counts.
    CScopedLock lock(m_cs);
    if (m_bClassRegistered) {
        if (std::find(m_otherInstances.begin(), m_otherInstances.end(), hInstance) !=
            m_otherInstances.end()) {
            return;
        }
        m_otherInstances.push_back(hInstance);
        RegisterClassExA(&wc);
        return;
    }
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
    CScopedLock lock(m_cs);
    m_entries.emplace_back(hWnd, pWnd);
}

void CWndRegistry::Remove(const CNotifyWnd* pWnd) {
    {
        CScopedLock lock(m_cs);
        m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                       [pWnd](const auto& entry) { return entry.second == pWnd; }),
                        m_entries.end());
    }
    // A dispatch on this thread is the caller's own, further up its stack: it knows.
    const DWORD nStart = GetTickCount();
    while (InForeignDispatch(pWnd) && GetTickCount() - nStart < kDispatchWaitMs) Sleep(1);
}

bool CWndRegistry::InForeignDispatch(const CNotifyWnd* pWnd) const {
    const DWORD nThread = GetCurrentThreadId();
    CScopedLock lock(m_cs);
    return std::any_of(m_dispatches.begin(), m_dispatches.end(), [pWnd, nThread](const auto& use) {
        return use.first == pWnd && use.second != nThread;
    });
}

CNotifyWnd* CWndRegistry::Enter(HWND hWnd) {
    CScopedLock lock(m_cs);
    for (const auto& entry : m_entries) {
        if (entry.first == hWnd) {
            m_dispatches.emplace_back(entry.second, GetCurrentThreadId());
            return entry.second;
        }
    }
    return nullptr;
}

void CWndRegistry::Leave(const CNotifyWnd* pWnd) {
    const std::pair<const CNotifyWnd*, DWORD> use(pWnd, GetCurrentThreadId());
    CScopedLock lock(m_cs);
    // The innermost use of a nested dispatch: the last one of this thread.
    const auto it = std::find(m_dispatches.rbegin(), m_dispatches.rend(), use);
    if (it != m_dispatches.rend()) m_dispatches.erase(std::next(it).base());
}

CNotifyWnd* CWndRegistry::Find(HWND hWnd) const {
    CScopedLock lock(m_cs);
    for (const auto& entry : m_entries) {
        if (entry.first == hWnd) return entry.second;
    }
    return nullptr;
}

size_t CWndRegistry::Count() const {
    CScopedLock lock(m_cs);
    return m_entries.size();
}
