// The tray manager's hidden window. It exists to own the popup menus, so it
// answers every message with the default of its base class.
#pragma once

#include "core/NotifyWnd.h"

class CMenuOwnerWnd : public CNotifyWnd {
  public:
    explicit CMenuOwnerWnd(HINSTANCE hInstance);

    // Runs in the library's module state and answers 1.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
