#include "core/NotifyWnd.h"

#include "core/WndRegistry.h"

namespace {

// The one window procedure of "SC_WND": hands each message to the window's object.
// It never calls the system's default procedure; unknown windows are answered 1.
LRESULT CALLBACK NotifyWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
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
    g_wndRegistry.RegisterClassOnce(hInstance, NotifyWndProc);
}

CNotifyWnd::~CNotifyWnd() {
    // Leave the registry first: the messages of the destruction then find no object.
    g_wndRegistry.Remove(this);
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
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
