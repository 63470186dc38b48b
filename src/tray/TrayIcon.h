// One icon in the taskbar notification area: its picture and tooltip, the shell
// calls that show, change and remove it, and the hidden window through which
// the shell reports mouse actions on it.
#pragma once

#include <windows.h>

#include <memory>

#include "tray/TrayIconData.h"

class CTrayCallbackWnd;
class CTrayHandler;

class CTrayIcon {
  public:
    // Holds the icon's lock for a scope: a sequence of changes made under it reaches
    // the shell whole, even while another thread changes the same icon.
    class CScopedLock {
      public:
        explicit CScopedLock(const CTrayIcon& icon) : m_cs(icon.m_cs) {
            EnterCriticalSection(&m_cs);
        }
        ~CScopedLock() { LeaveCriticalSection(&m_cs); }
        CScopedLock(const CScopedLock&) = delete;
        CScopedLock& operator=(const CScopedLock&) = delete;

      private:
        CRITICAL_SECTION& m_cs;  // the icon's lock
    };

    // Size of the shell's call record that every call passes (the layout of shell version 5).
    static constexpr DWORD kRecordSize = 488;
    // Every icon has a window of its own, so one id serves them all.
    static constexpr UINT kIconId = 1;

    // Creates the callback window at once; the icon is not yet shown.
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
    // Adds the icon to the notification area, or modifies it when it is there.
    void Update();
    // Takes the icon out of the notification area when it is there.
    void Hide();
    // Registers a handler for a mouse message (0x201 left, 0x204 right button down).
    void AddHandler(UINT nKey, CTrayHandler* pHandler);
    // The shell restarted with an empty notification area: a shown icon is added again.
    void OnShellRestart();
    // Forgets module and window.
    virtual void Reset();

    // What the icon shows.
    HICON GetIconHandle() const { return m_pData->m_hIcon; }
    const char* GetTooltip() const { return m_pData->m_szTip; }
    bool IsShown() const { return m_bShown != 0; }

  private:
    // One Shell_NotifyIconA call with a fresh record for this icon.
    BOOL Notify(DWORD dwMessage, UINT uFlags) const;

    // The SEM icon is changed by its rotation thread and by the host's thread, so every
    // operation holds this recursive lock; it is always taken after an owner's own lock.
    mutable CRITICAL_SECTION m_cs;
    std::unique_ptr<CTrayIconData> m_pData;  // picture and tooltip
    BYTE m_bShown;                           // 1 after an add or modify was sent, 0 after a removal
    HINSTANCE m_hInstance;                   // where icon resources are loaded from
    HWND m_hWnd;                             // the callback window, given to the shell
    CTrayCallbackWnd* m_pWnd;                // the callback window object; owned
};
