#include "exports/ExportGuard.h"


std::atomic<BYTE> g_bBusy{0};
std::atomic<BYTE> g_bStopping{0};

namespace {

// How long velStopTray waits for a running export, and in which steps.
constexpr DWORD kStopWaitMs = 3000;
constexpr DWORD kStopWaitStepMs = 100;
// How long it then waits for the library lock before it leaves the stop to the holder.
constexpr DWORD kStopLockWaitMs = 200;

}  // namespace

CExportGuard::CExportGuard() : m_state(AfxGetStaticModuleState()), m_bEntered(false) {}

CExportGuard::~CExportGuard() {
    if (m_bEntered) g_bBusy = 0;
}

bool CExportGuard::Enter() {
    if (g_bStopping) return false;
    g_bBusy = 1;
    m_bEntered = true;
    return true;
}

DWORD StopTray() {
    AFX_MAINTAIN_STATE2 state(AfxGetStaticModuleState());
    try {
        for (DWORD nWaited = 0; g_bBusy && nWaited < kStopWaitMs; nWaited += kStopWaitStepMs) {
            Sleep(kStopWaitStepMs);
        }
        g_bStopping = 1;
        // A call still inside (after the wait, or a menu open on the host's thread) keeps
        // the lock; it then carries out the stop itself when it leaves.
        g_libraryLock.RequestStop(kStopLockWaitMs);
    } catch (...) {
        g_bStopping = 1;
    }
    return 0;
}
