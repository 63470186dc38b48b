// The library end to end in Wine's desktop, driven as a user would: real mouse
// clicks on the icons in the notification area and on the menu entries (xdotool
// on the X display), the host's window receiving the commands, and the suite's
// SEM stand-in receiving the events.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

constexpr DWORD kWaitMs = 8000;

// Runs a Linux program of the X display (xdotool) and waits for it. Called on the
// driver thread; the test's main thread answers messages meanwhile.
void RunUnix(const std::string& commandLine) {
    std::string cmd = "cmd /c start /wait /unix " + commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return;
    }
    WaitForSingleObject(pi.hProcess, kWaitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void Click(POINT pt, int nButton) {
    RunUnix("/usr/bin/xdotool mousemove " + std::to_string(pt.x) + " " + std::to_string(pt.y) +
            " click " + std::to_string(nButton));
}

// Answers this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD nTimeoutMs) {
    const DWORD nStart = GetTickCount();
    while (!done()) {
        if (GetTickCount() - nStart > nTimeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Plays a user's actions on a driver thread while this thread runs the library's
// windows (and the menus' modal loops) as the host's user-interface thread does.
void PlayAsUser(const std::function<void()>& script) {
    std::atomic<bool> bDone{false};
    std::thread driver([&] {
        script();
        bDone = true;
    });
    PumpUntil([&] { return bDone.load(); }, 4 * kWaitMs);
    driver.join();
    PumpUntil([] { return false; }, 300);  // what the last action caused
}

// The host: a window that records the commands it receives, and whether the
// monitor's shutdown event was already signalled when each arrived.
struct Host {
    static std::vector<WPARAM> s_commands;
    static std::vector<bool> s_shutdownSignalled;
    // The monitor's shutdown event, held open so that it outlives the monitor.
    static HANDLE s_hShutdown;

    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND) {
            s_commands.push_back(wParam);
            s_shutdownSignalled.push_back(s_hShutdown != nullptr &&
                                          WaitForSingleObject(s_hShutdown, 0) == WAIT_OBJECT_0);
            return 0;
        }
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
    Host() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "velE2EHost";
        RegisterClassA(&wc);
        hWnd = CreateWindowExA(0, "velE2EHost", "e2e host", WS_OVERLAPPEDWINDOW, 40, 40, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
        s_commands.clear();
        s_shutdownSignalled.clear();
    }
    ~Host() { DestroyWindow(hWnd); }
    HWND hWnd;
};
std::vector<WPARAM> Host::s_commands;
std::vector<bool> Host::s_shutdownSignalled;
HANDLE Host::s_hShutdown = nullptr;

// Where the shell shows the icon of a callback window, in desktop coordinates.
// Shell_NotifyIconGetRect tells where it exists; Wine's taskbar does not answer it
// and lays its icons out in 20-pixel slots from its right end, in the order they
// were added (a removed icon frees its slot), which the recorded calls give.
bool IconCenter(HWND hIconWnd, const std::vector<ShellCall>& calls, POINT& pt) {
    struct Identifier {
        DWORD cbSize;
        HWND hWnd;
        UINT uID;
        GUID guidItem;
    } id = {sizeof(Identifier), hIconWnd, 1, {}};
    using GetRectFn = HRESULT(WINAPI*)(const Identifier*, RECT*);
    auto pfn = reinterpret_cast<GetRectFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("shell32.dll"), "Shell_NotifyIconGetRect")));
    RECT rc = {};
    if (pfn != nullptr && SUCCEEDED(pfn(&id, &rc))) {
        pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        return true;
    }
    std::vector<HWND> shown;
    for (const ShellCall& call : calls) {
        if (call.dwMessage == NIM_ADD) shown.push_back(call.hWnd);
        if (call.dwMessage == NIM_DELETE) {
            for (size_t i = 0; i < shown.size(); ++i) {
                if (shown[i] == call.hWnd) {
                    shown.erase(shown.begin() + i);
                    break;
                }
            }
        }
    }
    HWND hTaskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (hTaskbar == nullptr || !GetWindowRect(hTaskbar, &rc)) return false;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != hIconWnd) continue;
        pt = {rc.right - 20 * static_cast<LONG>(i) - 10, (rc.top + rc.bottom) / 2};
        return true;
    }
    return false;
}

// The open popup menu's entries as the user sees them: text, command and place.
struct MenuItem {
    std::string text;
    int nCommand;
    POINT center;
};

HWND FindMenu() {
    HWND hMenu = FindWindowA("BitmapMenu", nullptr);
    return hMenu != nullptr && IsWindowVisible(hMenu) ? hMenu : nullptr;
}

std::vector<MenuItem> ReadMenu(HWND hMenu) {
    std::vector<MenuItem> items;
    HWND hBar = FindWindowExA(hMenu, nullptr, TOOLBARCLASSNAMEA, nullptr);
    if (hBar == nullptr) return items;
    const int nButtons = static_cast<int>(SendMessageA(hBar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < nButtons; ++i) {
        TBBUTTON button = {};
        SendMessageA(hBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        if (button.fsStyle & BTNS_SEP) continue;
        char szText[260] = {};
        SendMessageA(hBar, TB_GETBUTTONTEXTA, button.idCommand, reinterpret_cast<LPARAM>(szText));
        RECT rc = {};
        SendMessageA(hBar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
        MapWindowPoints(hBar, nullptr, reinterpret_cast<POINT*>(&rc), 2);
        items.push_back(
            {szText, button.idCommand, {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}});
    }
    return items;
}

// The open menu, waited for on the driver thread; null when none opened.
HWND WaitForMenu() {
    const DWORD nStart = GetTickCount();
    HWND hMenu = nullptr;
    while ((hMenu = FindMenu()) == nullptr && GetTickCount() - nStart < kWaitMs) Sleep(50);
    Sleep(300);  // painted and ready for input
    return hMenu;
}

// Waits on the driver thread until no menu is open; false when one stays.
bool WaitForNoMenu() {
    const DWORD nStart = GetTickCount();
    while (FindMenu() != nullptr) {
        if (GetTickCount() - nStart > kWaitMs) return false;
        Sleep(50);
    }
    return true;
}

const MenuItem* FindItem(const std::vector<MenuItem>& items, int nCommand) {
    for (const MenuItem& item : items) {
        if (item.nCommand == nCommand) return &item;
    }
    return nullptr;
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api.Load());
        shell.reset(new ShellRecorder(api.hModule, true));
    }
    void TearDown() override {
        if (FindMenu() != nullptr) PlayAsUser([] { Click(POINT{600, 300}, 1); });
        api.velStopTray();
        shell.reset();
        api.Unload();
    }
    // The callback window of the icon that was added last.
    HWND LastAddedIcon() const {
        HWND hWnd = nullptr;
        for (const ShellCall& call : shell->Calls()) {
            if (call.dwMessage == NIM_ADD) hWnd = call.hWnd;
        }
        return hWnd;
    }
    // Where the icon is; a failure when the shell does not say.
    POINT IconPoint(HWND hIconWnd) const {
        POINT pt = {};
        EXPECT_TRUE(IconCenter(hIconWnd, shell->Calls(), pt)) << "the icon is not shown";
        return pt;
    }

    VelTrayApi api;
    std::unique_ptr<ShellRecorder> shell;
};

}  // namespace

TEST_F(EndToEnd, ChipMenuShowsTheEntriesAndDeliversTheComposedCommand) {
    Host host;
    ASSERT_EQ(api.velStartTray(host.hWnd, TRUE), 0u);
    ASSERT_EQ(api.velCardPresent("E2E Reader", 3), 0u);
    const POINT ptIcon = IconPoint(LastAddedIcon());
    ASSERT_EQ(api.velAddChipMenuItem("E2E Reader", 6000, 0x4000), 0u);
    std::vector<MenuItem> items;
    PlayAsUser([&] {
        Click(ptIcon, 3);
        HWND hMenu = WaitForMenu();
        if (hMenu == nullptr) return;
        items = ReadMenu(hMenu);
        const MenuItem* pExit = FindItem(items, 0x1803);
        if (pExit != nullptr) Click(pExit->center, 1);
        WaitForNoMenu();
    });
    std::vector<int> commands;
    std::vector<std::string> texts;
    for (const MenuItem& item : items) {
        commands.push_back(item.nCommand);
        texts.push_back(item.text);
    }
    EXPECT_EQ(commands, (std::vector<int>{0x4003, 0x1603, 0x1703, 0x1903, 0x1803}));
    EXPECT_EQ(texts, (std::vector<std::string>{"Sign document...", "Open signature suite",
                                               "Settings...", "About...", "Exit"}));
    EXPECT_EQ(Host::s_commands, (std::vector<WPARAM>{0x1803}));
}

namespace {

// The suite's SEM stand-in, running while the object lives; its output is read at the end.
class SemStandIn {
  public:
    SemStandIn() {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE hWrite = nullptr;
        CreatePipe(&m_hRead, &hWrite, &sa, 0);
        SetHandleInformation(m_hRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
        std::string cmd = "\"" + VelTrayApi::ProgramFolder() + "velSEMx.exe\" 30000";
        m_bStarted = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                    nullptr, nullptr, &si, &m_pi) != FALSE;
        CloseHandle(hWrite);
        // Ready once it has created its events.
        const DWORD nStart = GetTickCount();
        while (m_bStarted && GetTickCount() - nStart < kWaitMs) {
            HANDLE hEvent = OpenEventA(SYNCHRONIZE, FALSE, "MonitorShutdown");
            if (hEvent != nullptr) {
                CloseHandle(hEvent);
                break;
            }
            Sleep(20);
        }
    }
    ~SemStandIn() {
        if (m_bStarted) {
            TerminateProcess(m_pi.hProcess, 3);
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
        }
        CloseHandle(m_hRead);
    }
    bool Started() const { return m_bStarted; }
    // Everything it printed, once it has ended (or after the wait).
    std::string Output() {
        WaitForSingleObject(m_pi.hProcess, kWaitMs);
        std::string text;
        char buffer[256];
        DWORD nRead = 0;
        DWORD nAvailable = 0;
        while (PeekNamedPipe(m_hRead, nullptr, 0, nullptr, &nAvailable, nullptr) &&
               nAvailable > 0 && ReadFile(m_hRead, buffer, sizeof(buffer), &nRead, nullptr) &&
               nRead > 0) {
            text.append(buffer, nRead);
        }
        return text;
    }

  private:
    HANDLE m_hRead = nullptr;
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

}  // namespace

TEST_F(EndToEnd, SemMenuExitSignalsTheMonitorBeforeTheCommand) {
    SemStandIn monitor;
    ASSERT_TRUE(monitor.Started());
    Host host;
    Host::s_hShutdown = OpenEventA(SYNCHRONIZE, FALSE, "MonitorShutdown");
    ASSERT_EQ(api.velStartTray(host.hWnd, FALSE), 0u);
    const POINT ptIcon = IconPoint(LastAddedIcon());
    std::vector<MenuItem> items;
    PlayAsUser([&] {
        Click(ptIcon, 1);
        HWND hMenu = WaitForMenu();
        if (hMenu == nullptr) return;
        items = ReadMenu(hMenu);
        const MenuItem* pExit = FindItem(items, 0x1800);
        if (pExit != nullptr) Click(pExit->center, 1);
        WaitForNoMenu();
    });
    std::vector<int> commands;
    for (const MenuItem& item : items) commands.push_back(item.nCommand);
    EXPECT_EQ(commands, (std::vector<int>{0x1600, 0x1700, 0x2100, 0x1900, 0x1800}));
    ASSERT_EQ(Host::s_commands, (std::vector<WPARAM>{0x1800}));
    EXPECT_TRUE(Host::s_shutdownSignalled[0]) << "the events come before the command";
    CloseHandle(Host::s_hShutdown);
    Host::s_hShutdown = nullptr;
    const std::string output = monitor.Output();
    EXPECT_NE(output.find("MonitorBreakEvent"), std::string::npos) << output;
    EXPECT_NE(output.find("MonitorShutdown"), std::string::npos) << output;
}

TEST_F(EndToEnd, WithoutTheMonitorDismissingTheSemMenuStopsTheTray) {
    Host host;
    ASSERT_EQ(api.velStartTray(host.hWnd, FALSE), 0u);
    ASSERT_EQ(api.velCardPresent("Reader A", 1), 0u);
    const HWND hSemIcon = shell->Calls().front().hWnd;
    const POINT ptSem = IconPoint(hSemIcon);
    PlayAsUser([&] {
        Click(ptSem, 1);
        if (WaitForMenu() != nullptr) Click(POINT{600, 300}, 1);  // dismissed on the desktop
        WaitForNoMenu();
    });
    EXPECT_TRUE(Host::s_commands.empty());
    size_t nDeleted = 0;
    for (const ShellCall& call : shell->Calls()) nDeleted += call.dwMessage == NIM_DELETE;
    EXPECT_EQ(nDeleted, 2u) << "every icon of the library is removed";

    // A later call brings the reader back, with the command base it gives now.
    shell->Take();
    ASSERT_EQ(api.velCardPresent("Reader A", 5), 0u);
    const POINT ptChip = IconPoint(LastAddedIcon());
    std::vector<MenuItem> items;
    PlayAsUser([&] {
        Click(ptChip, 3);
        HWND hMenu = WaitForMenu();
        if (hMenu != nullptr) items = ReadMenu(hMenu);
        Click(POINT{600, 300}, 1);
        WaitForNoMenu();
    });
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().nCommand, 0x1805);
}

TEST_F(EndToEnd, AClickOutsideClosesTheMenuAndLeavesTheHostBehind) {
    Host host;
    ShowWindow(host.hWnd, SW_SHOWNOACTIVATE);
    ASSERT_EQ(api.velStartTray(host.hWnd, TRUE), 0u);
    ASSERT_EQ(api.velCardPresent("Reader A", 1), 0u);
    const POINT ptIcon = IconPoint(LastAddedIcon());
    bool bOpened = false;
    bool bClosed = false;
    PlayAsUser([&] {
        Click(ptIcon, 3);
        bOpened = WaitForMenu() != nullptr;
        Click(POINT{600, 300}, 1);  // the empty desktop
        bClosed = WaitForNoMenu();
    });
    EXPECT_TRUE(bOpened);
    EXPECT_TRUE(bClosed);
    EXPECT_TRUE(Host::s_commands.empty());
    EXPECT_NE(GetForegroundWindow(), host.hWnd);
}
