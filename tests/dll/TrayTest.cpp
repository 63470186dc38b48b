// The icons and their menus through the real DLL, as the shell and the host see them: its import of
// Shell_NotifyIconA is bent to a recorder, menus open on the shell's callback message, and the
// host's window receives the chosen commands. The library itself is unchanged.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "VelTrayApi.h"

namespace {

using Lines = std::vector<std::string>;
constexpr UINT kTrayCallback = 4702;

Lines operator+(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Handles every message posted to this thread so far.
void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// The commands the host window received, in hex, each marked when "MonitorShutdown" (held in
// g_hShutdown) was already signalled as it arrived.
Lines g_commands;
HANDLE g_hBreak = nullptr, g_hShutdown = nullptr;
LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND || lParam != 0) return DefWindowProcA(hWnd, message, wParam, lParam);
    char sz[32];
    wsprintfA(sz, "%lx%s", static_cast<unsigned long>(wParam),
              g_hShutdown != nullptr && WaitForSingleObject(g_hShutdown, 0) == WAIT_OBJECT_0
                  ? " signalled"
                  : "");
    g_commands.push_back(sz);
    return 0;
}

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
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = "velDllTestHost";
        RegisterClassA(&wc);
        hHost = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
        g_commands.clear();
    }
    void TearDown() override {
        api.velStopTray();
        shell.reset();
        api.Unload();
        DestroyWindow(hHost);
    }
    // Loads the library afresh (stopped and unloaded first when loaded) with a new recorder.
    void Reload() {
        if (api.hModule != nullptr) api.velStopTray();
        shell.reset();
        api.Unload();
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
        Drain();
        return g_menu;
    }

    VelTrayApi api;                        // the loaded library
    std::unique_ptr<ShellRecorder> shell;  // its calls to the shell
    PictureNames names;                    // its own pictures by resource id
    HWND hHost = nullptr;                  // the host's window
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
    ASSERT_EQ(api.velStartTray(hHost, TRUE), VEL_OK);
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
    EXPECT_EQ(Calls(), (Lines(3, "add MIT 203 'A'") + Lines{"modify I 203", "modify T 'later'"} +
                        Lines(3, "modify MIT 203 'later'")));
    // The shell starts and announces itself: the shown icon alone is added, as it is now.
    shell->SetResult(TRUE);
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    EXPECT_EQ(Calls(), (Lines{"add MIT 203 'later'"}));
}

namespace {

// The DLL's pauses, cut short so that the rotation's frames come quickly.
void WINAPI QuickSleep(DWORD nMs) { Sleep(nMs / 50); }

}  // namespace

TEST_F(Tray, RotationStepsThroughTheFourPicturesAndRestsAfterTheStop) {
    ASSERT_EQ(api.velStartTray(nullptr, TRUE), VEL_OK);
    names[shell->Calls().at(0).hIcon] = "rest";
    EXPECT_EQ(Calls(), (Lines{"add MIT rest 'Tessaroth Quillmark'"}));
    api.velStopSEMRotation();  // nothing turns: nothing happens
    EXPECT_TRUE(shell->Take().empty());
    CImportPatch quick(api.hModule, "kernel32.dll", "Sleep", reinterpret_cast<void*>(&QuickSleep));
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
    EXPECT_EQ(Describe(calls, names), (expected + Lines{"modify T 'Tessaroth Quillmark'",
                                                        "modify MIT rest 'Tessaroth Quillmark'"}));
    // Stopped right after its start, it rests all the same, and it turns again.
    api.velStartSEMRotation();
    api.velStopSEMRotation();
    EXPECT_EQ(Calls().back(), "modify MIT rest 'Tessaroth Quillmark'");
    api.velStartSEMRotation();
    EXPECT_TRUE(PumpUntil([&] { return !shell->Calls().empty(); }, 8000));
    api.velStopSEMRotation();
}

TEST_F(Tray, MenusListTheHostsEntriesOnceThenTheLibrarysOwn) {
    ASSERT_EQ(api.velStartTray(hHost, TRUE), VEL_OK);
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
    const Lines chipFixed = {"&Open signature suite=1603", "-", "&Settings...=1703", "&About...=1903",
                             "-", "E&xit=1803"};
    const Lines chip =
        Lines{"Si&gn document...=4003", "&Verify signature...=13", "Si&gn document...=13", "-"} +
        chipFixed;
    const Lines sem = {"&Card information=20", "-", "&Open signature suite=1600", "&Settings...=1700",
                       "Search card &readers=2100", "&About...=1900", "-", "E&xit=1800"};
    // clang-format on
    // A left or right press opens the menu, a release does not.
    EXPECT_EQ(Menu(hChip, WM_RBUTTONDOWN), chip);
    EXPECT_EQ(Menu(hChip, WM_LBUTTONDOWN), chip);
    EXPECT_EQ(Menu(hChip, WM_LBUTTONUP), Lines{});
    EXPECT_EQ(Menu(hSem, WM_LBUTTONDOWN), sem);
    EXPECT_EQ(Menu(hSem, WM_RBUTTONDOWN), sem);
    EXPECT_TRUE(g_commands.empty());
    // An absent card takes the reader's entries with it.
    api.velCardAbsent("R", 3);
    EXPECT_EQ(Menu(hChip, WM_RBUTTONDOWN, 0x1603), chipFixed);
    EXPECT_EQ(g_commands, Lines{"1603"});
}

TEST_F(Tray, ChosenCommandsSignalTheMonitorAsTheRulesSay) {
    // With the stand-in velSEMx.exe running only 0x1800 itself signals, before the command is
    // posted; with the SEM flag the menus look for velSEMm.exe, so velSEMx.exe does not count.
    // Without a stand-in every command signals, here the test's own events, and the SEM menu
    // (closed unchosen) stops the tray; without a host window nothing is posted or signalled.
    const struct {
        int nRun;  // cases of one run share a stand-in (runs 1, 2 and 5), which ends at a signal
        BOOL bSEMm;
        bool bSem;  // the SEM icon's menu opens, else the reader's
        DWORD nCmdBase;
        UINT nChoose;             // 0: the menu is closed unchosen
        const char* pszReceived;  // what the host received; "-": there is no host
    } cases[] = {{1, FALSE, false, 3, 0x1603, "1603"},
                 {1, FALSE, false, 3, 0x1803, "1803"},
                 {1, FALSE, false, 0, 0x1800, "1800 signalled"},
                 {2, TRUE, false, 3, 0x1603, "1603 signalled"},
                 {3, FALSE, false, 0, 0x1800, "-"},
                 {3, FALSE, false, 0x12340003, 0x12341803, "12341803 signalled"},
                 {4, TRUE, true, 3, 0, ""},
                 {4, FALSE, true, 3, 0, ""},
                 {5, FALSE, true, 3, 0, ""}};
    std::unique_ptr<SemStandIn> monitor;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << &c - cases);
        if (&c == cases || c.nRun != (&c - 1)->nRun) {
            // The events go with the last stand-in before the next one makes them anew.
            for (HANDLE hEvent : {g_hBreak, g_hShutdown}) CloseHandle(hEvent);
            monitor.reset(c.nRun != 3 && c.nRun != 4 ? new SemStandIn("velSEMx.exe", true)
                                                     : nullptr);
            g_hBreak = CreateEventA(nullptr, TRUE, FALSE, "MonitorBreakEvent");
            g_hShutdown = CreateEventA(nullptr, TRUE, FALSE, "MonitorShutdown");
        }
        const bool bHost = c.pszReceived[0] != '-';
        Reload();
        ASSERT_EQ(api.velStartTray(bHost ? hHost : nullptr, c.bSEMm), VEL_OK);
        const HWND hSem = LastAdded();
        api.velCardPresent("R", c.nCmdBase);
        const HWND hIcon = c.bSem ? hSem : LastAdded();
        shell->Take();
        g_commands.clear();
        EXPECT_FALSE(Menu(hIcon, WM_RBUTTONDOWN, c.nChoose).empty());
        EXPECT_EQ(g_commands, bHost && c.nChoose != 0 ? Lines{c.pszReceived} : Lines{});
        EXPECT_EQ(Calls(), (c.bSem && !monitor && !c.bSEMm ? Lines{"delete", "delete"} : Lines{}));
        EXPECT_TRUE(bHost || WaitForSingleObject(g_hBreak, 0) == WAIT_TIMEOUT);
        const bool bSignalled = monitor && strstr(c.pszReceived, "signalled");
        EXPECT_EQ(bSignalled ? monitor->Output() : "",
                  bSignalled ? "ready\r\nMonitorBreakEvent\r\nMonitorShutdown\r\n" : "");
    }
    for (HANDLE hEvent : {g_hBreak, g_hShutdown}) CloseHandle(hEvent);
    g_hBreak = g_hShutdown = nullptr;
}
