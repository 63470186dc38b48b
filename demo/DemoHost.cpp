// The demo host: a program of the suite as it uses the tray library. It loads
// velTrayLib.dll, creates its window and plays a tour of what the library does,
// printing each call, its result, what the library tells the shell, and every
// command that reaches the host's window. At each stage it saves a screenshot
// of Wine's desktop into build/demo (next to the bin folder it runs from). From the
// information window on, it also prints what a screen reader hears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ScreenReaderLog.h"
#include "Screenshot.h"
#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

const char kHostClass[] = "velDemoHost";

// Reports the menu commands that the library posts to the host window.
LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        std::printf("  host received WM_COMMAND 0x%lX\n", static_cast<unsigned long>(wParam));
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
    DemoTour(VelTrayApi& api, HWND hHost, bool bHeadless)
        : m_api(api),
          m_hHost(hHost),
          m_bHeadless(bHeadless),
          m_shell(new ShellRecorder(api.hModule, true)) {}

    // Prints one call, its result and what the library told the shell meanwhile.
    void Report(const char* pszCall, DWORD nResult) {
        std::printf("%-52s -> 0x%08lX\n", pszCall, static_cast<unsigned long>(nResult));
        const std::vector<ShellCall> calls = m_shell->Take();
        m_history.insert(m_history.end(), calls.begin(), calls.end());
        for (const ShellCall& call : calls) {
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
        SaveStage(pszStage, nullptr);
    }

    // Saves the desktop (or a part of it) and the notification area; callable from any thread.
    static void SaveStage(const char* pszStage, const RECT* pPart) {
        RECT rcDesktop;
        GetWindowRect(GetDesktopWindow(), &rcDesktop);
        if (pPart != nullptr) IntersectRect(&rcDesktop, &rcDesktop, pPart);
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
        Report("velAddChipTray(A, 0x10000)", m_api.velAddChipTray(kReaderA, 0x10000));
        Report("velCardAbsent(A, 0x10000)", m_api.velCardAbsent(kReaderA, 0x10000));
        Report("velCardPresent(A, 0x10000)", m_api.velCardPresent(kReaderA, 0x10000));
        Report("velCardIdentify(A, 0x10000)", m_api.velCardIdentify(kReaderA, 0x10000));
        Report("velCardIdentified(A, \"Card of J. Doe\", 0, 0, 0x10000)",
               m_api.velCardIdentified(kReaderA, "Card of J. Doe", 0, 0, 0x10000));
        Report("velCardUnknown(A, 0x10000)", m_api.velCardUnknown(kReaderA, 0x10000));
        Report("velCardActive(A, 0x10000)", m_api.velCardActive(kReaderA, 0x10000));
        Report("velCardAbsent(B, 0x20000)", m_api.velCardAbsent(kReaderB, 0x20000));
        Report("velCardIdentify(B, 0x20000)", m_api.velCardIdentify(kReaderB, 0x20000));
        Report("velHideChipIcon(B)", m_api.velHideChipIcon(kReaderB));
        Report("velCardPresent(B, 0x20000)", m_api.velCardPresent(kReaderB, 0x20000));
        Report("velCardPresent(nullptr, 0x3)", m_api.velCardPresent(nullptr, 0x3));
        Screenshot("notification-area");

        std::printf("\n== the host's own menu entries\n");
        Report("velAddChipMenuItem(A, 6000, 0x10)", m_api.velAddChipMenuItem(kReaderA, 6000, 0x10));
        Report("velAddChipMenuItem(A, 6001, 0x11)", m_api.velAddChipMenuItem(kReaderA, 6001, 0x11));
        Report("velAddSEMMenuItem(6002, 0x20)", m_api.velAddSEMMenuItem(6002, 0x20));

        std::printf("\n== information window and alert\n");
        const ScreenReaderLog screenReader(true);
        Report("velShowInformation(6010)", m_api.velShowInformation(6010));
        Screenshot("information");
        Report("velHideInformation()", m_api.velHideInformation());
        Report("velMMVAlert(\"Card removed\", \"The signature card was removed.\", 0)",
               m_api.velMMVAlert("Card removed", "The signature card was removed.", 0));
        Screenshot("alert");
        Report("velHideInformation()", m_api.velHideInformation());

        std::printf("\n== rotation\n");
        Report("velStartSEMRotation()", m_api.velStartSEMRotation());
        PumpMessages(1200);
        Screenshot("rotation");
        PumpMessages(1000);
        Report("velStopSEMRotation()", m_api.velStopSEMRotation());

        if (m_bHeadless) {
            PlayMenus(kReaderA);
        } else {
            std::printf("\n== your turn: click the icons; close the host window to stop\n");
            std::fflush(stdout);
            ShowWindow(m_hHost, SW_SHOWNORMAL);
            MSG msg;
            while (IsWindow(m_hHost) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
                DispatchMessageA(&msg);
            }
        }

        std::printf("\n== stop\n");
        Report("velStopTray()", m_api.velStopTray());
        Report("velCardPresent(A, 0x10000) after the stop",
               m_api.velCardPresent(kReaderA, 0x10000));
        m_shell.reset();
    }

  private:
    // Opens both context menus with real clicks as a user would, saves a screenshot of
    // each and chooses an entry: the host's own in the chip menu, Exit in the SEM menu.
    void PlayMenus(const char* pszReader) {
        std::printf("\n== context menus, clicked as a user would\n");
        std::fflush(stdout);
        PumpMessages(200);
        HWND hSemIcon = nullptr;
        HWND hChipIcon = nullptr;
        for (const ShellCall& call : m_history) {
            if (call.dwMessage != NIM_ADD) continue;
            if (hSemIcon == nullptr) hSemIcon = call.hWnd;
            if (call.tip == pszReader) hChipIcon = call.hWnd;
        }
        // The monitor runs while the menus are used and reports the events it receives.
        SemStandIn monitor("velSEMm.exe", false);
        PlayMenu(hChipIcon, 3, "chip-menu", 0x10010);
        PlayMenu(hSemIcon, 1, "sem-menu", 0x1800);
        PumpMessages(500);
    }

    void PlayMenu(HWND hIconWnd, int nButton, const char* pszStage, int nChoice) {
        POINT pt;
        if (hIconWnd == nullptr || !IconCenter(hIconWnd, m_history, pt)) {
            std::printf("%s: the icon is not in the notification area\n", pszStage);
            return;
        }
        PlayAsUser([&] {
            Click(pt, nButton);
            HWND hMenu = WaitForMenu();
            if (hMenu == nullptr) return;
            RECT rc;
            GetWindowRect(hMenu, &rc);
            InflateRect(&rc, 40, 40);
            SaveStage(pszStage, &rc);
            std::vector<MenuItem> items = ReadMenu(hMenu);
            for (const MenuItem& item : items) {
                std::printf("  %s entry 0x%X \"%s\"\n", pszStage, item.nCommand, item.text.c_str());
            }
            std::fflush(stdout);
            const MenuItem* pChoice = FindItem(items, nChoice);
            if (pChoice != nullptr) {
                std::printf("  the user chooses \"%s\"\n", pChoice->text.c_str());
                std::fflush(stdout);
                Click(pChoice->center, 1);
            }
            WaitForNoMenu();
        });
    }

    VelTrayApi& m_api;                       // the loaded library
    HWND m_hHost;                            // the host's window
    bool m_bHeadless;                        // nobody watches: the tour plays the user too
    std::unique_ptr<ShellRecorder> m_shell;  // shows what the library tells the shell
    std::vector<ShellCall> m_history;        // every call the shell received so far
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
    const char* pszHeadless = getenv("VEL_HEADLESS");
    DemoTour(api, hHost, pszHeadless != nullptr && pszHeadless[0] == '1').Play();
    if (hHost != nullptr) DestroyWindow(hHost);
    api.Unload();
    std::printf("velTrayLib.dll unloaded\n");
    return 0;
}
