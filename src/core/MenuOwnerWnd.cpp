#include "core/MenuOwnerWnd.h"

#include "framework/ModuleState.h"

CMenuOwnerWnd::CMenuOwnerWnd(HINSTANCE hInstance) : CNotifyWnd(hInstance) {}

LRESULT CMenuOwnerWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    AFX_MAINTAIN_STATE2 state(AfxGetStaticModuleState());
    return CNotifyWnd::OnMessage(message, wParam, lParam);
}
