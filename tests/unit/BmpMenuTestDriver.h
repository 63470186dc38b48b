// Drives bitmap menus in the tests the way Wine's message-sequence conformance tests
// drive the system's menus: a visible owner window records the notifications it
// receives, a script of steps runs inside the menus' modal loops, and a watchdog
// closes menus that a faulty build leaves open.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class CBmpMenu;
class CWnd;

// Which parameters of a message are compared besides the message itself.
constexpr int kAnyParam = 0;
constexpr int kWParam = 1;
constexpr int kLParam = 2;
constexpr int kBoth = kWParam | kLParam;

// A message as the owner received it (every parameter compared) or as a test expects it.
struct MenuMsg {
    UINT message;   // the message
    int nCompare;   // kWParam, kLParam or both
    WPARAM wParam;  // the first parameter
    LPARAM lParam;  // the second parameter
};

// Compares a recorded sequence with an expected one and reports every difference.
void ExpectSequence(const std::vector<MenuMsg>& actual, const std::vector<MenuMsg>& expected,
                    const char* pszContext);

// A visible top-level window that owns the menus of a test, or receives their commands.
class CMenuTestOwner {
  public:
    // Creates the window at (x, y) and moves the real cursor out of the menus' way.
    explicit CMenuTestOwner(int x = 560, int y = 420);
    ~CMenuTestOwner();
    CMenuTestOwner(const CMenuTestOwner&) = delete;
    CMenuTestOwner& operator=(const CMenuTestOwner&) = delete;

    // The window.
    HWND Hwnd() const { return m_hWnd; }
    // The framework's object of the window.
    CWnd* Wnd() const;

    // Adds a step. The first runs when the top-level menu has entered its loop, each
    // further one after what the previous step posted has been handled.
    void AddStep(std::function<void()> step);
    // Tracks the menu at the point (or beside the rectangle) with this window as owner and
    // runs the steps; fails the test when the watchdog must close the menus (10 seconds).
    BOOL Track(CBmpMenu& menu, int x, int y, const RECT* pExclude = nullptr);
    // Dispatches the messages already queued (for example posted commands).
    static void Pump();

    // The menu notifications and commands received so far; Take also forgets them.
    std::vector<MenuMsg> Take();
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

    HWND m_hWnd = nullptr;                      // the window
    std::deque<std::function<void()>> m_steps;  // steps still to run
    std::vector<MenuMsg> m_messages;            // what was recorded since the last Take
    std::vector<HWND> m_openMenus;              // popups between their loop's entry and exit
    LRESULT m_nMenuCharAnswer = 0;              // the answer to WM_MENUCHAR
    int m_nEnterIdle = 0;                       // WM_ENTERIDLE received
    bool m_bWatchdogFired = false;              // the watchdog closed menus in the last Track
};

// An item of a menu made by MakeMenu; a submenu item's id is the submenu's handle.
struct MenuItem {
    UINT nFlags;          // MF_STRING, MF_POPUP, MF_SEPARATOR and state flags
    UINT_PTR nId;         // the command, or the submenu
    const char* pszText;  // the text, with & before the mnemonic
};
HMENU MakeMenu(const std::vector<MenuItem>& items);
// The menu most tests use, attached to the menu: 0 &Open (101), 1 &Checked (102,
// checked), 2 a separator, 3 &Disabled (103, greyed), 4 &More with the submenu Sub &one
// (201), Sub &two (202) and &other (203), 5 E&xit (104). Returns the menu handle.
HMENU AttachTestMenu(CBmpMenu& menu, HMENU* phSub = nullptr);

// The menu object of an open popup, and the window of its item strip.
CBmpMenu* MenuOf(HWND hPopup);
HWND Strip(HWND hPopup);
// Helpers on the item strip of a popup, in the strip's client coordinates.
RECT ItemRect(HWND hStrip, int nIndex);
POINT ItemPoint(HWND hStrip, int nIndex);   // the centre of the button
LPARAM ItemParam(HWND hStrip, int nIndex);  // the same as a mouse message's lParam
int HotItem(HWND hStrip);
// A press of the left button on an item.
void Press(HWND hStrip, int nIndex);
// Sends a key press (WM_KEYDOWN) to a popup.
void PressKey(HWND hPopup, UINT nKey);

// The folder of this test program, with a backslash at the end.
std::string ProgramFolder();
