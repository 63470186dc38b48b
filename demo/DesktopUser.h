// A user at the desktop, for programs that show the library at work (the demo
// host and the end-to-end tests): real mouse clicks through xdotool on the X
// display, the icons' places in the notification area, the open popup menu's
// entries, and the suite's SEM stand-in.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ShellRecorder.h"

// How long a user action may take before it counts as lost.
constexpr DWORD kUserWaitMs = 8000;

// Runs a Linux program of the X display (xdotool) and waits for it; false when it
// could not be started. Called on a driver thread while the window thread answers
// messages.
bool RunUnix(const std::string& commandLine);
// A mouse click (button 1 left, 3 right) at a desktop point.
void Click(POINT pt, int nButton);
// Answers this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD nTimeoutMs);
// Plays a user's actions on a driver thread while this thread runs the library's
// windows (and the menus' modal loops) as the host's user-interface thread does.
void PlayAsUser(const std::function<void()>& script);

// Where the shell shows the icon of a callback window, in desktop coordinates; the
// calls recorded of the library tell the order of the icons.
bool IconCenter(HWND hIconWnd, const std::vector<ShellCall>& calls, POINT& pt);

// An entry of the open popup menu as the user sees it: text, command and place.
struct MenuItem {
    std::string text;
    int nCommand;
    POINT center;
};
// The open popup menu, or null.
HWND FindMenu();
// Its entries, separators left out.
std::vector<MenuItem> ReadMenu(HWND hMenu);
// Waits (on the driver thread) for a menu to open; null when none did.
HWND WaitForMenu();
// Waits until no menu is open; false when one stays.
bool WaitForNoMenu();
// The entry with a command, or null.
const MenuItem* FindItem(const std::vector<MenuItem>& items, int nCommand);

// The suite's SEM stand-in (velSEMx.exe or velSEMm.exe beside the program, or a copy
// at a path), running while the object lives. Its output goes to a pipe, or to our own
// output.
class SemStandIn {
  public:
    SemStandIn(const char* pszProgram, bool bCaptureOutput);
    ~SemStandIn();
    SemStandIn(const SemStandIn&) = delete;
    SemStandIn& operator=(const SemStandIn&) = delete;

    bool Started() const { return m_bStarted; }
    // Everything it printed into the pipe, once it has ended (or after the wait).
    std::string Output();

  private:
    HANDLE m_hRead = nullptr;       // our end of its output pipe; null when not captured
    PROCESS_INFORMATION m_pi = {};  // the running stand-in
    bool m_bStarted = false;        // it was started
};
