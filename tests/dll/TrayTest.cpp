// The icons and their menus through the real DLL, as the shell and the host see them: its import of
// Shell_NotifyIconA is bent to a recorder, menus open on the shell's callback message, and the
// host's window receives the chosen commands. The library itself is unchanged. The host also
// clicks and calls in any order, from any thread: presses on icons while a menu is open, exports
// and the stop from a second thread during a menu, a worker that reports a reader or shows the
// information window and then goes away. And the guard of the exports: hostile text pointers
// contained (a call with one does nothing at all), the busy flag left clear on that path too (a
// following velStopTray does not wait), and calls after the stop ignored.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "VelTrayApi.h"

namespace {

using Lines = std::vector<std::string>;
using Commands = std::vector<WPARAM>;
constexpr UINT kTrayCallback = 4702;

// The DLL's pauses, cut short so that the rotation's frames come quickly.
void WINAPI QuickSleep(DWORD nMs) { Sleep(nMs / 50); }

// What the last menu showed ("text=command", "-" for a separator) and the command to choose in it.
Lines g_menu;
UINT g_nChoose = 0;
// Runs in the menu's loop: reads the open menu, then chooses the entry or closes the menu.
void CALLBACK ReadAndChoose(HWND, UINT, UINT_PTR nTimer, DWORD) {
    const HWND hMenu = FindMenu();
    const HWND hBar = FindWindowExA(hMenu, nullptr, TOOLBARCLASSNAMEA, nullptr);
    if (hBar == nullptr) return;
    KillTimer(nullptr, nTimer);
    RECT rc = {-1, -1, -1, -1};
    for (int i = 0; i < SendMessageA(hBar, TB_BUTTONCOUNT, 0, 0); ++i) {
        TBBUTTON button = {};
        char szText[64] = "", szCmd[16];
        SendMessageA(hBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        SendMessageA(hBar, TB_GETSTRINGA, MAKEWPARAM(sizeof szText, button.iString),
                     reinterpret_cast<LPARAM>(szText));
        wsprintfA(szCmd, "=%x", button.idCommand);
        const bool bSeparator = (button.fsStyle & BTNS_SEP) != 0;
        g_menu.push_back(bSeparator ? "-" : szText + std::string(szCmd));
        if (!bSeparator && static_cast<UINT>(button.idCommand) == g_nChoose)
            SendMessageA(hBar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc));
    }
    if (rc.left < 0) SendMessageA(hMenu, WM_KEYDOWN, VK_ESCAPE, 1);
    if (rc.left >= 0)
        SendMessageA(hBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.left + 2, rc.top + 2));
}

class Tray : public ::testing::Test {
  protected:
    void SetUp() override {
        Reload();
        for (UINT nId : {201u, 202u, 203u, 204u, 205u, 215u})
            names[LoadIconA(api.hModule, MAKEINTRESOURCEA(nId))] = std::to_string(nId);
    }
    void TearDown() override {
        if (api.hModule != nullptr) api.velStopTray();
        shell.reset();
        api.Unload();
    }
    // Loads the library afresh (stopped and unloaded first when loaded) with a new recorder.
    void Reload() {
        TearDown();
        ASSERT_TRUE(api.Load());
        shell = std::make_unique<ShellRecorder>(api.hModule);
        ASSERT_TRUE(shell->IsActive());
    }
    // The shell calls since the last look, as lines.
    Lines Calls() { return Describe(shell->Take(), names); }
    // The callback window of the icon added last.
    HWND LastAdded() const {
        HWND hWnd = nullptr;
        for (const ShellCall& call : shell->Calls())
            hWnd = call.dwMessage == NIM_ADD ? call.hWnd : hWnd;
        return hWnd;
    }
    // Presses a button on an icon as the shell reports it; returns the menu that opened (empty:
    // none), after choosing the command's entry in it (0: closed with Escape).
    Lines Menu(HWND hIcon, LPARAM nButton, UINT nChoose = 0) {
        g_menu.clear();
        g_nChoose = nChoose;
        const UINT_PTR nTimer = SetTimer(nullptr, 0, 10, &ReadAndChoose);
        SendMessageA(hIcon, kTrayCallback, 1, nButton);
        KillTimer(nullptr, nTimer);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return g_menu;
    }

    VelTrayApi api;                        // the loaded library
    std::unique_ptr<ShellRecorder> shell;  // its calls to the shell
    PictureNames names;                    // its own pictures by resource id
    HostWindow host;                       // the host's window
};

}  // namespace

// An identified card's text shows in the information window too, until the tray stops.
TEST_F(Tray, ChipStatesReachTheShellWithTheirPicturesAndTooltips) {
    const char r[] = "SCM Reader 0";
    api.velCardPresent(r, 3);  // a new reader: added at once
    api.velCardActive(r, 3);
    api.velCardIdentified(r, nullptr, 0, 0, 3);  // no text: tooltip unchanged, nothing shown
    EXPECT_FALSE(IsWindowVisible(FindWindowA("#32770", nullptr)));
    api.velCardIdentified(r, "Card of J. Doe", 0, 0, 3);
    const HWND hInfo = FindWindowA("#32770", nullptr);
    char szText[64] = "";
    GetDlgItemTextA(hInfo, 202, szText, sizeof szText);
    EXPECT_STREQ(szText, IsWindowVisible(hInfo) ? "Card of J. Doe" : "(not shown)");
    api.velCardAbsent(r, 3);
    api.velCardIdentified(r, std::string(300, 't').c_str(), 0, 0, 3);  // cut at 127
    const std::string tip = "'" + std::string(127, 't') + "'";
    EXPECT_EQ(Calls(),
              (Lines{"add MIT 203 'SCM Reader 0'", "modify I 205", "modify MIT 205 'SCM Reader 0'",
                     "modify I 203", "modify MIT 203 'SCM Reader 0'", "modify I 203",
                     "modify T 'Card of J. Doe'", "modify MIT 203 'Card of J. Doe'",
                     "modify T 'SCM Reader 0'", "modify I 201", "modify MIT 201 'SCM Reader 0'",
                     "modify I 203", "modify T " + tip, "modify MIT 203 " + tip}));
    api.velStopTray();
    EXPECT_FALSE(IsWindow(hInfo));
}

TEST_F(Tray, HiddenIconsComeBackWithTheNextStateAndLeaveAtTheStopInOrder) {
    ASSERT_EQ(api.velStartTray(host, TRUE), VEL_OK);
    const HWND hSem = shell->Take().at(0).hWnd;
    api.velAddChipTray("A", 1);
    api.velHideChipIcon("A");
    api.velHideChipIcon("A");  // hidden already: nothing
    api.velCardActive("A", 1);
    api.velCardIdentify("B", 2);
    const std::vector<ShellCall> calls = shell->Calls();
    EXPECT_EQ(Calls(), (Lines{"add MIT 201 'A'", "delete", "add MIT 205 'A'",
                              "add MIT 202 'Identifying card...'"}));
    api.velStopTray();
    const std::vector<ShellCall> s = shell->Take();
    ASSERT_EQ(Describe(s, names), (Lines{"delete", "delete", "delete"}));
    EXPECT_EQ((std::vector<HWND>{s[0].hWnd, s[1].hWnd, s[2].hWnd, calls[2].hWnd}),
              (std::vector<HWND>{calls[0].hWnd, calls[3].hWnd, hSem, calls[0].hWnd}));
}

TEST_F(Tray, AnIconTheShellRefusedIsAddedWhenTheShellAnnouncesItself) {
    api.velCardPresent("hidden", 1);
    api.velHideChipIcon("hidden");
    shell->Take();
    // No notification area yet: a full update is tried three times, and the icon counts as shown.
    shell->SetResult(FALSE);
    api.velCardPresent("A", 2);
    api.velCardIdentified("A", "later", 0, 0, 2);
    EXPECT_EQ(Calls(), (Lines{"add MIT 203 'A'", "add MIT 203 'A'", "add MIT 203 'A'",
                              "modify I 203", "modify T 'later'", "modify MIT 203 'later'",
                              "modify MIT 203 'later'", "modify MIT 203 'later'"}));
    // The shell starts and announces itself: the shown icon alone is added, as it is now.
    shell->SetResult(TRUE);
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    EXPECT_EQ(Calls(), (Lines{"add MIT 203 'later'"}));
}

TEST_F(Tray, RotationStepsThroughTheFourPicturesRestsAfterTheStopAndSurvivesARestart) {
    ASSERT_EQ(api.velStartTray(nullptr, TRUE), VEL_OK);
    names[shell->Calls().at(0).hIcon] = "rest";
    EXPECT_EQ(Calls(), (Lines{"add MIT rest 'Tessaroth Quillmark'"}));
    api.velStopSEMRotation();  // nothing turns: nothing happens
    EXPECT_TRUE(shell->Take().empty());
    auto quick = std::make_unique<CImportPatch>(api.hModule, "kernel32.dll", "Sleep",
                                                reinterpret_cast<void*>(&QuickSleep));
    api.velStartSEMRotation();
    api.velStartSEMRotation();  // already turning: ignored
    EXPECT_TRUE(PumpUntil([&] { return shell->Calls().size() >= 7; }, 8000));
    api.velStopSEMRotation();
    const std::vector<ShellCall> calls = shell->Take();
    ASSERT_GE(calls.size(), 9u);
    // The pictures other than the resting one are named by their first frame.
    const std::string frames[4] = {"rest", "f1", "f2", "f3"};
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(names.emplace(calls[i + 1].hIcon, frames[i]).second);
    Lines expected = {"modify T 'Working, please wait...'"};
    for (size_t i = 0; i + 3 < calls.size(); ++i)
        expected.push_back("modify MIT " + frames[i % 4] + " 'Working, please wait...'");
    expected.insert(expected.end(),
                    {"modify T 'Tessaroth Quillmark'", "modify MIT rest 'Tessaroth Quillmark'"});
    EXPECT_EQ(Describe(calls, names), expected);
    // Stopped right after its start, it rests all the same, and it turns again.
    api.velStartSEMRotation();
    api.velStopSEMRotation();
    EXPECT_EQ(Calls().back(), "modify MIT rest 'Tessaroth Quillmark'");
    quick.reset();
    api.velStartSEMRotation();
    EXPECT_TRUE(PumpUntil([&] { return !shell->Calls().empty(); }, 8000));
    // A second start meanwhile reloads the design component: the rotation goes on with pictures
    // that are still valid, and its stop, amid a picture's real pause, returns within a second.
    ASSERT_EQ(api.velStartTray(nullptr, TRUE), VEL_OK);
    shell->Take();
    EXPECT_TRUE(PumpUntil([&] { return shell->Calls().size() >= 2; }, 8000));
    const DWORD nStart = GetTickCount();
    api.velStopSEMRotation();
    EXPECT_LT(GetTickCount() - nStart, 1000u);
    for (const ShellCall& call : shell->Take()) {
        ICONINFO info = {};
        EXPECT_TRUE(call.hIcon == nullptr || GetIconInfo(call.hIcon, &info));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(Tray, MenusListTheHostsEntriesOnceThenTheLibrarysOwn) {
    ASSERT_EQ(api.velStartTray(host, TRUE), VEL_OK);
    const HWND hSem = LastAdded();
    api.velCardPresent("R", 3);
    const HWND hChip = LastAdded();
    for (int i = 0; i < 2; ++i) {
        api.velAddChipMenuItem("R", 6000, 0x4000);
        api.velAddChipMenuItem("R", 6001, 0x10);
        api.velAddChipMenuItem("R", 6000, 0x10);
        api.velAddSEMMenuItem(6002, 0x20);
    }
    // clang-format off
    const Lines chip = {"Si&gn document...=4003", "&Verify signature...=13", "Si&gn document...=13", "-",
                        "&Open signature suite=1603", "-", "&Settings...=1703", "&About...=1903",
                        "-", "E&xit=1803"};
    const Lines sem = {"&Card information=20", "-", "&Open signature suite=1600", "&Settings...=1700",
                       "Search card &readers=2100", "&About...=1900", "-", "E&xit=1800"};
    // clang-format on
    // A left or right press opens the menu, a release does not.
    EXPECT_EQ(Menu(hChip, WM_RBUTTONDOWN), chip);
    EXPECT_EQ(Menu(hChip, WM_LBUTTONDOWN), chip);
    EXPECT_EQ(Menu(hChip, WM_LBUTTONUP), Lines{});
    EXPECT_EQ(Menu(hSem, WM_LBUTTONDOWN), sem);
    EXPECT_EQ(Menu(hSem, WM_RBUTTONDOWN), sem);
    EXPECT_TRUE(host.commands.empty());
    // An absent card takes the reader's entries with it.
    api.velCardAbsent("R", 3);
    EXPECT_EQ(Menu(hChip, WM_RBUTTONDOWN, 0x1603), Lines(chip.begin() + 4, chip.end()));
    EXPECT_EQ(host.commands, Commands{0x1603});
}

TEST_F(Tray, ChosenCommandsSignalTheMonitorAsTheRulesSay) {
    // With the stand-in velSEMx.exe running only 0x1800 itself signals the monitor's events
    // (break, then shutdown); with the SEM flag the menus look for velSEMm.exe, so velSEMx.exe does
    // not count. Without a stand-in every command signals, here the test's own event, and the SEM
    // menu (closed unchosen) stops the tray; without a host window nothing is posted or signalled.
    const struct {
        int nRun;  // cases of one run share a stand-in (runs 1, 2 and 5), which ends at a signal
        BOOL bSEMm;
        bool bSem;  // the SEM icon's menu opens, else the reader's
        bool bHost;
        DWORD nCmdBase;
        UINT nChoose;     // 0: the menu is closed unchosen
        bool bSignalled;  // "MonitorShutdown" is signalled after the menu
    } cases[] = {{1, FALSE, false, true, 3, 0x1603, false},
                 {1, FALSE, false, true, 3, 0x1803, false},
                 {1, FALSE, false, true, 0, 0x1800, true},
                 {2, TRUE, false, true, 3, 0x1603, true},
                 {3, FALSE, false, false, 0, 0x1800, false},
                 {3, FALSE, false, true, 0x12340003, 0x12341803, true},
                 {4, TRUE, true, true, 3, 0, false},
                 {4, FALSE, true, true, 3, 0, false},
                 {5, FALSE, true, true, 3, 0, false}};
    std::unique_ptr<SemStandIn> monitor;
    HANDLE hShutdown = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << &c - cases);
        if (&c == cases || c.nRun != (&c - 1)->nRun) {
            // The event goes with the last stand-in before the next one makes it anew.
            CloseHandle(hShutdown);
            monitor.reset(c.nRun != 3 && c.nRun != 4 ? new SemStandIn("velSEMx.exe", true)
                                                     : nullptr);
            hShutdown = CreateEventA(nullptr, TRUE, FALSE, "MonitorShutdown");
        }
        Reload();
        ASSERT_EQ(api.velStartTray(c.bHost ? static_cast<HWND>(host) : nullptr, c.bSEMm), VEL_OK);
        const HWND hSem = LastAdded();
        api.velCardPresent("R", c.nCmdBase);
        const HWND hIcon = c.bSem ? hSem : LastAdded();
        shell->Take();
        host.commands.clear();
        EXPECT_FALSE(Menu(hIcon, WM_RBUTTONDOWN, c.nChoose).empty());
        EXPECT_EQ(host.commands, c.bHost && c.nChoose != 0 ? Commands{c.nChoose} : Commands{});
        EXPECT_EQ(Calls(), (c.bSem && !monitor && !c.bSEMm ? Lines{"delete", "delete"} : Lines{}));
        EXPECT_EQ(WaitForSingleObject(hShutdown, 0) == WAIT_OBJECT_0, c.bSignalled);
        EXPECT_EQ(
            monitor && c.bSignalled ? monitor->Output() : "",
            monitor && c.bSignalled ? "ready\r\nMonitorBreakEvent\r\nMonitorShutdown\r\n" : "");
    }
    CloseHandle(hShutdown);
}

TEST_F(Tray, UnreadableTextsAndCallsAfterTheStopDoNothing) {
    // Pointers that cannot be read: a small number, a kernel address and a string that runs
    // without terminator into an inaccessible page.
    constexpr DWORD kPage = 4096;  // the page size of every x86 Windows
    auto* pPages = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pPages, nullptr);
    DWORD dwOld = 0;
    ASSERT_TRUE(VirtualProtect(pPages + kPage, kPage, PAGE_NOACCESS, &dwOld));
    std::fill_n(pPages, kPage, 'x');
    const LPCSTR hostile[] = {reinterpret_cast<LPCSTR>(1), reinterpret_cast<LPCSTR>(0xFFFF0000),
                              pPages + kPage - 8, pPages + kPage};
    EXPECT_EQ(api.velCardPresent("Reader A", 1), 0u);
    for (LPCSTR pszHostile : hostile) {
        shell->Take();
        EXPECT_EQ(api.velCardPresent(pszHostile, 1) + api.velCardAbsent(pszHostile, 1) +
                      api.velHideChipIcon(pszHostile) +
                      api.velCardIdentified("Reader A", pszHostile, 0, 0, 1) +
                      api.velMMVAlert(pszHostile, "text", 0) +
                      api.velMMVAlert("tip", pszHostile, 0),
                  0u);
        EXPECT_TRUE(shell->Take().empty());
    }
    VirtualFree(pPages, 0, MEM_RELEASE);
    // The library is still whole: a long and a non-ASCII reader name work.
    const std::string longName(64 * 1024, 'R');
    api.velCardPresent(longName.c_str(), 1);
    api.velCardIdentified("Leser \xC4\xD6\xDC", longName.c_str(), 0, 0, 1);
    const std::string added = "add MIT 203 '" + longName.substr(0, 127) + "'";  // tooltips are cut
    EXPECT_EQ(Calls(), (Lines{added, added}));
    // A velStopTray that waited for a busy flag takes 3 s; one that did not, far less.
    DWORD nStart = GetTickCount();
    EXPECT_EQ(api.velStopTray(), 0u);
    EXPECT_LT(GetTickCount() - nStart, 1500u);
    // After the stop nothing runs: even a start returns 0 at once, and nothing reaches the shell.
    shell->Take();
    nStart = GetTickCount();
    EXPECT_EQ(api.velStartTray(nullptr, TRUE) + api.velCardPresent("Reader B", 1) +
                  api.velAddChipTray("Reader A", 1) + api.velShowInformation(5424) +
                  api.velStartSEMRotation() + api.velStopTray(),
              0u);
    EXPECT_LT(GetTickCount() - nStart, 1500u);
    EXPECT_TRUE(shell->Take().empty());
}

namespace {

// The first entry of each menu without host entries: "Open", a chip's with its base.
constexpr WPARAM kSemOpen = 0x1600;
constexpr DWORD kChipBase = 0x10000;
constexpr WPARAM kChipOpen = 0x1600 | kChipBase;

// The top-level windows of a class on this thread (only the shown ones when asked).
std::vector<HWND> ThreadWindows(const char* pszClass, bool bVisibleOnly) {
    std::vector<HWND> windows;
    HWND hWnd = nullptr;
    while ((hWnd = FindWindowExA(nullptr, hWnd, pszClass, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(hWnd, nullptr) == GetCurrentThreadId() &&
            (!bVisibleOnly || IsWindowVisible(hWnd)))
            windows.push_back(hWnd);
    }
    return windows;
}

// The visible popup menus of this thread.
std::vector<HWND> OpenMenus() { return ThreadWindows("BitmapMenu", true); }

// The script that the timer runs: called every tick until it answers true.
std::function<bool()> g_tick;
bool g_bScriptDone = false;
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) { g_bScriptDone = g_bScriptDone || g_tick(); }

// Handles this thread's messages, the menus' loops included, until the script is done or the
// deadline passes; true when it is done. A menu the script left open (it failed) is closed.
bool RunScript(std::function<bool()> tick, DWORD nDeadlineMs = 10000) {
    g_tick = std::move(tick);
    g_bScriptDone = false;
    const UINT_PTR nTimer = SetTimer(nullptr, 0, 20, OnTick);
    PumpUntil([] { return g_bScriptDone; }, nDeadlineMs);
    KillTimer(nullptr, nTimer);
    for (HWND hMenu : OpenMenus()) PostMessageA(hMenu, WM_KEYDOWN, VK_ESCAPE, 1);
    return g_bScriptDone;
}

// A right press on an icon, as the shell reports it.
void Press(HWND hIcon) { PostMessageA(hIcon, kTrayCallback, 1, WM_RBUTTONDOWN); }

// The tray started with the SEM flag (the SEM menu leaves the tray as it is) and a reader.
// The menus run their modal loops on this thread; a timer, which those loops dispatch too, plays
// the user and the host meanwhile.
class HostSafety : public Tray {
  protected:
    void SetUp() override {
        Tray::SetUp();
        ASSERT_EQ(api.velStartTray(host, TRUE), 0u);
        hSem = LastAdded();
        api.velCardPresent("Chip", kChipBase);
        hChip = LastAdded();
        shell->Take();
    }

    HWND hSem = nullptr, hChip = nullptr;  // the icons' callback windows
};

}  // namespace

// A press on an icon while a menu is open closes that menu and opens the pressed icon's at once;
// the new menu delivers its command, and two menus are never open at once. Windows are the home
// thread's, whichever thread's export made the need for them: a worker that reports a reader and
// ends leaves an icon that opens its menu, and one that shows the information window and then
// stops handling messages holds up no menu.
TEST_F(HostSafety, PressDuringAMenuOpensThePressedIconsMenu) {
    std::thread([&] {
        api.velCardPresent("From a worker", kChipBase);
        api.velShowInformation(5424);
    }).join();
    std::atomic<bool> bRelease{false};
    std::thread stuck([&] {
        api.velShowInformation(5424);
        while (!bRelease) Sleep(10);
    });
    EXPECT_TRUE(RunScript([&] { return LastAdded() != hChip; }, 3000));
    const HWND hWorker = LastAdded();
    const struct {
        HWND hFirst, hSecond;
        WPARAM nCommand;
    } orders[] = {{hChip, hSem, kSemOpen},     {hSem, hChip, kChipOpen},
                  {hChip, hChip, kChipOpen},   {hSem, hSem, kSemOpen},
                  {hChip, hWorker, kChipOpen}, {hWorker, hWorker, kChipOpen}};
    for (const auto& order : orders) {
        SCOPED_TRACE(::testing::Message() << &order - orders);
        host.commands.clear();
        HWND hFirst = nullptr;
        size_t nMostOpen = 0;
        DWORD nOpenedAfter = 0;
        const DWORD nPressed = GetTickCount();
        Press(order.hFirst);
        EXPECT_TRUE(RunScript([&] {
            const std::vector<HWND> menus = OpenMenus();
            nMostOpen = std::max(nMostOpen, menus.size());
            if (hFirst == nullptr) {
                if (menus.empty()) return false;
                nOpenedAfter = GetTickCount() - nPressed;
                hFirst = menus[0];
                Press(order.hSecond);
                return false;
            }
            if (menus.size() == 1 && menus[0] != hFirst && !IsWindow(hFirst)) {
                // The first entry, chosen by key.
                SendMessageA(menus[0], WM_KEYDOWN, VK_DOWN, 1);
                SendMessageA(menus[0], WM_KEYDOWN, VK_RETURN, 1);
            }
            return !host.commands.empty();
        }));
        EXPECT_LT(nOpenedAfter, 1000u);
        EXPECT_EQ(nMostOpen, 1u);
        EXPECT_EQ(host.commands, Commands{order.nCommand});
    }
    bRelease = true;
    stuck.join();
}

// Another thread's exports neither wait for the open menu nor for the user: they return at once
// and their effect reaches the shell while the menu stays open. A velStopTray from another thread
// then closes the menu, every icon leaves the notification area and every window of the library
// is gone before it returns; the library can then be unloaded while this thread goes on.
TEST_F(HostSafety, ExportsAndTheStopFromAnotherThreadDuringAMenu) {
    ASSERT_FALSE(ThreadWindows("SC_WND", false).empty());
    std::atomic<DWORD> nElapsed{0};
    std::atomic<bool> bCalled{false}, bStopped{false};
    std::thread worker, stopper;
    Lines whileOpen;
    size_t nWindowsLeft = 1;
    Press(hChip);
    const bool bDone = RunScript([&] {
        const std::vector<HWND> menus = OpenMenus();
        if (!worker.joinable()) {
            if (!menus.empty())
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
        if (!stopper.joinable()) {
            whileOpen = menus.size() == 1 ? Calls() : Lines{"the menu closed"};
            stopper = std::thread([&] {
                api.velStopTray();
                bStopped = true;
            });
            return false;
        }
        if (!bStopped) return false;
        nWindowsLeft =
            ThreadWindows("SC_WND", false).size() + ThreadWindows("BitmapMenu", false).size();
        return true;
    });
    for (std::thread* pThread : {&worker, &stopper})
        if (pThread->joinable()) pThread->join();
    ASSERT_TRUE(bDone);
    // Far below the time a user keeps a menu open; the calls' own cost is the benchmark's.
    EXPECT_LT(nElapsed.load(), 1000u);
    EXPECT_EQ(whileOpen,
              (Lines{"modify I 205", "modify MIT 205 'Chip'", "add MIT 203 'New reader'"}));
    EXPECT_EQ(Calls(), Lines(3, "delete"));
    EXPECT_EQ(nWindowsLeft, 0u);
    shell.reset();
    api.Unload();
    RunScript([] { return false; }, 1000);
}
