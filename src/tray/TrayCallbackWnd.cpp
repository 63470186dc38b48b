#include "tray/TrayCallbackWnd.h"

#include <algorithm>

#include "core/velTrayLibMgr.h"
#include "framework/ModuleState.h"
#include "tray/TrayHandler.h"
#include "tray/TrayIcon.h"

namespace {

// Broadcast by a shell that (re)started: its notification area is empty.
UINT TaskbarCreatedMessage() {
    static const UINT s_nMessage = RegisterWindowMessageA("TaskbarCreated");
    return s_nMessage;
}

}  // namespace

CTrayCallbackWnd::CTrayCallbackWnd(HINSTANCE hInstance) : CNotifyWnd(hInstance), m_pIcon(nullptr) {
    TaskbarCreatedMessage();
}

CTrayCallbackWnd::~CTrayCallbackWnd() { LeaveRegistry(); }

LRESULT CTrayCallbackWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    AFX_MAINTAIN_STATE2 state(AfxGetStaticModuleState());
    if (message == kCallbackMessage || message == TaskbarCreatedMessage()) {
        return Dispatch(message, wParam, lParam);
    }
    return CNotifyWnd::OnMessage(message, wParam, lParam);
}

LRESULT CTrayCallbackWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // The icon of a stopped tray is out of the notification area; a press that the shell had
    // already sent for it finds nothing to do.
    if (m_pIcon != nullptr && m_pIcon->IsRetired()) return 0;
    if (message == kCallbackMessage) {
        // A handler may register another one while it runs: walk a copy of the table.
        const auto handlers = m_handlers;
        const bool bHandled = std::any_of(
            handlers.begin(), handlers.end(),
            [lParam](const auto& pair) { return pair.first == static_cast<UINT>(lParam); });
        // A press while one of the library's menus is open (its loop is further up this
        // thread's stack): that menu closes first, and the press comes back once its loop
        // has ended, so that one menu at most exists and none goes while its loop runs.
        if (bHandled && CvelTrayLibMgr::Instance().CloseOpenMenu()) {
            PostMessageA(m_hWnd, message, wParam, lParam);
            return 0;
        }
        for (const auto& pair : handlers) {
            if (pair.first == static_cast<UINT>(lParam)) pair.second->OnTrayMessage(wParam, lParam);
        }
        return 0;
    }
    if (m_pIcon == nullptr) return 0;
    CScopedLock lock(CvelTrayLibMgr::Instance().GetLock());
    m_pIcon->OnShellRestart();
    return 0;
}

void CTrayCallbackWnd::AddHandler(UINT nKey, CTrayHandler* pHandler) {
    m_handlers.emplace_back(nKey, pHandler);
}
