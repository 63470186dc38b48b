#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "core/velTrayLibMgr.h"

namespace {

// Points the tray manager's command delivery at a host window and SEM flag for one scope.
class CHostScope {
  public:
    CHostScope(HWND hHost, BYTE bSEMm)
        : m_mgr(CvelTrayLibMgr::Instance()),
          m_hPrevHost(m_mgr.m_hHostWnd),
          m_bPrevSEMm(m_mgr.m_bSEMm) {
        m_mgr.m_hHostWnd = hHost;
        m_mgr.m_bSEMm = bSEMm;
    }
    ~CHostScope() {
        m_mgr.m_hHostWnd = m_hPrevHost;
        m_mgr.m_bSEMm = m_bPrevSEMm;
    }

  private:
    CvelTrayLibMgr& m_mgr;  // the process's tray manager
    HWND m_hPrevHost;       // its host window before the scope
    BYTE m_bPrevSEMm;       // its SEM flag before the scope
};

// The recorded messages without one kind.
std::vector<RecordedMsg> Without(std::vector<RecordedMsg> messages, UINT message) {
    std::vector<RecordedMsg> rest;
    for (const RecordedMsg& m : messages) {
        if (m.message != message) rest.push_back(m);
    }
    return rest;
}

WPARAM W(HMENU hMenu) { return reinterpret_cast<WPARAM>(hMenu); }
LPARAM L(HMENU hMenu) { return reinterpret_cast<LPARAM>(hMenu); }

HWND Strip(HWND hPopup) { return CMenuTestOwner::StripOf(hPopup)->m_hWnd; }

// Moves the mouse over an item of a strip and lets the system's hover notice follow.
void Hover(HWND hStrip, int nIndex) {
    SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, nIndex));
    SendMessageA(hStrip, WM_MOUSEHOVER, 0, ItemParam(hStrip, nIndex));
}

// A press of the left button on an item.
void Press(HWND hStrip, int nIndex) {
    SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, nIndex));
}

// True when a click of the strip waits in the queue.
bool ClickQueued(HWND hStrip) {
    MSG msg;
    return PeekMessageA(&msg, hStrip, BMM_ITEMCLICK, BMM_ITEMCLICK, PM_NOREMOVE) != FALSE;
}

// The SEM stand-in, started from the build's program folder. It ends by itself after
// twenty seconds; one still running at the end is ended here.
class CSemStandIn {
  public:
    CSemStandIn() : m_process{}, m_hOutput(nullptr) {
        const std::string program = ProgramFolder() + "velSEMx.exe";
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE hWrite = nullptr;
        if (!CreatePipe(&m_hOutput, &hWrite, &sa, 0)) return;
        SetHandleInformation(m_hOutput, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
        std::string commandLine = "\"" + program + "\" 20000";
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                            CREATE_NO_WINDOW, nullptr, nullptr, &si, &m_process)) {
            m_process = {};
        }
        CloseHandle(hWrite);
    }
    ~CSemStandIn() {
        if (m_process.hProcess != nullptr) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 3);
                WaitForSingleObject(m_process.hProcess, 5000);
            }
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        if (m_hOutput != nullptr) CloseHandle(m_hOutput);
    }
    // The next line of output; empty at its end.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        DWORD nRead = 0;
        while (ReadFile(m_hOutput, &c, 1, &nRead, nullptr) && nRead == 1 && c != '\n') {
            if (c != '\r') line += c;
        }
        return line;
    }
    // True while the stand-in runs.
    bool IsRunning() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }
    // Its exit code once it has ended; 0xFFFFFFFF when it does not end in time.
    DWORD WaitForExit() {
        if (WaitForSingleObject(m_process.hProcess, 20000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD nExitCode = 0xFFFFFFFF;
        GetExitCodeProcess(m_process.hProcess, &nExitCode);
        return nExitCode;
    }

  private:
    PROCESS_INFORMATION m_process;  // the running stand-in
    HANDLE m_hOutput;               // the read end of its output
};

// Chooses the command of the item at the index of a menu with one item per command.
void ChooseCommand(CMenuTestOwner& owner, const std::vector<UINT>& commands, int nIndex) {
    HMENU hMenu = CreatePopupMenu();
    for (UINT nCmd : commands) AppendMenuA(hMenu, MF_STRING, nCmd, "Command");
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), nIndex); });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    EXPECT_TRUE(owner.OpenMenus().empty());
}

bool IsSignalled(HANDLE hEvent) { return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

}  // namespace

TEST(BmpMenuInput, OwnerHearsOpeningHoveringChoosingAndClosing) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    CHostScope scope(host.Hwnd(), 0);
    HMENU hSub = nullptr;
    HMENU hMenu = MakeTestMenu(&hSub);
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    HWND hPopup = nullptr;
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        const HWND hStrip = Strip(hPopup);
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, 0));
        UpdateWindow(hStrip);
        // Another point of the same item, and a disabled item, change nothing.
        const POINT pt = ItemPoint(hStrip, 0);
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x + 1, pt.y));
        RedrawWindow(hStrip, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, 3));
        EXPECT_NE(HotItem(hStrip), 3);
        UpdateWindow(hStrip);
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, 1));
        UpdateWindow(hStrip);
        // Resting on the submenu item opens the submenu.
        Hover(hStrip, 4);
        UpdateWindow(hStrip);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        // Resting on an item without submenu closes it again.
        Hover(Strip(hPopup), 5);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        UpdateWindow(Strip(hPopup));
        Press(Strip(hPopup), 5);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    ExpectSequence(owner.Take(),
                   {{WM_INITMENU, kBoth, W(hMenu), 0},
                    {WM_ENTERMENULOOP, kWParam, W(hMenu), 0},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(101, 0), L(hMenu)},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(102, MFS_CHECKED), L(hMenu)},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(4, MF_POPUP), L(hMenu)},
                    {WM_INITMENUPOPUP, kBoth, W(hSub), 0},
                    {WM_ENTERMENULOOP, kWParam, W(hSub), 0},
                    {WM_EXITMENULOOP, kBoth, 0, 0},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(104, 0), L(hMenu)},
                    {WM_EXITMENULOOP, kBoth, 0, 0}},
                   "owner");
    CMenuTestOwner::Pump();
    ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 104, 0}}, "host");
    EXPECT_FALSE(IsWindow(hPopup));
}

TEST(BmpMenuInput, ClicksAreTakenOnceAndNeverOnDisabledItems) {
    CMenuTestOwner owner;
    CHostScope scope(nullptr, 0);
    HMENU hSub = nullptr;
    HMENU hMenu = MakeTestMenu(&hSub);
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    HWND hPopup = nullptr;
    CBmpMenuToolBar* pStrip = nullptr;
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        pStrip = CMenuTestOwner::StripOf(hPopup);
        Press(pStrip->m_hWnd, 3);
        EXPECT_FALSE(ClickQueued(pStrip->m_hWnd));
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
        // Two presses on the submenu item post one click.
        Press(pStrip->m_hWnd, 4);
        Press(pStrip->m_hWnd, 4);
        EXPECT_EQ(pStrip->m_nClickedIndex, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        EXPECT_EQ(menu.m_pSubMenu, CMenuTestOwner::MenuOf(owner.OpenMenus()[1]));
        // A third press on the item whose submenu is open is no click either.
        Press(pStrip->m_hWnd, 4);
        EXPECT_FALSE(ClickQueued(pStrip->m_hWnd));
        // Left closes only the submenu and lets the parent take the item again.
        PressKey(owner.OpenMenus()[1], VK_LEFT);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        EXPECT_EQ(menu.m_pSubMenu, nullptr);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
        Press(pStrip->m_hWnd, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        Hover(pStrip->m_hWnd, 0);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        PressKey(hPopup, VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    ExpectSequence(Without(owner.Take(), WM_MENUSELECT),
                   {{WM_INITMENU, kAnyParam, 0, 0},
                    {WM_ENTERMENULOOP, kAnyParam, 0, 0},
                    {WM_INITMENUPOPUP, kWParam, W(hSub), 0},
                    {WM_ENTERMENULOOP, kWParam, W(hSub), 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0},
                    {WM_INITMENUPOPUP, kWParam, W(hSub), 0},
                    {WM_ENTERMENULOOP, kWParam, W(hSub), 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0}},
                   "clicks");
}

TEST(BmpMenuInput, KeysMoveThroughTheCascade) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    CHostScope scope(host.Hwnd(), 0);
    HMENU hSub = nullptr;
    HMENU hMenu = MakeTestMenu(&hSub);
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    HWND hPopup = nullptr;
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        // An arrow key is offered as a mnemonic first, then moves the hot item.
        SendMessageA(Strip(hPopup), TB_SETHOTITEM, 0, 0);
        PressKey(hPopup, VK_DOWN);
        EXPECT_EQ(HotItem(Strip(hPopup)), 1);
        SendMessageA(Strip(hPopup), TB_SETHOTITEM, 4, 0);
        UpdateWindow(Strip(hPopup));
        // Left in a top-level menu does nothing; Right opens the hot submenu.
        PressKey(hPopup, VK_LEFT);
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        PressKey(hPopup, VK_RIGHT);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        EXPECT_EQ(HotItem(Strip(owner.OpenMenus()[1])), 0);
        // Keys given to the parent reach the deepest submenu.
        PressKey(hPopup, VK_LEFT);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        PressKey(hPopup, VK_RETURN);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        EXPECT_EQ(HotItem(Strip(owner.OpenMenus()[1])), 0);
        // Escape closes the submenu and every menu above it.
        PressKey(owner.OpenMenus()[1], VK_ESCAPE);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    ExpectSequence(owner.Take(),
                   {{WM_INITMENU, kAnyParam, 0, 0},
                    {WM_ENTERMENULOOP, kAnyParam, 0, 0},
                    {WM_MENUCHAR, kBoth, MAKEWPARAM(VK_DOWN, MF_POPUP), L(hMenu)},
                    {WM_MENUSELECT, kWParam, MAKEWPARAM(4, MF_POPUP), 0},
                    {WM_INITMENUPOPUP, kWParam, W(hSub), 0},
                    {WM_ENTERMENULOOP, kAnyParam, 0, 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0},
                    {WM_INITMENUPOPUP, kWParam, W(hSub), 0},
                    {WM_ENTERMENULOOP, kAnyParam, 0, 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0}},
                   "keys");

    // Right on a plain item does nothing, Return chooses it.
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        SendMessageA(Strip(hPopup), TB_SETHOTITEM, 5, 0);
        UpdateWindow(Strip(hPopup));
        PressKey(hPopup, VK_RIGHT);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        PressKey(hPopup, VK_RETURN);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    CMenuTestOwner::Pump();
    ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 104, 0}}, "return");

    // Alt closes the whole cascade.
    owner.AddStep([&] { PressKey(owner.OpenMenus().at(0), 'M'); });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        SendMessageA(owner.OpenMenus()[1], WM_SYSKEYDOWN, VK_MENU, 0x20000001);
    });
    owner.Take();
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    EXPECT_TRUE(owner.OpenMenus().empty());
    CMenuTestOwner::Pump();
    EXPECT_TRUE(host.Take().empty());
}

TEST(BmpMenuInput, MnemonicsChooseOrCycleAndTheOwnerAnswersTheRest) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    CHostScope scope(host.Hwnd(), 0);
    HMENU hMenu = CreatePopupMenu();
    AppendMenuA(hMenu, MF_STRING, 1, "&Open");
    AppendMenuA(hMenu, MF_STRING, 2, "Plain");
    AppendMenuA(hMenu, MF_STRING, 3, "&options");
    AppendMenuA(hMenu, MF_STRING, 4, "&Print");
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    HWND hPopup = nullptr;
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        const HWND hStrip = Strip(hPopup);
        PressKey(hPopup, 'O');
        EXPECT_EQ(HotItem(hStrip), 0);
        PressKey(hPopup, 'O');
        EXPECT_EQ(HotItem(hStrip), 2);
        PressKey(hPopup, 'O');
        EXPECT_EQ(HotItem(hStrip), 0);
        // No match: the owner is asked; its default answer leaves the menu as it is.
        PressKey(hPopup, 'Z');
        owner.SetMenuCharAnswer(MAKELRESULT(77, MNC_EXECUTE));
        PressKey(hPopup, 'Z');
        owner.SetMenuCharAnswer(0);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        PressKey(hPopup, 'P');
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    ExpectSequence(owner.Take(),
                   {{WM_INITMENU, kAnyParam, 0, 0},
                    {WM_ENTERMENULOOP, kAnyParam, 0, 0},
                    {WM_MENUCHAR, kBoth, MAKEWPARAM('Z', MF_POPUP), L(hMenu)},
                    {WM_MENUCHAR, kBoth, MAKEWPARAM('Z', MF_POPUP), L(hMenu)},
                    {WM_COMMAND, kBoth, 77, 0},
                    {WM_EXITMENULOOP, kAnyParam, 0, 0}},
                   "mnemonics");
    CMenuTestOwner::Pump();
    ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 4, 0}}, "host");

    // The owner may close the menu instead.
    owner.SetMenuCharAnswer(MAKELRESULT(0, MNC_CLOSE));
    owner.AddStep([&] { PressKey(owner.OpenMenus().at(0), 'Q'); });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    CMenuTestOwner::Pump();
    EXPECT_TRUE(host.Take().empty());
}

TEST(BmpMenuInput, ActivationElsewhereClosesTheCascade) {
    CMenuTestOwner owner;
    CMenuTestOwner other(560, 200);
    HMENU hMenu = MakeTestMenu();
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(hMenu);
    owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), 4); });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        // Moving between a menu and its submenu is no reason to close.
        SetActiveWindow(owner.OpenMenus()[0]);
        SetActiveWindow(owner.OpenMenus()[1]);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        SetActiveWindow(other.Hwnd());
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    EXPECT_TRUE(owner.OpenMenus().empty());

    // A real click into another window, as the user makes it.
    owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), 4); });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        RECT rc = {};
        GetWindowRect(other.Hwnd(), &rc);
        SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        INPUT inputs[2] = {};
        inputs[0].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].type = INPUT_MOUSE;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, inputs, sizeof(INPUT));
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_FALSE(owner.WatchdogFired());
    EXPECT_TRUE(owner.OpenMenus().empty());
    SetCursorPos(1010, 5);
}

TEST(BmpMenuInput, DeliversTheFullCommandAndSignalsTheMonitorAsTheRulesSay) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    // Without a SEM program the events are the test's own, manual-reset so they stay set.
    HANDLE hBreak = CreateEventA(nullptr, TRUE, FALSE, "MonitorBreakEvent");
    HANDLE hShutdown = CreateEventA(nullptr, TRUE, FALSE, "MonitorShutdown");
    {
        CHostScope scope(host.Hwnd(), 0);
        ChooseCommand(owner, {0x1600, 0x12341803}, 1);
        CMenuTestOwner::Pump();
        ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 0x12341803, 0}}, "full id");
        EXPECT_TRUE(IsSignalled(hBreak));
        EXPECT_TRUE(IsSignalled(hShutdown));
    }
    ResetEvent(hBreak);
    ResetEvent(hShutdown);
    {
        // No host window: nothing is posted or signalled, and the cascade still closes.
        CHostScope scope(nullptr, 0);
        ChooseCommand(owner, {0x1800}, 0);
        CMenuTestOwner::Pump();
        EXPECT_TRUE(host.Take().empty());
        EXPECT_FALSE(IsSignalled(hBreak));
        EXPECT_FALSE(IsSignalled(hShutdown));
    }
    CloseHandle(hBreak);
    CloseHandle(hShutdown);

    // With the SEM stand-in running, only 0x1800 signals, break before shutdown.
    {
        CSemStandIn standIn;
        ASSERT_EQ(standIn.ReadLine(), "ready");
        HANDLE hStandInShutdown = OpenEventA(SYNCHRONIZE, FALSE, "MonitorShutdown");
        ASSERT_NE(hStandInShutdown, nullptr);
        CHostScope scope(host.Hwnd(), 0);
        ChooseCommand(owner, {0x1600, 0x1803}, 0);
        ChooseCommand(owner, {0x1600, 0x1803}, 1);
        CMenuTestOwner::Pump();
        ExpectSequence(host.Take(),
                       {{WM_COMMAND, kBoth, 0x1600, 0}, {WM_COMMAND, kBoth, 0x1803, 0}}, "running");
        EXPECT_FALSE(IsSignalled(hStandInShutdown));
        EXPECT_TRUE(standIn.IsRunning());
        ChooseCommand(owner, {0x1800}, 0);
        EXPECT_EQ(standIn.ReadLine(), "MonitorBreakEvent");
        EXPECT_EQ(standIn.ReadLine(), "MonitorShutdown");
        EXPECT_EQ(standIn.WaitForExit(), 0u);
        CloseHandle(hStandInShutdown);
        CMenuTestOwner::Pump();
        ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 0x1800, 0}}, "shutdown");
    }
    // With the SEM flag set the menus look for velSEMm.exe: velSEMx.exe does not count.
    {
        CSemStandIn standIn;
        ASSERT_EQ(standIn.ReadLine(), "ready");
        CHostScope scope(host.Hwnd(), 1);
        ChooseCommand(owner, {0x1600}, 0);
        EXPECT_EQ(standIn.ReadLine(), "MonitorBreakEvent");
        EXPECT_EQ(standIn.ReadLine(), "MonitorShutdown");
        EXPECT_EQ(standIn.WaitForExit(), 0u);
        CMenuTestOwner::Pump();
        ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 0x1600, 0}}, "SEMm");
    }
}
