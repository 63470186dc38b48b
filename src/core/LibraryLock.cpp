#include "core/LibraryLock.h"

#include "core/InitOrder.h"
#include "core/velTrayLibMgr.h"

CLibraryLock g_libraryLock VEL_SERVICE_INIT;

CLibraryLock::CLibraryLock()
    : m_hMutex(CreateMutexA(nullptr, FALSE, nullptr)), m_nDepth(0), m_bStopPending(false) {}

CLibraryLock::~CLibraryLock() {
    if (m_hMutex != nullptr) CloseHandle(m_hMutex);
}

bool CLibraryLock::Acquire(DWORD nTimeoutMs) {
    if (m_hMutex == nullptr) return false;
    const DWORD nStart = GetTickCount();
    for (;;) {
        DWORD nLeft = INFINITE;
        if (nTimeoutMs != INFINITE) {
            const DWORD nWaited = GetTickCount() - nStart;
            nLeft = nWaited < nTimeoutMs ? nTimeoutMs - nWaited : 0;
        }
        const DWORD nWait = MsgWaitForMultipleObjects(1, &m_hMutex, FALSE, nLeft, QS_SENDMESSAGE);
        if (nWait == WAIT_OBJECT_0 || nWait == WAIT_ABANDONED_0) {
            ++m_nDepth;
            return true;
        }
        if (nWait != WAIT_OBJECT_0 + 1) return false;
        // A message was sent to one of this thread's windows: answer it and wait on.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CLibraryLock::Release() {
    if (m_nDepth == 1) RunPendingStop();
    --m_nDepth;
    ReleaseMutex(m_hMutex);
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
