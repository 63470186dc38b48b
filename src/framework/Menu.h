// The framework's menu wrapper: the owner of one menu handle.
#pragma once

#include <windows.h>

class CMenu {
  public:
    CMenu();
    // Destroys the menu that is still attached.
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Takes ownership of a menu; FALSE when hMenu is null or a menu is attached already.
    BOOL Attach(HMENU hMenu);
    // Gives the menu up without destroying it; the caller owns it afterwards.
    HMENU Detach();
    // Destroys the attached menu now; FALSE when there was none or the system refused.
    BOOL DestroyMenu();
    // The attached menu, or null.
    HMENU GetSafeHmenu() const;

    HMENU m_hMenu;  // the attached menu, owned
};
