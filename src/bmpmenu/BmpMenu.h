// The library's own popup menu. This first version is only the object that the
// tray manager keeps for the menu that is open or was opened last.
#pragma once

class CBmpMenu {
  public:
    CBmpMenu() = default;
    virtual ~CBmpMenu() = default;
    CBmpMenu(const CBmpMenu&) = delete;
    CBmpMenu& operator=(const CBmpMenu&) = delete;
};
