// The hidden window of one icon in the notification area: the shell sends it
// the icon's mouse notifications, and it hands them to the registered handlers.
#pragma once

#include <utility>
#include <vector>

#include "core/NotifyWnd.h"

class CTrayHandler;
class CTrayIcon;

class CTrayCallbackWnd : public CNotifyWnd {
  public:
    // The callback message the shell sends for every icon of the library.
    static constexpr UINT kCallbackMessage = 4702;

    explicit CTrayCallbackWnd(HINSTANCE hInstance);
    // Leaves the registry before the handler table goes.
    ~CTrayCallbackWnd() override;

    // Callback messages go to every handler registered for the mouse message, in
    // order; a shell restart re-adds the icon; everything else is answered 1.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Appends a (mouse message, handler) pair; a key may be registered more than once.
    void AddHandler(UINT nKey, CTrayHandler* pHandler);

    CTrayIcon* m_pIcon;                                      // the owning icon, not owned
    std::vector<std::pair<UINT, CTrayHandler*>> m_handlers;  // the handler table, not owned

  private:
    // Hands a callback message to the handlers, or a shell restart to the icon.
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
};
