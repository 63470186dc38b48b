// The chip icon of one card reader: its picture and tooltip follow the state of
// the card in the reader, it keeps the reader's own menu entries, and a mouse
// press on it opens the reader's context menu.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/CriticalSection.h"
#include "tray/MenuEntry.h"
#include "tray/TrayHandler.h"

class CTrayIcon;
class CWnd;

class CChipIcon {
  public:
    // The states of the card in the reader, each with its picture and tooltip.
    enum class CardState { kAbsent, kPresent, kIdentify, kIdentified, kUnknown, kActive };

    // The icon exists but is not yet shown; its tooltip is the product name.
    CChipIcon(HINSTANCE hInstance, DWORD nCmdBase);
    // Takes the icon out of the notification area.
    ~CChipIcon();
    CChipIcon(const CChipIcon&) = delete;
    CChipIcon& operator=(const CChipIcon&) = delete;

    // Sets the tooltip; takes no lock.
    void SetTooltip(const char* pszText);
    // Appends an entry unless the same pair is there already; takes no lock.
    void AddMenuEntry(DWORD nTextId, DWORD nCmdId);
    // Hands over the window that owns this chip's context menu.
    void SetMenuOwner(CWnd* pMenuOwner);

    // The state operations, each serialised by the chip's lock; each ends with the
    // icon shown (added when it was not in the notification area, modified when it was).
    // Show: the absent picture, without a change of tooltip. Of the card states, absent also
    // forgets the reader's menu entries and identified also shows its text (may be null) in
    // the information window.
    void Show();
    void SetAbsent(const char* pszReader);
    void SetPresent();
    void SetIdentify();
    void SetIdentified(const char* pszText);
    void SetUnknown();
    void SetActive();

    // A mouse button went down on the icon: opens the reader's context menu.
    void OnTrayClick(WPARAM wParam, LPARAM lParam);

    // The icon in the notification area (velHideChipIcon hides it directly, without the lock).
    CTrayIcon* GetTrayIcon() const { return m_pTrayIcon.get(); }
    // What the host gave this reader.
    DWORD GetCmdBase() const { return m_nCmdBase; }
    CWnd* GetMenuOwner() const { return m_pMenuOwner; }
    const std::vector<MenuEntry>& GetMenuEntries() const { return m_menuItems; }

  private:
    // Runs one state change under the lock; a failure inside is contained.
    template <typename Steps>
    void RunLocked(Steps steps);
    // A card state's picture and tooltip under the lock; pszText is the reader name for
    // kAbsent and the card's text (may be null) for kIdentified, unused otherwise.
    void SetState(CardState state, const char* pszText);
    // SetState's work, under the lock the caller holds.
    void ApplyState(CardState state, const char* pszText);

    std::unique_ptr<CTrayHandlerOf<CChipIcon>> m_pHandler;  // opens the menu on a press
    std::unique_ptr<CTrayIcon> m_pTrayIcon;                 // the icon in the notification area
    CWnd* m_pMenuOwner;                  // owner of the context menu, not owned; may be null
    DWORD m_nCmdBase;                    // or-ed into every command id of this chip's menu
    std::vector<MenuEntry> m_menuItems;  // the reader's own menu entries, in order of addition
    CCriticalSection m_cs;               // recursive lock around the state operations
};
