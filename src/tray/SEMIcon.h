// The suite's own icon in the notification area, whose picture can rotate, with
// the suite's context menu and the information window. This first version keeps
// what it would show; the shell, the rotation and the window come later.
#pragma once

#include <windows.h>

#include <vector>

#include "tray/MenuEntry.h"

class CWnd;

class CSEMIcon {
  public:
    explicit CSEMIcon(HINSTANCE hInstance);
    virtual ~CSEMIcon();
    CSEMIcon(const CSEMIcon&) = delete;
    CSEMIcon& operator=(const CSEMIcon&) = delete;

    // Hands over the window that owns the suite's context menu.
    void SetMenuOwner(CWnd* pMenuOwner);
    // Shows the resting picture in the notification area.
    void Show();
    // Starts the rotation unless it runs.
    void StartRotation();
    // Stops the rotation and waits for its end.
    void StopRotation();
    // Appends an entry of the suite's menu unless the same pair is there already.
    void AddMenuEntry(DWORD nTextId, DWORD nCmdId);
    // The information window with the text of an id, hidden again, or the alert.
    void ShowInformation(UINT nTextId);
    void HideInformation(int nMode);
    void Alert(const char* pszTooltip, const char* pszText);

    // What the icon shows and keeps.
    HICON GetIconHandle() const { return m_hIcon; }
    bool IsShown() const { return m_bShown; }
    const std::vector<MenuEntry>& GetMenuEntries() const { return m_menuItems; }

  private:
    CWnd* m_pMenuOwner;                  // owner of the suite's menu, not owned; null before set
    std::vector<MenuEntry> m_menuItems;  // the host's entries of the suite's menu
    HICON m_hIcon;                       // the picture shown, not owned
    bool m_bShown;                       // the icon is in the notification area
};
