#include "core/HomeThread.h"

#include <utility>

#include "core/InitOrder.h"
#include "core/NotifyWnd.h"
#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"

CHomeThread g_homeThread VEL_HOME_INIT;

namespace {

// The library's frames on this thread's stack.
thread_local int t_nFrames = 0;
// The number of the last request this thread queued, 0 when it waits for none.
thread_local ULONGLONG t_nLastPosted = 0;
// Work the home thread queued for itself, run when its current frame ends: only its own, so
// that a call pays for its own pauses and not for other threads' work. Made on first use and
// never freed: a thread_local object with a destructor would leave that destructor to the
// thread's end, which may come after this library has been unloaded.
thread_local std::deque<std::function<void()>>* t_pOwnRequests = nullptr;
// Requests are running on this thread: a window they create must not start the next one
// inside its own creation.
thread_local bool t_bRunningRequests = false;

// How often a thread waiting for the home thread's requests looks again.
constexpr DWORD kWaitSliceMs = 1;

}  // namespace

CHomeThread::CHomeThread() : m_nThreadId(0), m_nQueued(0), m_nDone(0), m_nForeignFrames(0) {}

CHomeThread::~CHomeThread() = default;

void CHomeThread::Wake() {
    CScopedLock lock(m_cs);
    if (m_pRequestWnd != nullptr) PostMessageA(m_pRequestWnd->m_hWnd, RequestMessage(), 0, 0);
}

bool CHomeThread::IsCurrent() const {
    CScopedLock lock(m_cs);
    return m_nThreadId != 0 && m_nThreadId == GetCurrentThreadId();
}

bool CHomeThread::IsAlive() const {
    CScopedLock lock(m_cs);
    // A thread id alone could name a later thread that reuses it; the handle cannot.
    return m_hThread.Get() != nullptr && WaitForSingleObject(m_hThread.Get(), 0) == WAIT_TIMEOUT;
}

bool CHomeThread::Claim() {
    const DWORD nSelf = GetCurrentThreadId();
    std::unique_ptr<CNotifyWnd> pOldWnd;
    {
        CScopedLock lock(m_cs);
        if (m_nThreadId == nSelf && m_pRequestWnd != nullptr) return false;
        HANDLE hSelf = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &hSelf,
                        SYNCHRONIZE, FALSE, 0);
        m_hThread.Reset(hSelf);
        const bool bMoved = m_nThreadId != nSelf;
        m_nThreadId = nSelf;
        pOldWnd = std::move(m_pRequestWnd);
        std::unique_ptr<CNotifyWnd> pWnd(new CNotifyWnd(g_hLibInstance));
        pWnd->Create();
        m_pRequestWnd = std::move(pWnd);
        // Work queued for the old home runs here now.
        if (!m_requests.empty()) PostMessageA(m_pRequestWnd->m_hWnd, RequestMessage(), 0, 0);
        if (!bMoved) return false;
    }
    return true;
}

bool CHomeThread::Adopt() {
    if (IsCurrent() || IsAlive()) return false;
    return Claim();
}

void CHomeThread::ReleaseRequestWindow() {
    std::unique_ptr<CNotifyWnd> pWnd;
    CScopedLock lock(m_cs);
    if (m_nThreadId != GetCurrentThreadId()) return;
    pWnd = std::move(m_pRequestWnd);
}

UINT CHomeThread::RequestMessage() {
    static const UINT s_nMessage = RegisterWindowMessageA("velTrayLib home request");
    return s_nMessage;
}

void CHomeThread::Post(std::function<void()> work) {
    if (t_nFrames > 0 && IsCurrent()) {
        if (t_pOwnRequests == nullptr) t_pOwnRequests = new std::deque<std::function<void()>>;
        t_pOwnRequests->push_back(std::move(work));
        return;
    }
    CScopedLock lock(m_cs);
    m_requests.push_back(std::move(work));
    t_nLastPosted = ++m_nQueued;
    if (m_pRequestWnd != nullptr) PostMessageA(m_pRequestWnd->m_hWnd, RequestMessage(), 0, 0);
}

void CHomeThread::RunOwnRequests() {
    if (t_bRunningRequests || t_pOwnRequests == nullptr) return;
    t_bRunningRequests = true;
    while (!t_pOwnRequests->empty()) {
        std::function<void()> work = std::move(t_pOwnRequests->front());
        t_pOwnRequests->pop_front();
        try {
            work();
        } catch (...) {
        }
    }
    t_bRunningRequests = false;
}

void CHomeThread::RunOrPost(std::function<void()> work) {
    if (t_nFrames > 0 || !MayMakeWindows()) {
        Post(std::move(work));
        return;
    }
    try {
        work();
    } catch (...) {
    }
}

void CHomeThread::RunRequests() {
    if (t_bRunningRequests || !IsCurrent()) return;
    t_bRunningRequests = true;
    struct CRunning {
        ~CRunning() { t_bRunningRequests = false; }
    } running;
    for (;;) {
        std::function<void()> work;
        {
            CScopedLock lock(m_cs);
            if (m_requests.empty()) return;
            work = std::move(m_requests.front());
            m_requests.pop_front();
        }
        try {
            work();
        } catch (...) {
        }
        CScopedLock lock(m_cs);
        ++m_nDone;
    }
}

void CHomeThread::DropRequests() {
    if (t_pOwnRequests != nullptr) t_pOwnRequests->clear();
    CScopedLock lock(m_cs);
    m_nDone += m_requests.size();
    m_requests.clear();
}

bool CHomeThread::WaitForRequests(DWORD nTimeoutMs) {
    const ULONGLONG nTarget = t_nLastPosted;
    t_nLastPosted = 0;
    if (nTarget == 0) return true;
    const DWORD nStart = GetTickCount();
    for (;;) {
        {
            CScopedLock lock(m_cs);
            if (m_nDone >= nTarget) return true;
        }
        if (GetTickCount() - nStart >= nTimeoutMs) return false;
        Sleep(kWaitSliceMs);
    }
}

bool CHomeThread::InFrame() { return t_nFrames > 0 && g_homeThread.IsCurrent(); }

CHomeThread::CFrame::CFrame() : m_bForeign(false) {
    if (t_nFrames++ == 0 && !g_homeThread.IsCurrent()) {
        m_bForeign = true;
        InterlockedIncrement(&g_homeThread.m_nForeignFrames);
    }
}

CHomeThread::CFrame::~CFrame() {
    try {
        // Still counted while the requests run: they may dispatch messages, and nothing may
        // be destroyed under them.
        if (t_nFrames == 1) RunOwnRequests();
        if (--t_nFrames > 0) return;
        if (m_bForeign && InterlockedDecrement(&g_homeThread.m_nForeignFrames) == 0) {
            CvelTrayLibMgr::Instance().WakeReaper();
        }
        if (g_homeThread.IsCurrent()) CvelTrayLibMgr::Instance().ReapIfDue();
    } catch (...) {
    }
}
