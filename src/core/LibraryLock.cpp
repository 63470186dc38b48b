#include "core/LibraryLock.h"

#include <algorithm>

#include "core/InitOrder.h"
#include "core/velTrayLibMgr.h"

CLibraryLock g_libraryLock VEL_SERVICE_INIT;

namespace {

// How long a waiter sleeps before it looks at the lock again: a wake-up is never lost for
// longer, and an owner that ended without leaving is noticed.
constexpr DWORD kWaitSliceMs = 50;

// True when the thread has ended (or is no longer there to ask).
bool ThreadEnded(DWORD nThreadId) {
    HANDLE hThread = OpenThread(SYNCHRONIZE, FALSE, nThreadId);
    if (hThread == nullptr) return true;
    const bool bEnded = WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0;
    CloseHandle(hThread);
    return bEnded;
}

}  // namespace

CLibraryLock::CLibraryLock()
    : m_nOwner(0),
      m_nWaiters(0),
      m_hLeft(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_nDepth(0),
      m_bStopPending(false) {}

CLibraryLock::~CLibraryLock() {
    if (m_hLeft != nullptr) CloseHandle(m_hLeft);
}

bool CLibraryLock::TryTake(DWORD nSelf) {
    DWORD nFree = 0;
    if (m_nOwner.compare_exchange_strong(nFree, nSelf)) return true;
    // As a mutex is abandoned: the next one to wait takes it over.
    DWORD nGone = nFree;
    return ThreadEnded(nGone) && m_nOwner.compare_exchange_strong(nGone, nSelf);
}

bool CLibraryLock::Acquire(DWORD nTimeoutMs) {
    const DWORD nSelf = GetCurrentThreadId();
    if (m_nOwner.load() == nSelf) {
        ++m_nDepth;
        return true;
    }
    DWORD nFree = 0;
    if (m_nOwner.compare_exchange_strong(nFree, nSelf)) {
        m_nDepth = 1;
        return true;
    }
    if (m_hLeft == nullptr) return false;
    const DWORD nStart = GetTickCount();
    ++m_nWaiters;
    bool bTaken = false;
    for (;;) {
        // Looked at after joining the waiters: a holder leaving from now on sets the event.
        if (TryTake(nSelf)) {
            bTaken = true;
            break;
        }
        DWORD nSlice = kWaitSliceMs;
        if (nTimeoutMs != INFINITE) {
            const DWORD nWaited = GetTickCount() - nStart;
            if (nWaited >= nTimeoutMs) break;
            nSlice = std::min(nSlice, nTimeoutMs - nWaited);
        }
        const DWORD nWait = MsgWaitForMultipleObjects(1, &m_hLeft, FALSE, nSlice, QS_SENDMESSAGE);
        if (nWait == WAIT_OBJECT_0 + 1) {
            // A message was sent to one of this thread's windows: answer it and wait on.
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (nWait == WAIT_FAILED) {
            break;
        }
    }
    --m_nWaiters;
    if (bTaken) m_nDepth = 1;
    return bTaken;
}

void CLibraryLock::Release() {
    if (m_nOwner.load() != GetCurrentThreadId()) return;
    if (m_nDepth == 1) RunPendingStop();
    if (--m_nDepth > 0) return;
    m_nOwner.store(0);
    if (m_nWaiters.load() > 0) SetEvent(m_hLeft);
}

void CLibraryLock::RequestStop(DWORD nWaitMs) {
    // Asked before the wait: a holder leaving meanwhile then finds the request.
    m_bStopPending = true;
    if (!Acquire(nWaitMs)) return;
    if (m_nDepth == 1) RunPendingStop();
    Release();
}

void CLibraryLock::DeferStop() { m_bStopPending = true; }

void CLibraryLock::RunPendingStop() {
    if (!m_bStopPending.exchange(false)) return;
    try {
        CvelTrayLibMgr::Instance().Stop();
    } catch (...) {
    }
}
