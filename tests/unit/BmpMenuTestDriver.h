// Drives bitmap menus in the tests the way Wine's message-sequence tests drive the system's menus:
// a visible owner window records the notifications it receives as lines, a script of steps runs
// inside the menus' modal loops, and a watchdog closes menus that a faulty build leaves open.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "core/velTrayLibMgr.h"
#include "framework/Wnd.h"

// The menu object of an open popup, and the window of its item strip.
inline CBmpMenu* MenuOf(HWND hPopup) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hPopup);
    return pWnd && pWnd->IsKindOf(RUNTIME_CLASS(CBmpMenu)) ? static_cast<CBmpMenu*>(pWnd) : nullptr;
}
inline HWND Strip(HWND h) { return FindWindowExA(h, nullptr, TOOLBARCLASSNAMEA, nullptr); }
// An item's rectangle in the strip's client coordinates, and its centre as a mouse message's
// lParam.
inline RECT ItemRect(HWND hStrip, int nIndex) {
    RECT rc = {};
    SendMessageA(hStrip, TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(&rc));
    return rc;
}
inline LPARAM ItemParam(HWND hStrip, int nIndex) {
    const RECT rc = ItemRect(hStrip, nIndex);
    return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}
// A press of the left button on an item of a strip; a key press sent to a popup.
inline void Press(HWND h, int i) { SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(h, i)); }
inline void PressKey(HWND hPopup, UINT nKey) { SendMessageA(hPopup, WM_KEYDOWN, nKey, 1); }
// Handles everything queued for the thread.
inline void DispatchAll() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
}

// A visible top-level window that owns the menus of a test, or receives their commands. A step
// that throws leaves its menus to the watchdog: the framework's window procedure catches it.
class CMenuTestOwner : public CWnd {
  public:
    // Creates the window at (x, y) and moves the real cursor out of the menus' way.
    explicit CMenuTestOwner(int x = 560, int y = 420) {
        CreateEx(0, nullptr, "menu owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                 {x, y, x + 200, y + 120}, nullptr, 0);
        SetCursorPos(1010, 5);
        DispatchAll();
    }

    // Names a menu handle in the recorded lines.
    void Name(HMENU hMenu, const char* pszName) { m_names[UINT_PTR(hMenu)] = pszName; }
    // Adds a step that runs when nOpen menus are open (0: any number), else fails the test. The
    // first runs when the top-level menu has entered its loop, each further one after what the
    // previous step posted has been handled.
    void AddStep(size_t nOpen, std::function<void()> step) {
        m_steps.push_back([this, nOpen, step] {
            ASSERT_TRUE(nOpen == 0 || m_openMenus.size() == nOpen) << m_openMenus.size() << " open";
            step();
        });
    }
    // Tracks the menu at the point (or beside the rectangle) with this window as owner and runs
    // the steps; fails the test when the watchdog must close the menus (10 seconds).
    BOOL Track(CBmpMenu& menu, int x, int y, const RECT* pExclude = nullptr) {
        SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
        const BOOL bResult = menu.Track(0, x, y, this, pExclude);
        // A window that went away took its timer along.
        EXPECT_TRUE(m_hWnd == nullptr || KillTimer(m_hWnd, kWatchdogTimer))
            << "the menus stayed open";
        // What is left of the steps goes; a step posted for them finds none.
        m_steps.clear();
        DispatchAll();
        return bResult;
    }
    // The notifications and commands received since the last call, once posted ones are handled,
    // one line each: "initmenu M 0", "initpopup M 0", "enterloop M", "exitloop 0 0",
    // "select ID/FLAGS M", "menuchar KEY/FLAGS M", "command ID 0" (named menus by name).
    std::vector<std::string> Take() {
        DispatchAll();
        return std::move(m_lines);
    }
    // The popups that entered their loops and have not left them, outermost first.
    const std::vector<HWND>& OpenMenus() const { return m_openMenus; }
    // The answer given to WM_MENUCHAR (0 at first).
    void SetMenuCharAnswer(LRESULT nAnswer) { m_nMenuCharAnswer = nAnswer; }

  private:
    static constexpr UINT WM_NEXTSTEP = WM_APP + 17;  // runs the next step
    static constexpr UINT_PTR kWatchdogTimer = 77;    // closes menus left open, once

    // Closes the bitmap menus of the thread.
    static BOOL CALLBACK CloseMenus(HWND hWnd, LPARAM) {
        if (MenuOf(hWnd) != nullptr) MenuOf(hWnd)->CloseMenuChain();
        return TRUE;
    }
    // Records, answers and runs the steps.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        static const std::map<UINT, std::string> kRecorded = {
            {WM_INITMENU, "initmenu"},    {WM_INITMENUPOPUP, "initpopup"},
            {WM_MENUSELECT, "select"},    {WM_MENUCHAR, "menuchar"},
            {WM_COMMAND, "command"},      {WM_ENTERMENULOOP, "enterloop"},
            {WM_EXITMENULOOP, "exitloop"}};
        const auto recorded = kRecorded.find(message);
        // The two halves of a select's or a menu character's wParam; no window in enterloop.
        const bool bSplit = message == WM_MENUSELECT || message == WM_MENUCHAR;
        if (recorded != kRecorded.end())
            m_lines.push_back(
                recorded->second + " " +
                (bSplit ? Text(LOWORD(wParam)) + "/" + Text(HIWORD(wParam)) : Text(wParam)) +
                (message == WM_ENTERMENULOOP ? "" : " " + Text(lParam)));
        if (message == WM_ENTERMENULOOP) m_openMenus.push_back(reinterpret_cast<HWND>(lParam));
        if (message == WM_EXITMENULOOP && !m_openMenus.empty()) m_openMenus.pop_back();
        if (message == WM_NEXTSTEP && !m_steps.empty()) {
            const std::function<void()> step = std::move(m_steps.front());
            m_steps.pop_front();
            step();
        }
        const bool bFirst = message == WM_ENTERMENULOOP && m_openMenus.size() == 1;
        if ((bFirst || message == WM_NEXTSTEP) && !m_steps.empty())
            PostMessageA(m_hWnd, WM_NEXTSTEP, 0, 0);
        if (message == WM_TIMER && wParam == kWatchdogTimer && KillTimer(m_hWnd, wParam))
            EnumThreadWindows(GetCurrentThreadId(), CloseMenus, 0);
        return message == WM_MENUCHAR ? m_nMenuCharAnswer
                                      : CWnd::WindowProc(message, wParam, lParam);
    }
    // A parameter as a menu's name or a number.
    std::string Text(UINT_PTR nValue) const {
        return m_names.count(nValue) ? m_names.at(nValue) : std::to_string(nValue);
    }

    std::deque<std::function<void()>> m_steps;  // steps still to run
    std::vector<std::string> m_lines;           // what was recorded since the last Take
    std::map<UINT_PTR, std::string> m_names;    // names of menu handles
    std::vector<HWND> m_openMenus;              // popups between their loop's entry and exit
    LRESULT m_nMenuCharAnswer = 0;              // the answer to WM_MENUCHAR
};

// The menus of a test: an owner, a host that receives the commands, and the menu most tests use:
// 0 &Open (101), 1 &Checked (102, checked), 2 a separator, 3 &Disabled (103, greyed), 4 &More
// with the submenu Sub &one (201), Sub &two (202) and &other (203), 5 E&xit (104), named "menu"
// and "sub" for the owner. The banner is 30 pixels wide unless the menu is made with other
// values.
struct MenuSetup {
    // Makes the menu with these construction values.
    explicit MenuSetup(int nBanner = 30, BOOL bSubBanner = 0, HBITMAP hBitmap = nullptr,
                       UINT nExtra = 0)
        : menu(nBanner, bSubBanner, hBitmap, nExtra) {
        AppendMenuA(hSub, MF_STRING, 201, "Sub &one");
        AppendMenuA(hSub, MF_STRING, 202, "Sub &two");
        AppendMenuA(hSub, MF_STRING, 203, "&other");
        AppendMenuA(hMenu, MF_STRING, 101, "&Open");
        AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 102, "&Checked");
        AppendMenuA(hMenu, MF_SEPARATOR, 0xFFFFFFFF, nullptr);
        AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 103, "&Disabled");
        AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More");
        AppendMenuA(hMenu, MF_STRING, 104, "E&xit");
        owner.Name(hMenu, "menu"), owner.Name(hSub, "sub");
        menu.Attach(hMenu);
    }
    // Points the tray manager's command delivery back at the host before.
    ~MenuSetup() { CvelTrayLibMgr::Instance().m_hHostWnd = hPreviousHost; }

    CMenuTestOwner owner, host{560, 200};  // the menu's owner; the host receiving commands
    // The tray manager's host window before; the manager delivers to the host meanwhile.
    HWND hPreviousHost = std::exchange(CvelTrayLibMgr::Instance().m_hHostWnd, host.m_hWnd);
    CBmpMenu menu;                                              // the menu
    HMENU hSub = CreatePopupMenu(), hMenu = CreatePopupMenu();  // its submenu, its handle
};
