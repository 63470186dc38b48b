// One icon in the taskbar notification area: its picture and tooltip, the shell
// calls that show, change and remove it, and the hidden window through which
// the shell reports mouse actions on it.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "framework/CriticalSection.h"
#include "tray/TrayIconData.h"

class CTrayCallbackWnd;
class CTrayHandler;

class CTrayIcon {
  public:
    // Size of the shell's call record that every call passes (the layout of shell version 5).
    static constexpr DWORD kRecordSize = 488;
    // Every icon has a window of its own, so one id serves them all.
    static constexpr UINT kIconId = 1;

    // The callback window is made on the home thread: at once there (or while there is no
    // home thread), else when the home thread gets to the request. The icon is not yet shown.
    explicit CTrayIcon(HINSTANCE hInstance);
    // Takes the icon out of the notification area and destroys its window.
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Takes the picture from an icon resource of the module; no shell call.
    void LoadIconRes(UINT nResId);
    // Takes a picture handle (not owned); no shell call.
    void SetIconHandle(HICON hIcon);
    // Takes the picture from a resource and, when shown, sends it to the shell.
    void SetIcon(UINT nResId);
    // Keeps the tooltip (at most 255 characters) and, when shown, sends it (at most 127).
    void SetTooltip(const char* pszText);
    // Adds the icon to the notification area, or modifies it when it is there. Before its
    // window exists the icon is only marked: it is added as soon as the window comes.
    void Update();
    // Takes the icon out of the notification area when it is there.
    void Hide();
    // Takes the icon out of the notification area for good: the tray is stopping, and no
    // later change (from the rotation, or from work queued before) may bring it back.
    void Retire();
    // Makes the callback window anew on the calling thread, the new home of the windows; a
    // shown icon moves to the new window's identity in the notification area.
    void MoveHome();
    // Registers a handler for a mouse message (0x201 left, 0x204 right button down).
    void AddHandler(UINT nKey, CTrayHandler* pHandler);
    // The shell restarted with an empty notification area: a shown icon is added again.
    void OnShellRestart();
    // Holds the icon's lock for a scope: a sequence of changes made under it reaches the
    // shell whole, even while another thread changes the same icon.
    CCriticalSection& GetLock() const { return m_cs; }
    // Forgets module and window.
    virtual void Reset();

    // What the icon shows.
    HICON GetIconHandle() const { return m_pData->m_hIcon; }
    const char* GetTooltip() const { return m_pData->m_szTip; }
    bool IsShown() const { return m_bShown != 0; }
    bool IsRetired() const { return m_bRetired != 0; }

  private:
    // One Shell_NotifyIconA call with a fresh record for this icon.
    BOOL Notify(DWORD dwMessage, UINT uFlags) const;
    // A new callback window on the calling thread; the handlers come under the lock.
    std::unique_ptr<CTrayCallbackWnd> MakeWindow();
    // Takes the callback window made on the home thread; a wanted icon is added then.
    void AttachWindow();

    // The SEM icon is changed by its rotation thread and by the host's thread, so every
    // operation holds this recursive lock; it is always taken after an owner's own lock.
    mutable CCriticalSection m_cs;
    std::unique_ptr<CTrayIconData> m_pData;  // picture and tooltip
    BYTE m_bShown;                           // 1 after an add or modify was sent, 0 after a removal
    BYTE m_bWanted;                          // 1 when shown is asked for before the window exists
    BYTE m_bRetired;                         // 1 once the tray stopped: no further shell call
    HINSTANCE m_hInstance;                   // where icon resources are loaded from
    HWND m_hWnd;                             // the callback window, given to the shell
    std::unique_ptr<CTrayCallbackWnd> m_pWnd;                // the callback window object
    std::vector<std::pair<UINT, CTrayHandler*>> m_handlers;  // handed to each window made
};
