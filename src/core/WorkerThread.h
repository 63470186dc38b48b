// A thread object over the runtime's _beginthreadex: Start runs Run once on a new thread, and
// the stop is cooperative, Stop setting m_bStopRequested for Run to poll.
//
// A thread may outlive its object: Stop(kNoWait), StopWithin and the destructor do not wait
// for it. The thread therefore never reaches the object or the object's event handles on
// its own account. It holds a reference to a shared start record, which owns handles of its own
// to both events and tells, under its lock, whether the object is still there and whether the
// thread's run is still the object's current one. When the object has gone, or has been started
// again meanwhile, the end of an old thread neither writes the object's fields nor signals the
// finished event, so no stale signal can end a later Stop early. What Run itself touches is the
// deriving class's affair: the object must stay alive while Run executes, which is why its users
// stop with kWait before destroying it.
//
// A thread that ends without signalling its events (a failed event call) still releases a
// waiting Start or Stop: both wait for the event or the end of the thread, whichever comes first.
#pragma once

#include <windows.h>

#include <atomic>

#include "core/ThreadEvent.h"
#include "framework/KernelHandle.h"

class CWorkerThread {
  public:
    // Where the object stands; the thread itself sets kIdle when its Run returns.
    enum class ThreadState : LONG {
        kIdle,         // no thread, or its Run has returned
        kRunning,      // a thread was started and its Run has not returned
        kStartFailed,  // the last Start could make no thread
    };
    // Whether Stop waits for the thread's end.
    enum class StopMode {
        kWait,    // until the thread has ended, however long it takes
        kNoWait,  // not at all: the thread is left to end by itself
    };

    // All fields zero, the start record and both events created.
    CWorkerThread();
    // Stop(kNoWait), then leaves the start record to the threads still holding it and closes
    // both events.
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts a thread that calls Run and waits until it runs. 0, or 0x10090000 with the state
    // kStartFailed when no thread could be made. Does not test whether a thread runs already.
    virtual DWORD Start();
    // Asks the thread to stop and waits for its end or not, as the mode says. 0 when the object
    // is left idle without a thread handle, 0x10090000 when no thread was running.
    virtual DWORD Stop(StopMode mode);
    // The same, waiting at most nMilliseconds for the thread's end.
    DWORD StopWithin(DWORD nMilliseconds);
    // Gives the thread up; left to derived classes.
    virtual DWORD Abandon() = 0;
    // The thread's work, called on the new thread; its result becomes m_nExitCode.
    virtual DWORD Run() = 0;

    // The handle of the thread held, or null.
    HANDLE GetThreadHandle() const { return m_hThread.Get(); }

    std::atomic<BYTE> m_bStopRequested;  // set by Stop when the thread must end; Run polls it
    std::atomic<ThreadState> m_nState;   // idle, running or start failed
    unsigned m_nThreadId;                // id of the last thread started
    std::atomic<DWORD> m_nExitCode;      // result of the last Run

  private:
    class CStartRecord;

    // Entry of every thread; the argument is the start record.
    static unsigned __stdcall ThreadEntry(void* pArg);
    // Waits for the finished event or the end of the held thread; true when either came.
    bool WaitForEnd(DWORD nMilliseconds);
    // Closes the held thread handle and marks the object idle.
    void ReleaseThread();
    // Stop's work: the stop request, then a wait of at most nWaitMs (none for 0).
    DWORD RequestStop(DWORD nWaitMs);

    CStartRecord* m_pStartCtx;  // shared with the threads started, one reference ours; may be null
    CKernelHandle m_hThread;    // the thread, null when none is held
    CThreadEvent m_evStarted;   // signalled by a new thread once it runs
    CThreadEvent m_evFinished;  // signalled by the thread when Run has returned
};
