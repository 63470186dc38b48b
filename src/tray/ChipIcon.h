// The chip icon of one card reader: its picture and tooltip follow the state of
// the card in the reader, and it keeps the reader's own menu entries. This first
// version keeps the state it would show; the shell sees it once tray icons exist.
#pragma once

#include <windows.h>

#include <vector>

#include "text/StrBuf.h"
#include "tray/MenuEntry.h"

class CWnd;

class CChipIcon {
  public:
    CChipIcon(HINSTANCE hInstance, DWORD nCmdBase);
    ~CChipIcon();
    CChipIcon(const CChipIcon&) = delete;
    CChipIcon& operator=(const CChipIcon&) = delete;

    // Sets the tooltip text; takes no lock.
    void SetTooltip(const char* pszText);
    // Appends an entry unless the same pair is there already; takes no lock.
    void AddMenuEntry(DWORD nTextId, DWORD nCmdId);
    // Hands over the window that owns this chip's context menu.
    void SetMenuOwner(CWnd* pMenuOwner);

    // The state operations, each serialised by the chip's lock.
    void Show();
    void SetAbsent(const char* pszReader);
    void SetPresent();
    void SetIdentify();
    void SetIdentified(const char* pszText);
    void SetUnknown();
    void SetActive();
    // Takes the icon out of the notification area; takes no lock.
    void Hide();

    // What the icon shows and keeps.
    DWORD GetCmdBase() const { return m_nCmdBase; }
    CWnd* GetMenuOwner() const { return m_pMenuOwner; }
    const char* GetTooltip() const { return m_strTooltip.CStr(); }
    UINT GetIconId() const { return m_nIconId; }
    bool IsShown() const { return m_bShown; }
    const std::vector<MenuEntry>& GetMenuEntries() const { return m_menuItems; }

  private:
    // Runs one state change under the lock; a failure inside is contained.
    template <typename Steps>
    void RunLocked(Steps steps);
    // Switches the picture and makes the icon visible.
    void Update(UINT nIconId);

    CWnd* m_pMenuOwner;                  // owner of the context menu, not owned; may be null
    DWORD m_nCmdBase;                    // or-ed into every command id of this chip's menu
    std::vector<MenuEntry> m_menuItems;  // the reader's own menu entries, in order of addition
    CRITICAL_SECTION m_cs;               // recursive lock around the state operations
    CStrBuf m_strTooltip;                // the tooltip shown
    UINT m_nIconId;                      // the picture shown (resource id)
    bool m_bShown;                       // the icon is in the notification area
};
