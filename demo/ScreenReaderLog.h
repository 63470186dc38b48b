// What a screen reader hears of the library's windows in this process: the events
// of the menus (popup start and end, the focused item), of the information window
// (shown, renamed) and of the alert, each with the name and role of the object it
// is about, asked through Active Accessibility as a screen reader asks. Used by the
// demo host, which prints it, and by the tests, which compare it.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

// One event as heard.
struct HeardEvent {
    DWORD event;       // EVENT_SYSTEM_MENUPOPUPSTART, EVENT_OBJECT_FOCUS, ...
    HWND hWnd;         // the window it is about
    LONG idObject;     // its object id
    LONG idChild;      // its child id
    LONG role;         // the object's role, 0 when it could not be had
    std::string name;  // the object's name, empty when it has none
};

class ScreenReaderLog {
  public:
    // Listens to the events of this process from now on; with bEcho each event is also
    // printed as it arrives.
    explicit ScreenReaderLog(bool bEcho = false);
    ~ScreenReaderLog();
    ScreenReaderLog(const ScreenReaderLog&) = delete;
    ScreenReaderLog& operator=(const ScreenReaderLog&) = delete;

    // True when the hook is in place.
    bool IsListening() const { return m_hHook != nullptr; }
    // The events heard so far; Take also forgets them.
    std::vector<HeardEvent> Take();
    // Answers this thread's messages until at least n events were heard or the time is up.
    bool WaitFor(size_t n, DWORD nTimeoutMs);
    // An event as a line a user would understand, e.g. "focus: menu item \"Open\"".
    static std::string Describe(const HeardEvent& heard);
    // Events as lines with every field, for comparisons. The focus the system reports for a
    // popup window itself, which takes the keyboard, is left out, and so is the role of the
    // system's own window object, which Wine does not answer.
    static std::vector<std::string> Lines(const std::vector<HeardEvent>& events);

  private:
    // The hook's callback: asks the object of the event for its name and role.
    static void CALLBACK OnEvent(HWINEVENTHOOK hHook, DWORD event, HWND hWnd, LONG idObject,
                                 LONG idChild, DWORD idThread, DWORD dwTime);

    static ScreenReaderLog* s_pLog;   // the log that listens; one at a time
    HWINEVENTHOOK m_hHook;            // the in-context hook on this process
    bool m_bEcho;                     // print each event as it arrives
    std::mutex m_lock;                // guards m_heard
    std::vector<HeardEvent> m_heard;  // the events heard and not yet taken
};
