// The demo host: a program of the suite as it uses the tray library. It loads
// velTrayLib.dll, creates its window and plays a tour of what the library does,
// printing each call, its result, what the library tells the shell, and every
// command that reaches the host's window. At each stage it saves a screenshot
// of Wine's desktop into build/demo (next to the bin folder it runs from).
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Screenshot.h"
#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

const char kHostClass[] = "velDemoHost";

// Reports the menu commands that the library posts to the host window.
LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        std::printf("  host received WM_COMMAND 0x%04lX\n", static_cast<unsigned long>(wParam));
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

// Lets the windows of this thread (the host's and the library's) handle what arrived.
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

class DemoTour {
  public:
    DemoTour(VelTrayApi& api, HWND hHost)
        : m_api(api), m_hHost(hHost), m_shell(new ShellRecorder(api.hModule, true)) {}

    // Prints one call, its result and what the library told the shell meanwhile.
    void Report(const char* pszCall, DWORD nResult) {
        std::printf("%-52s -> 0x%08lX\n", pszCall, static_cast<unsigned long>(nResult));
        for (const ShellCall& call : m_shell->Take()) {
            static const char* const kMessages[] = {"add", "modify", "delete"};
            std::printf("  shell: %-6s", call.dwMessage < 3 ? kMessages[call.dwMessage] : "?");
            if (call.uFlags & NIF_ICON) std::printf(" picture");
            if (call.uFlags & NIF_TIP) std::printf(" tooltip \"%s\"", call.tip.c_str());
            std::printf("\n");
        }
        std::fflush(stdout);
        PumpMessages(150);
    }

    // Saves the whole desktop and the notification area at the end of the taskbar.
    void Screenshot(const char* pszStage) {
        PumpMessages(400);
        RECT rcDesktop;
        GetWindowRect(GetDesktopWindow(), &rcDesktop);
        const std::string folder = VelTrayApi::ProgramFolder() + "..\\demo\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string name = folder + pszStage;
        bool bSaved = SaveScreenshot(name + ".bmp", rcDesktop);
        HWND hTaskbar = FindWindowA("Shell_TrayWnd", nullptr);
        RECT rcTray;
        if (hTaskbar != nullptr && GetWindowRect(hTaskbar, &rcTray)) {
            rcTray.left = rcTray.right - 240;
            bSaved = SaveScreenshot(name + "-tray.bmp", rcTray) && bSaved;
        }
        std::printf("screenshot %s: %s\n", pszStage, bSaved ? "saved" : "FAILED");
        std::fflush(stdout);
    }

    void Play() {
        const char kReaderA[] = "Demo Reader A";
        const char kReaderB[] = "Demo Reader B";
        std::printf("\n== start\n");
        Report("velStartTray(host, TRUE)", m_api.velStartTray(m_hHost, TRUE));
        Report("velSetDsgnColors(0x00804000, 0xFFFFFFFF)",
               m_api.velSetDsgnColors(0x00804000, 0xFFFFFFFF));

        std::printf("\n== two readers through the card states\n");
        Report("velAddChipTray(A, 0x1)", m_api.velAddChipTray(kReaderA, 0x1));
        Report("velCardAbsent(A, 0x1)", m_api.velCardAbsent(kReaderA, 0x1));
        Report("velCardPresent(A, 0x1)", m_api.velCardPresent(kReaderA, 0x1));
        Report("velCardIdentify(A, 0x1)", m_api.velCardIdentify(kReaderA, 0x1));
        Report("velCardIdentified(A, \"Card of J. Doe\", 0, 0, 0x1)",
               m_api.velCardIdentified(kReaderA, "Card of J. Doe", 0, 0, 0x1));
        Report("velCardUnknown(A, 0x1)", m_api.velCardUnknown(kReaderA, 0x1));
        Report("velCardActive(A, 0x1)", m_api.velCardActive(kReaderA, 0x1));
        Report("velCardAbsent(B, 0x2)", m_api.velCardAbsent(kReaderB, 0x2));
        Report("velCardIdentify(B, 0x2)", m_api.velCardIdentify(kReaderB, 0x2));
        Report("velHideChipIcon(B)", m_api.velHideChipIcon(kReaderB));
        Report("velCardPresent(B, 0x2)", m_api.velCardPresent(kReaderB, 0x2));
        Report("velCardPresent(nullptr, 0x3)", m_api.velCardPresent(nullptr, 0x3));
        Screenshot("notification-area");

        std::printf("\n== the host's own menu entries\n");
        Report("velAddChipMenuItem(A, 6000, 0x10)", m_api.velAddChipMenuItem(kReaderA, 6000, 0x10));
        Report("velAddChipMenuItem(A, 6001, 0x11)", m_api.velAddChipMenuItem(kReaderA, 6001, 0x11));
        Report("velAddSEMMenuItem(6002, 0x20)", m_api.velAddSEMMenuItem(6002, 0x20));

        std::printf("\n== rotation\n");
        Report("velStartSEMRotation()", m_api.velStartSEMRotation());
        PumpMessages(1200);
        Screenshot("rotation");
        PumpMessages(1000);
        Report("velStopSEMRotation()", m_api.velStopSEMRotation());

        std::printf("\n== stop\n");
        Report("velStopTray()", m_api.velStopTray());
        Report("velCardPresent(A, 0x1) after the stop", m_api.velCardPresent(kReaderA, 0x1));
        m_shell.reset();
    }

  private:
    VelTrayApi& m_api;                       // the loaded library
    HWND m_hHost;                            // the host's window
    std::unique_ptr<ShellRecorder> m_shell;  // shows what the library tells the shell
};

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
    DemoTour(api, hHost).Play();
    if (hHost != nullptr) DestroyWindow(hHost);
    api.Unload();
    std::printf("velTrayLib.dll unloaded\n");
    return 0;
}
