// The demo host: a program of the suite as it uses the tray library. It loads
// velTrayLib.dll, creates its window, drives the exports and prints each result
// and every command that reaches its window.
#include <windows.h>

#include <cstdio>

#include "VelTrayApi.h"

namespace {

const char kHostClass[] = "velDemoHost";

// Reports the menu commands that the library posts to the host window.
LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        std::printf("host received WM_COMMAND 0x%04lX\n", static_cast<unsigned long>(wParam));
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

HWND CreateHostWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassA(&wc);
    return CreateWindowExA(0, kHostClass, "velTray demo host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 320, 200, nullptr, nullptr, wc.hInstance, nullptr);
}

// Prints one call and its result.
void Report(const char* pszCall, DWORD nResult) {
    std::printf("%-48s -> 0x%08lX\n", pszCall, static_cast<unsigned long>(nResult));
    std::fflush(stdout);
}

// Lets the host window handle what has arrived for a while.
void PumpMessages(DWORD nMilliseconds) {
    const DWORD nEnd = GetTickCount() + nMilliseconds;
    while (static_cast<LONG>(nEnd - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

}  // namespace

int main() {
    VelTrayApi api;
    if (!api.Load()) {
        std::printf("cannot load velTrayLib.dll beside the demo host (error %lu)\n",
                    GetLastError());
        return 1;
    }
    std::printf("velTrayLib.dll loaded\n");
    HWND hHost = CreateHostWindow();
    std::printf("host window %s\n", hHost != nullptr ? "created" : "NOT created");

    const char kReaderA[] = "Demo Reader A";
    const char kReaderB[] = "Demo Reader B";
    Report("velStartTray(host, TRUE)", api.velStartTray(hHost, TRUE));
    Report("velSetDsgnColors(0x00804000, 0xFFFFFFFF)",
           api.velSetDsgnColors(0x00804000, 0xFFFFFFFF));
    Report("velAddChipTray(A, 0x1)", api.velAddChipTray(kReaderA, 0x1));
    Report("velCardPresent(A, 0x1)", api.velCardPresent(kReaderA, 0x1));
    Report("velAddChipMenuItem(A, 4000, 0x10)", api.velAddChipMenuItem(kReaderA, 4000, 0x10));
    Report("velCardIdentify(A, 0x1)", api.velCardIdentify(kReaderA, 0x1));
    Report("velCardIdentified(A, \"Card of J. Doe\", 0, 0, 0x1)",
           api.velCardIdentified(kReaderA, "Card of J. Doe", 0, 0, 0x1));
    Report("velCardAbsent(B, 0x2)", api.velCardAbsent(kReaderB, 0x2));
    Report("velCardUnknown(B, 0x2)", api.velCardUnknown(kReaderB, 0x2));
    Report("velCardActive(B, 0x2)", api.velCardActive(kReaderB, 0x2));
    Report("velHideChipIcon(B)", api.velHideChipIcon(kReaderB));
    Report("velCardPresent(nullptr, 0x3)", api.velCardPresent(nullptr, 0x3));
    PumpMessages(500);
    Report("velStopTray()", api.velStopTray());
    Report("velCardPresent(A, 0x1) after stop", api.velCardPresent(kReaderA, 0x1));

    if (hHost != nullptr) DestroyWindow(hHost);
    api.Unload();
    std::printf("velTrayLib.dll unloaded\n");
    return 0;
}
