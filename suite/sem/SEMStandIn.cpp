// Stand-in for the suite's SEM programs velSEMx.exe and velSEMm.exe, for the demo and the tests.
// While it runs, the tray library finds it by its file name. It creates the two named events that
// the library signals when a menu command is chosen, and prints one line each time one of them is
// signalled:
//
//   velSEMx.exe [timeout in milliseconds]
//
// Lines, each flushed at once: "ready" once both events exist, "MonitorBreakEvent" and
// "MonitorShutdown" when those are signalled, "timeout" when the time given ran out.
// It ends on "MonitorShutdown" (exit code 0) or at the time-out (exit code 1), so that a test
// never leaves it behind; exit code 2 for a bad argument or events it cannot create.
//
// The library signals "MonitorBreakEvent" first and "MonitorShutdown" right after it. The break
// event resets automatically: each wait takes one signal, and the event is first in the wait, so
// when both are signalled the break is reported before the shutdown. The shutdown event stays
// signalled (manual reset): a shutdown signalled while the break line is being printed is still
// seen, and every other waiter sees it too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    DWORD nTimeout = INFINITE;
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [timeout in milliseconds]\n", argv[0]);
        return 2;
    }
    if (argc == 2) {
        char* pEnd = nullptr;
        const unsigned long nValue = std::strtoul(argv[1], &pEnd, 10);
        if (pEnd == argv[1] || *pEnd != '\0' || nValue >= INFINITE) {
            std::fprintf(stderr, "%s: not a time-out in milliseconds: %s\n", argv[0], argv[1]);
            return 2;
        }
        nTimeout = nValue;
    }

    const HANDLE hBreak = CreateEventA(nullptr, FALSE, FALSE, "MonitorBreakEvent");
    const HANDLE hShutdown = CreateEventA(nullptr, TRUE, FALSE, "MonitorShutdown");
    int nExitCode = 2;
    if (hBreak == nullptr || hShutdown == nullptr) {
        std::fprintf(stderr, "%s: cannot create the events (error %lu)\n", argv[0], GetLastError());
    } else {
        std::puts("ready");
        std::fflush(stdout);
        // The time-out counts from the start, not from the last signal.
        const DWORD nStart = GetTickCount();
        const HANDLE handles[2] = {hBreak, hShutdown};
        for (;;) {
            DWORD nWait = INFINITE;
            if (nTimeout != INFINITE) {
                const DWORD nElapsed = GetTickCount() - nStart;
                nWait = nElapsed < nTimeout ? nTimeout - nElapsed : 0;
            }
            const DWORD nResult = WaitForMultipleObjects(2, handles, FALSE, nWait);
            if (nResult == WAIT_OBJECT_0) {
                std::puts("MonitorBreakEvent");
                std::fflush(stdout);
                continue;
            }
            if (nResult == WAIT_OBJECT_0 + 1) {
                std::puts("MonitorShutdown");
                nExitCode = 0;
            } else if (nResult == WAIT_TIMEOUT) {
                std::puts("timeout");
                nExitCode = 1;
            } else {
                std::fprintf(stderr, "%s: wait failed (error %lu)\n", argv[0], GetLastError());
            }
            std::fflush(stdout);
            break;
        }
    }
    if (hBreak != nullptr) CloseHandle(hBreak);
    if (hShutdown != nullptr) CloseHandle(hShutdown);
    return nExitCode;
}
