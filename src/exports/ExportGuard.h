// The guard every export passes through: the library's module state for the
// whole call, the two process-wide flags, and the shared prologue.
#pragma once

#include <windows.h>

#include <atomic>

#include "core/LibraryLock.h"
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

// Runs an export's work behind the guard and the prologue. Whatever the work
// raises is contained: the result is then nFailure, else 0.
template <typename Work>
DWORD RunGuarded(Work work, DWORD nFailure = 0) {
    CExportGuard guard;
    if (!guard.Enter()) return 0;
    // Calls from several threads take turns; a stop that came while this one waited
    // has destroyed what the work would use.
    CLibraryLock::CScope lock(g_libraryLock);
    if (g_bStopping) return 0;
    try {
        work();
        return 0;
    } catch (...) {
        return nFailure;
    }
}

// velStopTray: waits up to 3000 ms for a running export, marks the library as
// stopped for good and stops the tray manager.
DWORD StopTray();
