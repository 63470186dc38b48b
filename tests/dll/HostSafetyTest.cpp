// The library inside a host that clicks and calls in any order, from any thread: presses on
// icons while a menu is open, exports and the stop from a second thread during a menu, a
// worker that reports a reader or shows the information window and then goes away. The menus
// run their modal loops on this thread; a timer, which those loops dispatch too, plays the
// user and the host meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

constexpr UINT kCallback = 4702;
constexpr UINT kRightDown = WM_RBUTTONDOWN;
constexpr char kProduct[] = "Tessaroth Quillmark";
// The first entry of each menu without host entries: "Open", a chip's with its base.
constexpr WPARAM kSemOpen = 0x1600;
constexpr DWORD kChipBase = 0x10000;
constexpr WPARAM kChipOpen = 0x1600 | kChipBase;

// The commands the host window received.
std::vector<WPARAM> g_commands;

LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.push_back(wParam);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// The top-level windows of a class on this thread (only the shown ones when asked).
std::vector<HWND> ThreadWindows(const char* pszClass, bool bVisibleOnly) {
    std::vector<HWND> windows;
    for (HWND hWnd = FindWindowExA(nullptr, nullptr, pszClass, nullptr); hWnd != nullptr;
         hWnd = FindWindowExA(nullptr, hWnd, pszClass, nullptr)) {
        if (GetWindowThreadProcessId(hWnd, nullptr) == GetCurrentThreadId() &&
            (!bVisibleOnly || IsWindowVisible(hWnd))) {
            windows.push_back(hWnd);
        }
    }
    return windows;
}

// The visible popup menus of this thread.
std::vector<HWND> OpenMenus() { return ThreadWindows("BitmapMenu", true); }

// The script that the timer runs: called every tick until it answers true.
std::function<bool()> g_tick;
std::atomic<bool> g_scriptDone{false};

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_scriptDone && g_tick && g_tick()) g_scriptDone = true;
}

// Handles this thread's messages, the menus' loops included, until the script is done or the
// deadline passes; true when it is done.
bool RunScript(std::function<bool()> tick, DWORD nDeadlineMs = 10000) {
    g_tick = std::move(tick);
    g_scriptDone = false;
    const UINT_PTR nTimer = SetTimer(nullptr, 0, 20, OnTick);
    const DWORD nStart = GetTickCount();
    MSG msg;
    while (!g_scriptDone && GetTickCount() - nStart < nDeadlineMs) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    KillTimer(nullptr, nTimer);
    // The script may leave a menu open when it failed: Escape closes it.
    for (HWND hMenu : OpenMenus()) PostMessageA(hMenu, WM_KEYDOWN, VK_ESCAPE, 1);
    return g_scriptDone;
}

// Chooses the first entry of an open menu by key.
void ChooseFirst(HWND hMenu) {
    SendMessageA(hMenu, WM_KEYDOWN, VK_DOWN, 1);
    SendMessageA(hMenu, WM_KEYDOWN, VK_RETURN, 1);
}

class HostSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        g_commands.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "velHostSafety";
        RegisterClassA(&wc);
        hHost = CreateWindowExA(0, "velHostSafety", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(api.Load());
        recorder.reset(new ShellRecorder(api.hModule));
        ASSERT_TRUE(recorder->IsActive());
        // The SEM flag 1: the SEM menu leaves the tray as it is.
        ASSERT_EQ(api.velStartTray(hHost, TRUE), 0u);
        api.velCardPresent("Chip", kChipBase);
        api.velCardPresent("Other", kChipBase);
    }
    void TearDown() override {
        if (api.hModule != nullptr) api.velStopTray();
        recorder.reset();
        api.Unload();
        DestroyWindow(hHost);
    }

    // The window the shell knows an icon by, from the calls that added it (by its tooltip).
    HWND IconWnd(const std::string& strTip) const {
        for (const ShellCall& call : recorder->Calls()) {
            if (call.dwMessage == NIM_ADD && call.tip == strTip) return call.hWnd;
        }
        return nullptr;
    }
    // A right press on an icon, as the shell reports it.
    void Press(const char* pszTip) const {
        PostMessageA(IconWnd(pszTip), kCallback, 1, kRightDown);
    }

    VelTrayApi api;
    std::unique_ptr<ShellRecorder> recorder;
    HWND hHost = nullptr;
};

}  // namespace

// A press on an icon while a menu is open closes that menu and opens the pressed icon's; the
// new menu delivers its command, and two menus are never open at once.
TEST_F(HostSafety, PressDuringAMenuOpensThePressedIconsMenu) {
    const struct {
        const char* pszFirst;
        const char* pszSecond;
        WPARAM nCommand;
    } kOrders[] = {{"Chip", kProduct, kSemOpen},
                   {kProduct, "Chip", kChipOpen},
                   {"Chip", "Chip", kChipOpen},
                   {kProduct, kProduct, kSemOpen},
                   {"Chip", "Other", kChipOpen}};
    for (const auto& order : kOrders) {
        SCOPED_TRACE(std::string(order.pszFirst) + " then " + order.pszSecond);
        g_commands.clear();
        HWND hFirst = nullptr;
        size_t nMostOpen = 0;
        Press(order.pszFirst);
        const bool bDone = RunScript([&] {
            const std::vector<HWND> menus = OpenMenus();
            nMostOpen = std::max(nMostOpen, menus.size());
            if (hFirst == nullptr) {
                if (menus.empty()) return false;
                hFirst = menus[0];
                Press(order.pszSecond);
                return false;
            }
            if (menus.size() == 1 && menus[0] != hFirst && !IsWindow(hFirst)) ChooseFirst(menus[0]);
            return !g_commands.empty();
        });
        EXPECT_TRUE(bDone);
        EXPECT_EQ(nMostOpen, 1u);
        EXPECT_EQ(g_commands, std::vector<WPARAM>{order.nCommand});
    }
}

// Another thread's export neither waits for the open menu nor for the user: it returns at
// once and its effect reaches the shell while the menu stays open.
TEST_F(HostSafety, ExportsFromAnotherThreadDuringAMenu) {
    std::atomic<DWORD> nElapsed{0};
    std::atomic<bool> bCalled{false};
    std::thread worker;
    bool bMenuStayed = false;
    const HWND hChip = IconWnd("Chip");
    Press("Chip");
    const bool bDone = RunScript([&] {
        const std::vector<HWND> menus = OpenMenus();
        if (!worker.joinable()) {
            if (menus.empty()) return false;
            worker = std::thread([&] {
                const DWORD nStart = GetTickCount();
                api.velCardActive("Chip", kChipBase);
                api.velCardPresent("New reader", 0);
                nElapsed = GetTickCount() - nStart;
                bCalled = true;
            });
            return false;
        }
        if (!bCalled) return false;
        bMenuStayed = menus.size() == 1;
        PostMessageA(menus.empty() ? nullptr : menus[0], WM_KEYDOWN, VK_ESCAPE, 1);
        return true;
    });
    if (worker.joinable()) worker.join();
    ASSERT_TRUE(bDone);
    EXPECT_TRUE(bMenuStayed);
    // Far below the time a user keeps a menu open; the calls' own cost is the benchmark's.
    EXPECT_LT(nElapsed.load(), 1000u);
    bool bActive = false;
    bool bNewReader = false;
    for (const ShellCall& call : recorder->Calls()) {
        bActive = bActive ||
                  (call.dwMessage == NIM_MODIFY && call.hIcon != nullptr && call.hWnd == hChip);
        bNewReader = bNewReader || (call.dwMessage == NIM_ADD && call.tip == "New reader");
    }
    EXPECT_TRUE(bActive);
    EXPECT_TRUE(bNewReader);
}

// velStopTray from another thread during a menu: the menu closes, every icon leaves the
// notification area and every window of the library is gone before it returns; the library
// can then be unloaded while this thread goes on.
TEST_F(HostSafety, StopFromAnotherThreadDuringAMenuLeavesNothingBehind) {
    ASSERT_FALSE(ThreadWindows("SC_WND", false).empty());
    std::atomic<bool> bStopped{false};
    std::thread stopper;
    size_t nDeletes = 0;
    int nWindowsLeft = -1;
    Press("Chip");
    const bool bDone = RunScript([&] {
        if (!stopper.joinable()) {
            if (OpenMenus().empty()) return false;
            stopper = std::thread([&] {
                api.velStopTray();
                bStopped = true;
            });
            return false;
        }
        if (!bStopped) return false;
        for (const ShellCall& call : recorder->Calls()) nDeletes += call.dwMessage == NIM_DELETE;
        nWindowsLeft = static_cast<int>(ThreadWindows("SC_WND", false).size() +
                                        ThreadWindows("BitmapMenu", false).size());
        return true;
    });
    stopper.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(nDeletes, 3u);
    EXPECT_EQ(nWindowsLeft, 0);
    recorder.reset();
    api.Unload();
    RunScript([] { return false; }, 1000);
}

// Windows are the home thread's, whichever thread's export made the need for them: a worker
// that reports a reader and ends leaves an icon that still opens its menu, and one that shows
// the information window and then stops handling messages holds up no menu.
TEST_F(HostSafety, WorkersThatGoAwayLeaveWorkingWindows) {
    std::thread([&] {
        api.velCardPresent("From a worker", kChipBase);
        api.velShowInformation(5424);
    }).join();
    std::atomic<bool> bRelease{false};
    std::thread stuck([&] {
        api.velShowInformation(5424);
        while (!bRelease) Sleep(10);
    });
    RunScript([&] { return IconWnd("From a worker") != nullptr; }, 3000);
    g_commands.clear();
    DWORD nPressed = 0;
    DWORD nOpenedAfter = 0;
    Press("From a worker");
    nPressed = GetTickCount();
    const bool bDone = RunScript([&] {
        if (!g_commands.empty()) return true;
        const std::vector<HWND> menus = OpenMenus();
        if (menus.empty()) return false;
        if (nOpenedAfter == 0) nOpenedAfter = GetTickCount() - nPressed + 1;
        ChooseFirst(menus[0]);
        return false;
    });
    bRelease = true;
    stuck.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(g_commands, std::vector<WPARAM>{kChipOpen});
    EXPECT_LT(nOpenedAfter, 1000u);
}

// A second start while the picture rotates reloads the design component; the rotation goes on
// with pictures that are still valid, and its stop returns within a second.
TEST_F(HostSafety, RestartDuringTheRotation) {
    ASSERT_EQ(api.velStartSEMRotation(), 0u);
    RunScript([] { return false; }, 600);
    ASSERT_EQ(api.velStartTray(hHost, TRUE), 0u);
    recorder->Take();
    RunScript([] { return false; }, 1100);
    const DWORD nStart = GetTickCount();
    api.velStopSEMRotation();
    EXPECT_LT(GetTickCount() - nStart, 1000u);
    const std::vector<ShellCall> calls = recorder->Take();
    ASSERT_GE(calls.size(), 2u);
    for (const ShellCall& call : calls) {
        ICONINFO info = {};
        if (call.hIcon == nullptr) continue;
        EXPECT_TRUE(GetIconInfo(call.hIcon, &info));
        if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    }
}
