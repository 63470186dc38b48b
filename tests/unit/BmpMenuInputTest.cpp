#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

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
    CHostScope(HWND hHost, BYTE bSEMm) : m_hPrevHost(Mgr().m_hHostWnd), m_bPrevSEMm(Mgr().m_bSEMm) {
        Mgr().m_hHostWnd = hHost;
        Mgr().m_bSEMm = bSEMm;
    }
    ~CHostScope() {
        Mgr().m_hHostWnd = m_hPrevHost;
        Mgr().m_bSEMm = m_bPrevSEMm;
    }

  private:
    // The process's tray manager.
    static CvelTrayLibMgr& Mgr() { return CvelTrayLibMgr::Instance(); }
    HWND m_hPrevHost;  // the manager's host window before the scope
    BYTE m_bPrevSEMm;  // its SEM flag before the scope
};

WPARAM W(HMENU hMenu) { return reinterpret_cast<WPARAM>(hMenu); }
LPARAM L(HMENU hMenu) { return reinterpret_cast<LPARAM>(hMenu); }

// Moves the mouse over an item of a strip and lets the system's hover notice follow.
void Hover(HWND hStrip, int nIndex) {
    SendMessageA(hStrip, WM_MOUSEMOVE, 0, ItemParam(hStrip, nIndex));
    SendMessageA(hStrip, WM_MOUSEHOVER, 0, ItemParam(hStrip, nIndex));
}

// True when a click of the strip waits in the queue.
bool ClickQueued(HWND hStrip) {
    MSG msg;
    return PeekMessageA(&msg, hStrip, BMM_ITEMCLICK, BMM_ITEMCLICK, PM_NOREMOVE) != FALSE;
}

bool IsSignalled(HANDLE hEvent) { return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

// The SEM stand-in velSEMx.exe from the program folder, its output in a pipe. It ends by
// itself on the shutdown signal or after twenty seconds; one still running is ended here.
class CStandIn {
  public:
    CStandIn() {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        if (!CreatePipe(&m_hOutput, &si.hStdOutput, &sa, 0)) return;
        SetHandleInformation(m_hOutput, HANDLE_FLAG_INHERIT, 0);
        std::string commandLine = "\"" + ProgramFolder() + "velSEMx.exe\" 20000";
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &si, &m_process)) {
            m_process = {};
        }
        CloseHandle(si.hStdOutput);
    }
    ~CStandIn() {
        if (m_process.hProcess != nullptr) {
            TerminateProcess(m_process.hProcess, 3);
            WaitForSingleObject(m_process.hProcess, 5000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        if (m_hOutput != nullptr) CloseHandle(m_hOutput);
    }
    // The next line it printed; empty once it has ended.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        DWORD nRead = 0;
        while (m_hOutput != nullptr && ReadFile(m_hOutput, &c, 1, &nRead, nullptr) && nRead == 1 &&
               c != '\n') {
            if (c != '\r') line += c;
        }
        return line;
    }
    // True while it runs.
    bool IsRunning() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }

  private:
    PROCESS_INFORMATION m_process = {};  // the running stand-in
    HANDLE m_hOutput = nullptr;          // the read end of its output
};

// Chooses the item at the index of a menu with one item per command; returns what the
// host received.
std::vector<MenuMsg> Choose(CMenuTestOwner& owner, CMenuTestOwner& host,
                            const std::vector<UINT>& commands, int nIndex) {
    std::vector<MenuItem> items;
    for (UINT nCmd : commands) items.push_back({MF_STRING, nCmd, "Command"});
    CBmpMenu menu(30, 0, nullptr, 0);
    menu.Attach(MakeMenu(items));
    owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), nIndex); });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    EXPECT_TRUE(owner.OpenMenus().empty());
    CMenuTestOwner::Pump();
    return host.Take();
}

}  // namespace

TEST(BmpMenuInput, OwnerHearsHoveringClickingChoosingAndClosing) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    CHostScope scope(host.Hwnd(), 0);
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hSub = nullptr;
    HMENU hMenu = AttachTestMenu(menu, &hSub);
    HWND hPopup = nullptr;
    HWND hStrip = nullptr;
    CBmpMenuToolBar* pStrip = nullptr;
    // Moves the mouse to a point of the strip and lets it paint what became hot.
    auto move = [&](LPARAM lParam) {
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, lParam);
        UpdateWindow(hStrip);
    };
    owner.AddStep([&] {
        hPopup = owner.OpenMenus().at(0);
        pStrip = MenuOf(hPopup)->m_pToolBar;
        hStrip = pStrip->m_hWnd;
        move(ItemParam(hStrip, 0));
        // Another point of the same item, and a disabled item, change nothing.
        const POINT pt = ItemPoint(hStrip, 0);
        SendMessageA(hStrip, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x + 1, pt.y));
        RedrawWindow(hStrip, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        move(ItemParam(hStrip, 3));
        EXPECT_NE(HotItem(hStrip), 3);
        move(ItemParam(hStrip, 1));
        // A press on a disabled item is no click.
        Press(hStrip, 3);
        EXPECT_FALSE(ClickQueued(hStrip));
        // Resting on the submenu item opens the submenu.
        Hover(hStrip, 4);
        UpdateWindow(hStrip);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        // Resting on an item without submenu closes it again.
        Hover(hStrip, 5);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        UpdateWindow(hStrip);
        // Two presses on the submenu item post one click.
        Press(hStrip, 4);
        Press(hStrip, 4);
        EXPECT_EQ(pStrip->m_nClickedIndex, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        EXPECT_EQ(menu.m_pSubMenu, MenuOf(owner.OpenMenus()[1]));
        // A third press on the item whose submenu is open is no click either.
        Press(hStrip, 4);
        EXPECT_FALSE(ClickQueued(hStrip));
        // Left closes only the submenu and lets the parent take the item again.
        PressKey(owner.OpenMenus()[1], VK_LEFT);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        EXPECT_EQ(menu.m_pSubMenu, nullptr);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
        Press(hStrip, 4);
    });
    owner.AddStep([&] {
        ASSERT_EQ(owner.OpenMenus().size(), 2u);
        // Hovering another item closes the submenu and forgets the click.
        Hover(hStrip, 0);
        EXPECT_EQ(pStrip->m_nClickedIndex, -1);
    });
    owner.AddStep([&] {
        EXPECT_EQ(owner.OpenMenus().size(), 1u);
        Press(hStrip, 5);
    });
    EXPECT_TRUE(owner.Track(menu, 100, 100));
    const MenuMsg openSub[] = {{WM_INITMENUPOPUP, kBoth, W(hSub), 0},
                               {WM_ENTERMENULOOP, kWParam, W(hSub), 0}};
    ExpectSequence(owner.Take(),
                   {{WM_INITMENU, kBoth, W(hMenu), 0},
                    {WM_ENTERMENULOOP, kWParam, W(hMenu), 0},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(101, 0), L(hMenu)},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(102, MFS_CHECKED), L(hMenu)},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(4, MF_POPUP), L(hMenu)},
                    openSub[0],
                    openSub[1],
                    {WM_EXITMENULOOP, kBoth, 0, 0},
                    {WM_MENUSELECT, kBoth, MAKEWPARAM(104, 0), L(hMenu)},
                    openSub[0],
                    openSub[1],
                    {WM_EXITMENULOOP, kBoth, 0, 0},
                    openSub[0],
                    openSub[1],
                    {WM_EXITMENULOOP, kBoth, 0, 0},
                    {WM_EXITMENULOOP, kBoth, 0, 0}},
                   "owner");
    CMenuTestOwner::Pump();
    ExpectSequence(host.Take(), {{WM_COMMAND, kBoth, 104, 0}}, "host");
    EXPECT_FALSE(IsWindow(hPopup));
}

TEST(BmpMenuInput, KeysAndMnemonicsMoveThroughTheCascade) {
    CMenuTestOwner owner;
    CMenuTestOwner host(560, 200);
    CHostScope scope(host.Hwnd(), 0);
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hMenu = AttachTestMenu(menu);
    // Each case makes an item of the top menu hot, presses its keys one by one into the
    // deepest open menu (or the top one), then looks at what is open and hot.
    struct Key {
        UINT nKey;            // VK_MENU comes as WM_SYSKEYDOWN
        bool bToTop = false;  // pressed in the top menu
    };
    const struct {
        const char* pszName;
        int nHot;               // hot item of the top menu at first
        std::vector<Key> keys;  // pressed in turn
        LRESULT nAnswer;        // the owner's answer to WM_MENUCHAR
        size_t nOpen;           // menus open afterwards
        int nHotAfter;          // then the hot item of the deepest one
        int nMenuChars;         // WM_MENUCHAR the owner was asked, about the last key
        WPARAM nOwnerCommand;   // the command the owner received, 0 for none
        WPARAM nCommand;        // delivered to the host, 0 for none
    } cases[] = {
        // An arrow key is offered as a mnemonic first, then moves the hot item.
        {"down", 0, {{VK_DOWN}}, 0, 1, 1, 1, 0, 0},
        // Left in a top-level menu does nothing; Right and Return open the hot submenu.
        {"left", 4, {{VK_LEFT}}, 0, 1, 4, 0, 0, 0},
        {"right", 4, {{VK_RIGHT}}, 0, 2, 0, 0, 0, 0},
        {"return on a submenu", 4, {{VK_RETURN}}, 0, 2, 0, 0, 0, 0},
        // Right on a plain item does nothing, Return chooses it.
        {"right on a plain item", 5, {{VK_RIGHT}}, 0, 1, 5, 0, 0, 0},
        {"return", 5, {{VK_RETURN}}, 0, 0, -1, 0, 0, 104},
        // Keys given to the parent reach the deepest submenu.
        {"left to the parent", 4, {{VK_RIGHT}, {VK_LEFT, true}}, 0, 1, 4, 0, 0, 0},
        // Escape in a submenu, and Alt, close every menu.
        {"escape", 4, {{VK_RIGHT}, {VK_ESCAPE}}, 0, 0, -1, 0, 0, 0},
        {"alt", 4, {{VK_RIGHT}, {VK_MENU}}, 0, 0, -1, 0, 0, 0},
        // One item with the mnemonic: it is chosen. Several, in either case: the next one
        // after the hot item becomes hot, round the end.
        {"one match", -1, {{'O'}}, 0, 0, -1, 0, 0, 101},
        {"several matches", 4, {{VK_RIGHT}, {'O'}}, 0, 2, 2, 0, 0, 0},
        {"round the end", 4, {{VK_RIGHT}, {'O'}, {'O'}}, 0, 2, 0, 0, 0, 0},
        // No match: the owner is asked; it may leave the menu as it is, choose a command
        // itself or close the menu.
        {"no match", 0, {{'Z'}}, 0, 1, 0, 1, 0, 0},
        {"the owner chooses", 0, {{'Z'}}, MAKELRESULT(77, MNC_EXECUTE), 1, 0, 1, 77, 0},
        {"the owner closes", 0, {{'Z'}}, MAKELRESULT(0, MNC_CLOSE), 0, -1, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        size_t nOpen = 0;
        int nHot = -1;
        owner.SetMenuCharAnswer(c.nAnswer);
        owner.AddStep([&] {
            const HWND hStrip = Strip(owner.OpenMenus().at(0));
            SendMessageA(hStrip, TB_SETHOTITEM, c.nHot, 0);
            UpdateWindow(hStrip);
        });
        for (const Key& key : c.keys) {
            owner.AddStep([&] {
                const HWND hPopup = key.bToTop ? owner.OpenMenus().at(0) : owner.OpenMenus().back();
                if (key.nKey == VK_MENU) {
                    SendMessageA(hPopup, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
                } else {
                    PressKey(hPopup, key.nKey);
                }
            });
        }
        owner.AddStep([&] {
            nOpen = owner.OpenMenus().size();
            nHot = HotItem(Strip(owner.OpenMenus().back()));
            PressKey(owner.OpenMenus().back(), VK_ESCAPE);
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
        EXPECT_EQ(nOpen, c.nOpen);
        EXPECT_EQ(nHot, c.nHotAfter);
        int nMenuChars = 0;
        WPARAM nOwnerCommand = 0;
        for (const MenuMsg& m : owner.Take()) {
            if (m.message == WM_COMMAND) nOwnerCommand = m.wParam;
            if (m.message != WM_MENUCHAR) continue;
            ++nMenuChars;
            EXPECT_EQ(m.wParam, MAKEWPARAM(c.keys.back().nKey, MF_POPUP));
            EXPECT_EQ(m.lParam, L(hMenu));
        }
        EXPECT_EQ(nMenuChars, c.nMenuChars);
        EXPECT_EQ(nOwnerCommand, c.nOwnerCommand);
        CMenuTestOwner::Pump();
        std::vector<MenuMsg> commands;
        if (c.nCommand != 0) commands.push_back({WM_COMMAND, kBoth, c.nCommand, 0});
        ExpectSequence(host.Take(), commands, "host");
    }
    owner.SetMenuCharAnswer(0);
}

TEST(BmpMenuInput, ActivationElsewhereOrTheOwnerGoingAwayEndsTheCascade) {
    CMenuTestOwner owner;
    CMenuTestOwner other(560, 200);
    CBmpMenu menu(30, 0, nullptr, 0);
    HMENU hMenu = AttachTestMenu(menu);
    RECT rcOther = {};
    GetWindowRect(other.Hwnd(), &rcOther);
    // Moving between a menu and its submenu is no reason to close; another window is, be it
    // activated or clicked by the user. The popups go with their owner, and each loop ends as
    // its window is gone.
    const std::vector<std::function<void()>> elsewhere = {
        [&] { SetActiveWindow(other.Hwnd()); },
        [&] {
            SetCursorPos((rcOther.left + rcOther.right) / 2, (rcOther.top + rcOther.bottom) / 2);
            INPUT inputs[2] = {};
            inputs[0].type = INPUT_MOUSE;
            inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
            inputs[1].type = INPUT_MOUSE;
            inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
            SendInput(2, inputs, sizeof(INPUT));
        },
        [&] { DestroyWindow(owner.Hwnd()); }};
    for (const auto& goElsewhere : elsewhere) {
        std::vector<HWND> popups;
        owner.AddStep([&] { Press(Strip(owner.OpenMenus().at(0)), 4); });
        owner.AddStep([&] {
            popups = owner.OpenMenus();
            ASSERT_EQ(popups.size(), 2u);
            SetActiveWindow(popups[0]);
            SetActiveWindow(popups[1]);
        });
        owner.AddStep([&] {
            ASSERT_EQ(owner.OpenMenus().size(), 2u);
            goElsewhere();
        });
        EXPECT_TRUE(owner.Track(menu, 100, 100));
        // An owner that is still there heard every loop end.
        EXPECT_TRUE(!IsWindow(owner.Hwnd()) || owner.OpenMenus().empty());
        ASSERT_EQ(popups.size(), 2u);
        for (HWND hPopup : popups) EXPECT_FALSE(IsWindow(hPopup));
        EXPECT_EQ(menu.m_pSubMenu, nullptr);
        EXPECT_EQ(menu.m_pToolBar, nullptr);
        EXPECT_TRUE(menu.m_itemRecords.empty());
        EXPECT_TRUE(menu.m_itemTexts.empty());
        EXPECT_TRUE(IsMenu(hMenu));
    }
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
        ExpectSequence(Choose(owner, host, {0x1600, 0x12341803}, 1),
                       {{WM_COMMAND, kBoth, 0x12341803, 0}}, "full id");
        EXPECT_TRUE(IsSignalled(hBreak));
        EXPECT_TRUE(IsSignalled(hShutdown));
    }
    ResetEvent(hBreak);
    ResetEvent(hShutdown);
    {
        // No host window: nothing is posted or signalled, and the cascade still closes.
        CHostScope scope(nullptr, 0);
        EXPECT_TRUE(Choose(owner, host, {0x1800}, 0).empty());
        EXPECT_FALSE(IsSignalled(hBreak));
        EXPECT_FALSE(IsSignalled(hShutdown));
    }
    CloseHandle(hBreak);
    CloseHandle(hShutdown);

    // With the SEM stand-in running only 0x1800 signals, the break before the shutdown;
    // with the SEM flag set the menus look for velSEMm.exe, and velSEMx.exe does not count.
    for (int nSEMm : {0, 1}) {
        SCOPED_TRACE(nSEMm);
        CStandIn standIn;
        ASSERT_EQ(standIn.ReadLine(), "ready");
        CHostScope scope(host.Hwnd(), static_cast<BYTE>(nSEMm));
        if (nSEMm == 0) {
            for (int i : {0, 1}) {
                ExpectSequence(Choose(owner, host, {0x1600, 0x1803}, i),
                               {{WM_COMMAND, kBoth, i == 0 ? 0x1600u : 0x1803u, 0}}, "running");
            }
            EXPECT_TRUE(standIn.IsRunning());
        }
        const UINT nSignalling = nSEMm != 0 ? 0x1600 : 0x1800;
        ExpectSequence(Choose(owner, host, {nSignalling}, 0), {{WM_COMMAND, kBoth, nSignalling, 0}},
                       "signalled");
        EXPECT_EQ(standIn.ReadLine(), "MonitorBreakEvent");
        EXPECT_EQ(standIn.ReadLine(), "MonitorShutdown");
    }
}
