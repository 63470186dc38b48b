#include "core/NotifyWnd.h"

#include "core/WndRegistry.h"

namespace {

// Asks a window to destroy itself: only its own thread can, and the object that owned it
// may be destroyed on another thread.
UINT DestroySelfMessage() {
    static const UINT s_nMessage = RegisterWindowMessageA("velTrayLib SC_WND destroy");
    return s_nMessage;
}

// The one window procedure of "SC_WND": hands each message to the window's object.
// It never calls the system's default procedure; unknown windows are answered 1.
LRESULT CALLBACK NotifyWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == DestroySelfMessage() && g_wndRegistry.Find(hWnd) == nullptr) {
            DestroyWindow(hWnd);
            return 0;
        }
        if (!g_wndRegistry.IsOurClass()) return 1;
        CNotifyWnd* pWnd = g_wndRegistry.Find(hWnd);
        return pWnd != nullptr ? pWnd->OnMessage(message, wParam, lParam) : 1;
    } catch (...) {
        return 1;
    }
}

}  // namespace

CNotifyWnd::CNotifyWnd(HINSTANCE hInstance) {
    Reset();
    m_hInstance = hInstance;
    DestroySelfMessage();
    g_wndRegistry.RegisterClassOnce(hInstance, NotifyWndProc);
}

CNotifyWnd::~CNotifyWnd() {
    // Leave the registry first: the messages of the destruction then find no object.
    g_wndRegistry.Remove(this);
    if (m_hWnd == nullptr) return;
    if (GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(m_hWnd);
    } else {
        PostMessageA(m_hWnd, DestroySelfMessage(), 0, 0);
    }
}

void CNotifyWnd::Create() {
    m_hWnd = CreateWindowExA(0, CWndRegistry::kClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                             m_hInstance, nullptr);
    g_wndRegistry.Add(m_hWnd, this);
}

LRESULT CNotifyWnd::OnMessage(UINT, WPARAM, LPARAM) { return 1; }

void CNotifyWnd::Reset() {
    m_hInstance = nullptr;
    m_hWnd = nullptr;
}
