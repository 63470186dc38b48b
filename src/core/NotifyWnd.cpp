#include "core/NotifyWnd.h"

#include "core/HomeThread.h"
#include "core/WndRegistry.h"
#include "framework/Wnd.h"

namespace {

// Asks a window to destroy itself: only its own thread can, and the object that owned it
// may be destroyed on another thread.
UINT DestroySelfMessage() {
    static const UINT s_nMessage = RegisterWindowMessageA("velTrayLib SC_WND destroy");
    return s_nMessage;
}

// Hands a message to the window's object, which the registry keeps from being destroyed
// by another thread until the object has answered.
LRESULT Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CNotifyWnd* pWnd = g_wndRegistry.Enter(hWnd);
    if (pWnd == nullptr) return 1;
    LRESULT lResult = 1;
    try {
        lResult = pWnd->OnMessage(message, wParam, lParam);
    } catch (...) {
        g_wndRegistry.Leave(pWnd);
        throw;
    }
    g_wndRegistry.Leave(pWnd);
    return lResult;
}

// The one window procedure of "SC_WND": hands each message to the window's object.
// It never calls the system's default procedure; unknown windows are answered 1.
// Every message is one of the library's frames: what a stop took out of the tray is not
// destroyed while an answer (a menu opened by a press on an icon, say) still runs.
// The class is looked up on every message, not once: a library that was unloaded and
// loaded again registers it anew, and a window of the old registration must not reach
// objects of the new one.
LRESULT CALLBACK NotifyWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == DestroySelfMessage() && g_wndRegistry.Find(hWnd) == nullptr) {
            DestroyWindow(hWnd);
            return 0;
        }
        if (!g_wndRegistry.IsOurClass()) return 1;
        CHomeThread::CFrame frame;
        if (message == CHomeThread::RequestMessage()) {
            g_homeThread.RunRequests();
            return 0;
        }
        return Dispatch(hWnd, message, wParam, lParam);
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
    LeaveRegistry();
    if (m_hWnd == nullptr) return;
    if (IsWindowOfThisThread(m_hWnd)) {
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

void CNotifyWnd::LeaveRegistry() { g_wndRegistry.Remove(this); }

LRESULT CNotifyWnd::OnMessage(UINT, WPARAM, LPARAM) { return 1; }

void CNotifyWnd::Reset() {
    m_hInstance = nullptr;
    m_hWnd = nullptr;
}
