// The framework's window wrapper. Code that only needs to name a window (for
// example as the owner of a popup menu) holds a CWnd from FromHandle.
#pragma once

#include <windows.h>

class CWnd {
  public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The window, or null for a wrapper without window.
    HWND GetSafeHwnd() const;

    // The wrapper of a window. One wrapper per handle, made on first request and
    // kept until ForgetHandle or the module's unload, so the pointer stays valid
    // for as long as its holder may use it.
    static CWnd* FromHandle(HWND hWnd);
    // Drops the wrapper that FromHandle made for a window that is going away.
    static void ForgetHandle(HWND hWnd);

    HWND m_hWnd;  // the wrapped window
};
