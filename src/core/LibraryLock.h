// The one lock of the library's tray state. Every export holds it while it works,
// and so does every window message that acts on the icons; so objects are never
// destroyed while another thread uses them.
//
// Waiting for it keeps dispatching messages sent to the waiting thread's windows:
// a holder may send a message to a window of a waiter (setting a window's text,
// for example), and a waiter that did not answer would deadlock both.
//
// The stop of the tray manager can be requested while someone holds the lock (a
// velStopTray that cannot wait any longer, or a menu that wants the tray gone
// while its own window is still dispatching). It is then carried out by the
// holder when it leaves its outermost scope, so nothing is destroyed under it.
#pragma once

#include <windows.h>

#include <atomic>

class CLibraryLock {
  public:
    CLibraryLock();
    ~CLibraryLock();
    CLibraryLock(const CLibraryLock&) = delete;
    CLibraryLock& operator=(const CLibraryLock&) = delete;

    // Takes the lock (recursively), waiting at most nTimeoutMs; false when it timed out.
    bool Acquire(DWORD nTimeoutMs);
    // Leaves one level; the outermost level first carries out a requested stop.
    void Release();
    // Asks for the tray manager's stop: at once when the caller holds the lock outermost
    // or can take it within nWaitMs, else by the holder when it leaves.
    void RequestStop(DWORD nWaitMs);
    // Asks for the stop without waiting: the caller holds the lock, and the stop is
    // carried out when its outermost scope ends.
    void DeferStop();

    // Holds the lock for a scope, waiting as long as it takes.
    class CScope {
      public:
        explicit CScope(CLibraryLock& lock) : m_lock(lock) { m_lock.Acquire(INFINITE); }
        ~CScope() { m_lock.Release(); }
        CScope(const CScope&) = delete;
        CScope& operator=(const CScope&) = delete;

      private:
        CLibraryLock& m_lock;  // the lock held
    };

  private:
    // Carries out a requested stop; the caller holds the lock.
    void RunPendingStop();
    // Takes the lock when it is free, or when its owner thread has ended without leaving it.
    bool TryTake(DWORD nSelf);

    // The owning thread's id, 0 when free. Taking a free lock is one interlocked exchange:
    // every export takes it, and a system object would cost a server round trip each time.
    std::atomic<DWORD> m_nOwner;
    std::atomic<LONG> m_nWaiters;      // threads sleeping until the lock is left
    HANDLE m_hLeft;                    // set when the lock is left while someone waits
    DWORD m_nDepth;                    // levels held by the owning thread
    std::atomic<bool> m_bStopPending;  // the tray manager's stop is asked for
};

extern CLibraryLock g_libraryLock;
