// The process-wide registry of hidden "SC_WND" windows: which object answers
// the messages of which window, and the state of the class registration.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "framework/CriticalSection.h"

class CNotifyWnd;

class CWndRegistry {
  public:
    // No windows, class not registered.
    CWndRegistry();
    // Unregisters the class: a DLL's classes outlive its unload otherwise, and a
    // reloaded library would then create windows with a stale window procedure.
    ~CWndRegistry();
    CWndRegistry(const CWndRegistry&) = delete;
    CWndRegistry& operator=(const CWndRegistry&) = delete;

    // Registers "SC_WND" for the module unless it was registered for it before.
    void RegisterClassOnce(HINSTANCE hInstance, WNDPROC pfnWndProc);
    // True when the class the system knows under the name is ours.
    bool IsOurClass() const;
    // Appends a pair at the end, in order of creation.
    void Add(HWND hWnd, CNotifyWnd* pWnd);
    // Drops every pair of the object, then waits (at most kDispatchWaitMs) until no other
    // thread is still inside a message of it: the caller is about to destroy it.
    void Remove(const CNotifyWnd* pWnd);
    // The object of the first pair with the window, or null.
    CNotifyWnd* Find(HWND hWnd) const;
    // Like Find, and marks the object as in use by this thread's dispatch until Leave.
    CNotifyWnd* Enter(HWND hWnd);
    // Ends a dispatch begun by Enter.
    void Leave(const CNotifyWnd* pWnd);
    // Number of pairs.
    size_t Count() const;

    static const char kClassName[];  // "SC_WND"
    // How long Remove waits for another thread's dispatch. The messages that run without
    // the library lock are answered at once, so a longer wait means that thread is stuck.
    static constexpr DWORD kDispatchWaitMs = 1000;

  private:
    // True when a thread other than the caller's is inside a message of the object.
    bool InForeignDispatch(const CNotifyWnd* pWnd) const;

    std::vector<std::pair<HWND, CNotifyWnd*>> m_entries;            // pairs in order of creation
    std::vector<std::pair<const CNotifyWnd*, DWORD>> m_dispatches;  // (object, thread) in use
    // Guards both lists: windows of several threads are created, destroyed and dispatched.
    mutable CCriticalSection m_cs;
    BYTE m_bClassRegistered;                  // the class-registered flag
    HINSTANCE m_hClassInstance;               // module the class was registered for first
    std::vector<HINSTANCE> m_otherInstances;  // further modules that asked for the class
};

// The one registry of the process.
extern CWndRegistry g_wndRegistry;
