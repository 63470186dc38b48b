// A hidden window of the library's class "SC_WND" with one object behind it.
// The class's single window procedure finds the object through a process-wide
// registry and hands it the message.
#pragma once

#include <windows.h>

class CNotifyWnd {
  public:
    // Registers the window class once per process; the window comes with Create.
    explicit CNotifyWnd(HINSTANCE hInstance);
    // Destroys the window and drops its registry entry, so that no later message
    // can reach this object once it is gone.
    virtual ~CNotifyWnd();
    CNotifyWnd(const CNotifyWnd&) = delete;
    CNotifyWnd& operator=(const CNotifyWnd&) = delete;

    // Creates the hidden window and enters it in the registry.
    void Create();
    // The object's answer to a message of its window; 1 to everything here.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Forgets module and window.
    virtual void Reset();

    HINSTANCE m_hInstance;  // the module that registers the class and owns the window
    HWND m_hWnd;            // the window, null until Create (and when creation failed)

  protected:
    // Drops the registry entry and waits for an answer running on another thread; from
    // then on no message reaches the object. A derived class whose answers read its own
    // members calls it first in its destructor, before those members go.
    void LeaveRegistry();
};
