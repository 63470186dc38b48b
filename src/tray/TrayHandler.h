// How an icon's owner hears of mouse actions on its icon in the notification area.
#pragma once

#include <windows.h>

class CTrayHandler {
  public:
    virtual ~CTrayHandler() = default;
    // A registered mouse message arrived: wParam is the icon id, lParam the mouse message.
    virtual void OnTrayMessage(WPARAM wParam, LPARAM lParam) = 0;
};

// A handler that forwards to its owner's OnTrayClick.
template <typename Owner>
class CTrayHandlerOf : public CTrayHandler {
  public:
    explicit CTrayHandlerOf(Owner* pOwner) : m_pOwner(pOwner) {}
    void OnTrayMessage(WPARAM wParam, LPARAM lParam) override {
        m_pOwner->OnTrayClick(wParam, lParam);
    }

  private:
    Owner* m_pOwner;  // the icon that owns this handler
};
