#include "exports/ExportGuard.h"

std::atomic<BYTE> g_bBusy{0};
std::atomic<BYTE> g_bStopping{0};

namespace {

// How long velStopTray waits for a running export, and in which steps.
constexpr DWORD kStopWaitMs = 3000;
constexpr DWORD kStopWaitStepMs = 100;
// How long after its start velStopTray gives up waiting for the home thread's clean-up: its
// wait for a running export and the end of the rotation come first, and the whole stop stays
// within 3.5 s.
constexpr DWORD kStopTotalMs = 3300;

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
        const DWORD nStart = GetTickCount();
        for (DWORD nWaited = 0; g_bBusy && nWaited < kStopWaitMs; nWaited += kStopWaitStepMs) {
            Sleep(kStopWaitStepMs);
        }
        g_bStopping = 1;
        CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
        {
            CHomeThread::CFrame frame;
            mgr.Stop(true);
        }
        // Called by a host handler that one of the library's own loops dispatches on the home
        // thread: the objects go as soon as control has come back out of that loop.
        if (CHomeThread::InFrame()) return 0;
        const DWORD nSpent = GetTickCount() - nStart;
        mgr.WaitUntilReaped(nSpent < kStopTotalMs ? kStopTotalMs - nSpent : 0);
    } catch (...) {
        g_bStopping = 1;
    }
    return 0;
}
