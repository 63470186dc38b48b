// The library end to end in Wine's desktop, driven as a user would: real mouse
// clicks on the icons in the notification area and on the menu entries (xdotool
// on the X display), the host's window receiving the commands, and the suite's
// SEM stand-in receiving the events.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "DesktopUser.h"
#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

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

// Finds the shown dialog window of a thread: the information window.
BOOL CALLBACK FindShownDialog(HWND hWnd, LPARAM lParam) {
    char name[16] = "";
    GetClassNameA(hWnd, name, sizeof name);
    if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(hWnd)) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// Waits (on the driver thread) until the window has the keyboard focus of its thread.
void WaitForFocus(HWND hWnd) {
    const DWORD nThread = GetWindowThreadProcessId(hWnd, nullptr);
    for (DWORD nWaited = 0; nWaited < kUserWaitMs; nWaited += 10) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(nThread, &info) && info.hwndFocus == hWnd) return;
        Sleep(10);
    }
}

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
    EXPECT_EQ(texts, (std::vector<std::string>{"Si&gn document...", "&Open signature suite",
                                               "&Settings...", "&About...", "E&xit"}));
    EXPECT_EQ(Host::s_commands, (std::vector<WPARAM>{0x1803}));
}

TEST_F(EndToEnd, SemMenuExitSignalsTheMonitorBeforeTheCommand) {
    SemStandIn monitor("velSEMx.exe", true);
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

TEST_F(EndToEnd, KeysChooseEntriesAndEscapeClosesTheMenu) {
    Host host;
    ASSERT_EQ(api.velStartTray(host.hWnd, TRUE), 0u);
    ASSERT_EQ(api.velCardPresent("Reader K", 3), 0u);
    const POINT ptIcon = IconPoint(LastAddedIcon());
    // The information window on screen goes as soon as a menu opens.
    ASSERT_EQ(api.velShowInformation(6010), 0u);
    HWND hInfo = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindShownDialog, reinterpret_cast<LPARAM>(&hInfo));
    ASSERT_NE(hInfo, nullptr) << "the information window is not shown";
    // The chip menu without host entries: Open signature suite, Settings, About, Exit.
    const struct {
        const char* pszKeys;  // typed on the X display while the menu is open
        std::vector<WPARAM> commands;
    } cases[] = {
        {"Down Down Return", {0x1703}},
        {"Down Down Up Return", {0x1603}},
        {"x", {0x1803}},
        {"Escape", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszKeys);
        Host::s_commands.clear();
        bool bOpened = false;
        bool bClosed = false;
        bool bInfoShown = true;
        PlayAsUser([&] {
            Click(ptIcon, 3);
            const HWND hMenu = WaitForMenu();
            bOpened = hMenu != nullptr;
            bInfoShown = IsWindowVisible(hInfo) != FALSE;
            // A user types once the menu has the keyboard, which it takes just after it shows.
            WaitForFocus(hMenu);
            // Without a window manager the X keyboard focus does not always follow the window
            // Wine activates (after a menu closed by a key it stays with the shell); a window
            // manager would move it, so the test does.
            const HANDLE hX = GetPropA(hMenu, "__wine_x11_whole_window");
            if (hX != nullptr) {
                RunUnix("/usr/bin/xdotool windowfocus --sync " +
                        std::to_string(reinterpret_cast<UINT_PTR>(hX)));
            }
            RunUnix(std::string("/usr/bin/xdotool key ") + c.pszKeys);
            bClosed = WaitForNoMenu();
            if (!bClosed) Click(POINT{600, 300}, 1);
            WaitForNoMenu();
        });
        EXPECT_TRUE(bOpened);
        EXPECT_FALSE(bInfoShown);
        EXPECT_TRUE(bClosed);
        EXPECT_EQ(Host::s_commands, c.commands);
    }
}

// A real click on the SEM icon while a chip menu is open: the chip menu closes, the SEM menu
// opens in its place and delivers its command; the host lives on.
TEST_F(EndToEnd, AClickOnAnotherIconDuringAMenuOpensThatIconsMenu) {
    Host host;
    ASSERT_EQ(api.velStartTray(host.hWnd, TRUE), 0u);
    const POINT ptSem = IconPoint(LastAddedIcon());
    ASSERT_EQ(api.velCardPresent("E2E Reader", 3), 0u);
    const POINT ptChip = IconPoint(LastAddedIcon());
    HWND hChipMenu = nullptr;
    HWND hSemMenu = nullptr;
    PlayAsUser([&] {
        Click(ptChip, 3);
        hChipMenu = WaitForMenu();
        if (hChipMenu == nullptr) return;
        Click(ptSem, 1);
        for (DWORD nWaited = 0; nWaited < kUserWaitMs && IsWindow(hChipMenu); nWaited += 10) {
            Sleep(10);
        }
        hSemMenu = WaitForMenu();
        if (hSemMenu == nullptr) return;
        const std::vector<MenuItem> items = ReadMenu(hSemMenu);
        const MenuItem* pSettings = FindItem(items, 0x1700);
        if (pSettings != nullptr) Click(pSettings->center, 1);
        WaitForNoMenu();
    });
    ASSERT_NE(hChipMenu, nullptr);
    EXPECT_FALSE(IsWindow(hChipMenu));
    EXPECT_NE(hSemMenu, nullptr);
    EXPECT_EQ(Host::s_commands, (std::vector<WPARAM>{0x1700}));
}
