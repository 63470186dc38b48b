#include "core/WorkerThread.h"

#include <process.h>

#include <new>

#include "framework/CriticalSection.h"

namespace {

// How long a stop first waits for an end that has come already, before it asks for one.
constexpr DWORD kEndedWaitMs = 100;

}  // namespace

// What every thread of one object is started with. The object holds one reference and each
// thread one more; the last holder frees the record. The lock orders the end of a thread against
// a new Start and against the object's destruction.
class CWorkerThread::CStartRecord {
  public:
    // One reference, held by the object; the events are second handles to the object's.
    CStartRecord(CWorkerThread* pThread, const CThreadEvent& evStarted,
                 const CThreadEvent& evFinished)
        : m_nRefs(1),
          m_pThread(pThread),
          m_nRun(0),
          m_evStarted(evStarted),
          m_evFinished(evFinished) {}
    CStartRecord(const CStartRecord&) = delete;
    CStartRecord& operator=(const CStartRecord&) = delete;

    // Takes a reference for a new thread.
    void AddRef() { InterlockedIncrement(&m_nRefs); }

    // Drops a reference; the last one frees the record.
    void Release() {
        if (InterlockedDecrement(&m_nRefs) == 0) delete this;
    }

    // True when both events have a handle, so that a thread can report its start and its end.
    bool HasEvents() const {
        return m_evStarted.m_hEvent != nullptr && m_evFinished.m_hEvent != nullptr;
    }

    // Makes a new run the current one. The finished event of an earlier run that nobody waited
    // for is cleared, and earlier threads cannot signal it any more.
    void BeginRun() {
        CScopedLock lock(m_lock);
        ++m_nRun;
        m_evFinished.Reset();
    }

    // The object to run (null once it has gone) and the number of the run the thread belongs to.
    CWorkerThread* Enter(DWORD& nRun) {
        CScopedLock lock(m_lock);
        nRun = m_nRun;
        return m_pThread;
    }

    // Signals that the thread runs.
    DWORD SignalStarted() { return m_evStarted.Set(); }

    // Records the end of Run in the object and signals the finished event, both only when the
    // object is still there and the run is still its current one.
    DWORD Finish(DWORD nRun, DWORD nExitCode) {
        CScopedLock lock(m_lock);
        if (m_pThread == nullptr || nRun != m_nRun) return CThreadEvent::RESULT_OK;
        m_pThread->m_nExitCode = nExitCode;
        m_pThread->m_nState = ThreadState::kIdle;
        return m_evFinished.Set();
    }

    // Called by the object's destructor: threads still running no longer reach it.
    void Detach() {
        CScopedLock lock(m_lock);
        m_pThread = nullptr;
    }

  private:
    // Only Release frees the record.
    ~CStartRecord() = default;

    LONG m_nRefs;               // references held by the object and by threads
    CCriticalSection m_lock;    // guards m_pThread, m_nRun and the finishing of a run
    CWorkerThread* m_pThread;   // the object, null once it is destroyed
    DWORD m_nRun;               // number of the object's current run, counted by Start
    CThreadEvent m_evStarted;   // own handle to the object's started event
    CThreadEvent m_evFinished;  // own handle to the object's finished event
};

CWorkerThread::CWorkerThread()
    : m_bStopRequested(0),
      m_nState(ThreadState::kIdle),
      m_nThreadId(0),
      m_nExitCode(0),
      m_pStartCtx(nullptr),
      m_evStarted(nullptr, CThreadEvent::MODE_AUTO_RESET),
      m_evFinished(nullptr, CThreadEvent::MODE_AUTO_RESET) {
    // Without memory for the record the object stays unable to start (see Start).
    m_pStartCtx = new (std::nothrow) CStartRecord(this, m_evStarted, m_evFinished);
}

CWorkerThread::~CWorkerThread() {
    Stop(StopMode::kNoWait);
    // A thread that ended its Run just past Stop's short wait may still be held.
    ReleaseThread();
    if (m_pStartCtx != nullptr) {
        m_pStartCtx->Detach();
        m_pStartCtx->Release();
    }
}

DWORD CWorkerThread::Start() {
    m_bStopRequested = 0;
    // The handle of an earlier thread that ended without a Stop: that thread is past its Run.
    m_hThread.Reset();
    // Without the record or an event no thread could report its start or end; such a thread
    // is not made at all, which counts as a failed start.
    if (m_pStartCtx == nullptr || !m_pStartCtx->HasEvents()) {
        m_nState = ThreadState::kStartFailed;
        return CThreadEvent::RESULT_FAIL;
    }
    m_pStartCtx->BeginRun();
    // Marked running before the thread exists: a short Run that ends before this call resumes
    // must leave the object idle, not running.
    m_nState = ThreadState::kRunning;
    m_pStartCtx->AddRef();
    unsigned nThreadId = 0;
    const uintptr_t hThread = _beginthreadex(nullptr, 0, ThreadEntry, m_pStartCtx, 0, &nThreadId);
    if (hThread == 0) {
        m_pStartCtx->Release();
        m_nState = ThreadState::kStartFailed;
        return CThreadEvent::RESULT_FAIL;
    }
    m_nThreadId = nThreadId;
    m_hThread.Reset(reinterpret_cast<HANDLE>(hThread));
    const HANDLE handles[2] = {m_evStarted.m_hEvent, m_hThread.Get()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    return CThreadEvent::RESULT_OK;
}

DWORD CWorkerThread::Stop(StopMode mode) {
    return RequestStop(mode == StopMode::kWait ? INFINITE : 0);
}

DWORD CWorkerThread::StopWithin(DWORD nMilliseconds) { return RequestStop(nMilliseconds); }

DWORD CWorkerThread::RequestStop(DWORD nWaitMs) {
    // A thread whose Run has returned is taken as stopped, without a stop request.
    if (WaitForEnd(kEndedWaitMs)) {
        ReleaseThread();
        return CThreadEvent::RESULT_OK;
    }
    if (m_nState != ThreadState::kRunning) return CThreadEvent::RESULT_FAIL;
    m_bStopRequested = 1;
    if (nWaitMs != 0) WaitForEnd(nWaitMs);
    ReleaseThread();
    return CThreadEvent::RESULT_OK;
}

unsigned __stdcall CWorkerThread::ThreadEntry(void* pArg) {
    CStartRecord* pRecord = static_cast<CStartRecord*>(pArg);
    if (pRecord == nullptr) return CThreadEvent::RESULT_FAIL;
    DWORD nResult = CThreadEvent::RESULT_FAIL;
    try {
        DWORD nRun = 0;
        CWorkerThread* pThread = pRecord->Enter(nRun);
        nResult = pRecord->SignalStarted();
        if (nResult == CThreadEvent::RESULT_OK) {
            // A failure raised in Run counts as its result 0x10090000, so that the object still
            // goes back to idle and a waiting Stop is released by the finished event.
            try {
                nResult = pThread != nullptr ? pThread->Run() : CThreadEvent::RESULT_NO_OBJECT;
            } catch (...) {
                nResult = CThreadEvent::RESULT_FAIL;
            }
            const DWORD nFinished = pRecord->Finish(nRun, nResult);
            if (nFinished != CThreadEvent::RESULT_OK) nResult = nFinished;
        }
    } catch (...) {
        nResult = CThreadEvent::RESULT_FAIL;
    }
    pRecord->Release();
    // Returning hands the result to _endthreadex, which the runtime calls for the thread.
    return nResult;
}

bool CWorkerThread::WaitForEnd(DWORD nMilliseconds) {
    // The event comes first: when both are signalled the wait takes the event's signal, so no
    // stale signal stays behind.
    HANDLE handles[2];
    DWORD nCount = 0;
    if (m_evFinished.m_hEvent != nullptr) handles[nCount++] = m_evFinished.m_hEvent;
    if (m_hThread.Get() != nullptr) handles[nCount++] = m_hThread.Get();
    if (nCount == 0) return false;
    return WaitForMultipleObjects(nCount, handles, FALSE, nMilliseconds) < WAIT_OBJECT_0 + nCount;
}

void CWorkerThread::ReleaseThread() {
    m_hThread.Reset();
    m_nState = ThreadState::kIdle;
}
