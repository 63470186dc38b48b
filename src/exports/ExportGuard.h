// The guard every export passes through: the library's module state for the
// whole call, the two process-wide flags, and the shared prologue.
#pragma once

#include <windows.h>

#include <atomic>

#include "core/HomeThread.h"
#include "core/velTrayLibMgr.h"
#include "framework/ModuleState.h"

// An export is inside the library. A flag, not a counter: overlapping calls both
// set it and the first to leave clears it. Atomic only so that reads and writes
// from several threads are well defined; it is not a lock.
extern std::atomic<BYTE> g_bBusy;
// The tray was stopped; every later call is ignored until the library is unloaded.
extern std::atomic<BYTE> g_bStopping;

// Result of velStartTray when the start failed.
constexpr DWORD VEL_RESULT_FAIL = 0x10090000;

// Scope of a guarded export: module state first, then the stop test and the busy
// flag, which the destructor clears on every way out.
class CExportGuard {
  public:
    CExportGuard();
    ~CExportGuard();
    CExportGuard(const CExportGuard&) = delete;
    CExportGuard& operator=(const CExportGuard&) = delete;

    // False when the tray was stopped: the export must return 0 at once.
    bool Enter();

  private:
    AFX_MAINTAIN_STATE2 m_state;  // the library's module state for the whole call
    bool m_bEntered;              // this call set the busy flag
};

// How long an export on another thread waits for the home thread to carry out the work it
// handed over (a new icon's window, say), so that its effect shows before it returns. A home
// thread that is busy elsewhere gets to it later; the export does not wait for that.
constexpr DWORD kHomeWaitMs = 80;

// Runs an export's work behind the guard and the prologue, under the tray's lock, as one of
// the library's frames. Whatever the work raises is contained: the result is then nFailure,
// else 0. Work for the home thread that it queued runs when the frame ends (on the home
// thread) or is waited for a short while (elsewhere).
template <typename Work>
DWORD RunGuarded(Work work, DWORD nFailure = 0) {
    CExportGuard guard;
    if (!guard.Enter()) {
        // A stopped tray: the home thread's calls still destroy what the stop left behind,
        // for a home thread that handles no messages never gets the reaper's wake-up.
        if (g_homeThread.IsCurrent() && !CHomeThread::InFrame()) {
            CvelTrayLibMgr::Instance().ReapIfDue();
        }
        return 0;
    }
    DWORD nResult = 0;
    {
        CHomeThread::CFrame frame;
        try {
            CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
            // Calls from several threads take turns; a stop that came while this one waited
            // has taken out what the work would use.
            CScopedLock lock(mgr.GetLock());
            if (g_bStopping) return 0;
            mgr.EnsureHome(false);
            work();
        } catch (...) {
            nResult = nFailure;
        }
    }
    if (!g_homeThread.IsCurrent()) g_homeThread.WaitForRequests(kHomeWaitMs);
    return nResult;
}

// velStopTray: waits up to 3000 ms for a running export, marks the library as
// stopped for good and stops the tray manager: every icon leaves the notification area
// before it returns, and, unless it was called from inside one of the library's own
// frames on the home thread, everything of the library is destroyed too.
DWORD StopTray();
