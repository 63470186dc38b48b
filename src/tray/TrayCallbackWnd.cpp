#include "tray/TrayCallbackWnd.h"

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
    // Both come in under the library lock (they are above WM_USER): the exports of other
    // threads wait while the icons are acted on.
    if (message == kCallbackMessage || message == TaskbarCreatedMessage()) {
        return Dispatch(message, wParam, lParam);
    }
    return CNotifyWnd::OnMessage(message, wParam, lParam);
}

LRESULT CTrayCallbackWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallbackMessage) {
        // A handler may register another one while it runs: walk a copy of the table.
        const auto handlers = m_handlers;
        for (const auto& pair : handlers) {
            if (pair.first == static_cast<UINT>(lParam)) pair.second->OnTrayMessage(wParam, lParam);
        }
        return 0;
    }
    if (m_pIcon != nullptr) m_pIcon->OnShellRestart();
    return 0;
}

void CTrayCallbackWnd::AddHandler(UINT nKey, CTrayHandler* pHandler) {
    m_handlers.emplace_back(nKey, pHandler);
}
