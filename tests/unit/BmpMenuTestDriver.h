// Drives bitmap menus in the tests the way Wine's message-sequence tests drive the system's menus:
// a visible owner window records the notifications it receives as lines, a script of steps runs
// inside the menus' modal loops, and a watchdog closes menus that a faulty build leaves open.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CBmpMenu;
class CWnd;

// A visible top-level window that owns the menus of a test, or receives their commands.
class CMenuTestOwner {
  public:
    // Creates the window at (x, y) and moves the real cursor out of the menus' way.
    explicit CMenuTestOwner(int x = 560, int y = 420);
    ~CMenuTestOwner();
    CMenuTestOwner(const CMenuTestOwner&) = delete;
    CMenuTestOwner& operator=(const CMenuTestOwner&) = delete;

    // The window and the framework's object of it.
    HWND Hwnd() const { return m_hWnd; }
    CWnd* Wnd() const;
    // Names a menu handle in the recorded lines.
    void Name(HMENU hMenu, const char* pszName) {
        m_names[reinterpret_cast<UINT_PTR>(hMenu)] = pszName;
    }
    // Adds a step. The first runs when the top-level menu has entered its loop, each further one
    // after what the previous step posted has been handled.
    void AddStep(std::function<void()> step) { m_steps.push_back(std::move(step)); }
    // Tracks the menu at the point (or beside the rectangle) with this window as owner and runs
    // the steps; fails the test when the watchdog must close the menus (10 seconds).
    BOOL Track(CBmpMenu& menu, int x, int y, const RECT* pExclude = nullptr);
    // The notifications and commands received since the last call, one line each:
    // "initmenu M 0", "initpopup M 0", "enterloop M", "exitloop 0 0", "select ID/FLAGS M",
    // "menuchar KEY/FLAGS M", "command ID 0" (numbers in hex, named menus by name).
    std::vector<std::string> Take();
    // The popups that entered their loops and have not left them, outermost first.
    const std::vector<HWND>& OpenMenus() const { return m_openMenus; }
    // The answer given to WM_MENUCHAR (0 at first).
    void SetMenuCharAnswer(LRESULT nAnswer) { m_nMenuCharAnswer = nAnswer; }
    // Number of WM_ENTERIDLE received.
    int EnterIdleCount() const { return m_nEnterIdle; }

  private:
    // Finds the object of the window and hands it the message.
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Records, answers and runs the steps.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A parameter as a menu's name or a hex number.
    std::string Text(UINT_PTR nValue) const;

    HWND m_hWnd = nullptr;                      // the window
    std::deque<std::function<void()>> m_steps;  // steps still to run
    std::vector<std::string> m_lines;           // what was recorded since the last Take
    std::map<UINT_PTR, std::string> m_names;    // names of menu handles
    std::vector<HWND> m_openMenus;              // popups between their loop's entry and exit
    LRESULT m_nMenuCharAnswer = 0;              // the answer to WM_MENUCHAR
    int m_nEnterIdle = 0;                       // WM_ENTERIDLE received
    bool m_bWatchdogFired = false;              // the watchdog closed menus in the last Track
};

// Points the tray manager's command delivery at a host window for one scope.
class CHostScope {
  public:
    explicit CHostScope(HWND hHost);
    ~CHostScope();

  private:
    HWND m_hPrevious;  // the manager's host window before the scope
};

// Items of a menu: flags, the command (a submenu item's is the submenu's handle), the text with &.
struct MenuItem {
    UINT nFlags;
    UINT_PTR nId;
    const char* pszText;
};
HMENU MakeMenu(const std::vector<MenuItem>& items);
// The menu most tests use, attached to the menu: 0 &Open (101), 1 &Checked (102, checked), 2 a
// separator, 3 &Disabled (103, greyed), 4 &More with the submenu Sub &one (201), Sub &two (202)
// and &other (203), 5 E&xit (104). Named "menu" and "sub" for the owner when one is given.
HMENU AttachTestMenu(CBmpMenu& menu, HMENU* phSub = nullptr, CMenuTestOwner* pOwner = nullptr);

// The menu object of an open popup, and the window of its item strip.
CBmpMenu* MenuOf(HWND hPopup);
HWND Strip(HWND hPopup);
// An item's rectangle in the strip's client coordinates, and its centre as a mouse message's
// lParam.
RECT ItemRect(HWND hStrip, int nIndex);
LPARAM ItemParam(HWND hStrip, int nIndex);
// The strip's hot item.
int HotItem(HWND hStrip);
// A press of the left button on an item.
void Press(HWND hStrip, int nIndex);
// Sends a key press (WM_KEYDOWN) to a popup.
void PressKey(HWND hPopup, UINT nKey);
