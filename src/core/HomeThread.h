// The thread that owns every window of the library: the icons' callback windows, the
// window that owns the menus, the menus and the information window. It is the thread of
// the last velStartTray, the host's user-interface thread; before any start, the first
// thread that needed a window. Windows answer only on their own thread, so a thread that
// needs one of them worked on hands the work to the home thread as a request, posted to
// the home thread's request window, and never waits for it for long.
//
// The library's frames on the home thread (an export, a message of one of its windows)
// are counted. Objects with windows are destroyed only when no such frame is on the home
// thread's stack, so no modal loop, window procedure or member of theirs is still running
// when they go; see CvelTrayLibMgr::Stop.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>

#include "framework/CriticalSection.h"
#include "framework/KernelHandle.h"

class CNotifyWnd;

class CHomeThread {
  public:
    CHomeThread();
    ~CHomeThread();
    CHomeThread(const CHomeThread&) = delete;
    CHomeThread& operator=(const CHomeThread&) = delete;

    // True on the home thread.
    bool IsCurrent() const;
    // True when there is a home thread and it has not ended.
    bool IsAlive() const;
    // True where windows may be made: on the home thread, or anywhere while there is none.
    bool MayMakeWindows() const { return IsCurrent() || !IsAlive(); }
    // Makes the calling thread the home thread, with a request window of its own; true when
    // it was not the home thread before (the windows of the old one must move).
    bool Claim();
    // Claims the home for the calling thread when there is none or it has ended; true when
    // the home moved to the calling thread.
    bool Adopt();
    // Destroys the request window, on the home thread: the tray has stopped for good.
    void ReleaseRequestWindow();

    // Runs work on the home thread: on the home thread inside a library frame, when its
    // outermost frame ends; from elsewhere, when the home thread gets the wake-up message
    // that this posts to its request window. The work must not raise; it runs without any
    // lock held.
    void Post(std::function<void()> work);
    // Runs work at once where windows may be made and no library frame (which may hold the
    // tray's lock) is on the stack; posts it otherwise.
    void RunOrPost(std::function<void()> work);
    // Sends the home thread the wake-up message: its next frame end runs the requests and
    // destroys what the stop left behind.
    void Wake();
    // Runs the work other threads queued, on the home thread only; others return at once.
    void RunRequests();
    // Runs the work this thread queued for itself as the home thread.
    static void RunOwnRequests();
    // Forgets the queued work (the tray is stopping: its objects go).
    void DropRequests();
    // Waits at most nTimeoutMs until the work this thread queued has run; true when it has.
    bool WaitForRequests(DWORD nTimeoutMs);

    // The message that wakes the home thread for its requests.
    static UINT RequestMessage();

    // A library frame of the calling thread, for its whole scope. When the outermost frame on
    // the home thread ends, queued work runs and what the stop left behind is destroyed.
    class CFrame {
      public:
        CFrame();
        ~CFrame();
        CFrame(const CFrame&) = delete;
        CFrame& operator=(const CFrame&) = delete;

      private:
        bool m_bForeign;  // the outermost frame of a thread other than the home thread
    };

    // True on the home thread while one of the library's frames is on its stack.
    static bool InFrame();
    // Number of frames of other threads now running.
    LONG ForeignFrames() const { return m_nForeignFrames; }

  private:
    mutable CCriticalSection m_cs;                 // guards every member below
    DWORD m_nThreadId;                             // the home thread's id, 0 before the first
    CKernelHandle m_hThread;                       // the home thread: tells it has ended
    std::unique_ptr<CNotifyWnd> m_pRequestWnd;     // gets the wake-up message; on the home thread
    std::deque<std::function<void()>> m_requests;  // work not yet started
    ULONGLONG m_nQueued;                           // requests queued since the library loaded
    ULONGLONG m_nDone;                             // requests run or dropped since then
    volatile LONG m_nForeignFrames;                // frames of other threads now running
};

extern CHomeThread g_homeThread;
