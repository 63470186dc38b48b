// The suite's own icon in the notification area. Its picture can rotate through
// the four design pictures while the suite is busy; it owns the suite's context
// menu entries and the information window with the alert.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/MemberThread.h"
#include "framework/KernelHandle.h"
#include "infownd/HideMode.h"
#include "tray/MenuEntry.h"
#include "tray/TrayHandler.h"

class CInfoDlg;
class CTrayIcon;
class CWnd;

class CSEMIcon {
  public:
    // The tooltip is the product name; the icon is not yet shown.
    explicit CSEMIcon(HINSTANCE hInstance);
    // Stops the rotation, destroys the information window and takes the icon out of the
    // notification area. On the home thread, where the information window lives.
    virtual ~CSEMIcon();
    CSEMIcon(const CSEMIcon&) = delete;
    CSEMIcon& operator=(const CSEMIcon&) = delete;

    // Hands over the window that owns the suite's menu.
    void SetMenuOwner(CWnd* pMenuOwner);
    // Shows the resting picture (design picture 110) in the notification area.
    void Show();
    // Starts the rotation unless it runs.
    void StartRotation();
    // Stops the rotation and waits for its end, if it runs.
    void StopRotation();
    // Asks a running rotation to stop and returns a handle of its thread to wait on (null
    // when none runs), so that the caller can wait without holding the tray's lock.
    CKernelHandle RequestRotationStop();
    // Appends an entry of the suite's menu unless the same pair is there already.
    void AddMenuEntry(DWORD nTextId, DWORD nCmdId);
    // Shows the information window with the text of an id, every "%1" replaced by the
    // product name.
    void ShowInformation(UINT nTextId);
    // Shows the information window with a text (null: nothing happens), creating it on
    // first use. The window lives on the home thread: the text goes there as a request and
    // is shown, with its slide, once the caller's lock is released.
    void ShowText(const char* pszText);
    // Hides the information window if it exists, on the home thread as a request.
    void HideInformation(HideMode mode);
    // The same here, on the home thread (a menu is about to open).
    void HideInformationNow(HideMode mode);
    // The alert: the alert picture and, when given, a tooltip; then the text in the
    // information window.
    void Alert(const char* pszTooltip, const char* pszText);

    // A mouse button went down on the icon: opens the suite's menu.
    void OnTrayClick(WPARAM wParam, LPARAM lParam);

    // The icon in the notification area.
    CTrayIcon* GetTrayIcon() const { return m_pTrayIcon.get(); }
    // The host's entries of the suite's menu.
    const std::vector<MenuEntry>& GetMenuEntries() const { return m_menuItems; }
    // True while the rotation thread runs.
    bool IsRotating() const { return m_rotation.m_nState == CWorkerThread::ThreadState::kRunning; }
    // The information window, or null before its first use.
    CInfoDlg* GetInfoDlg() const { return m_pInfoDlg.get(); }

  private:
    // The rotation routine, run on the rotation thread.
    DWORD Rotate();
    // ShowText's work on the home thread.
    void ShowTextNow(const std::string& strText);

    std::unique_ptr<CTrayHandlerOf<CSEMIcon>> m_pHandler;  // opens the menu on a press
    std::unique_ptr<CTrayIcon> m_pTrayIcon;                // the icon in the notification area
    CWnd* m_pMenuOwner;                    // owner of the suite's menu, not owned; null before set
    CMemberThread<CSEMIcon> m_rotation;    // runs Rotate; its stop byte ends the rotation
    std::vector<MenuEntry> m_menuItems;    // the host's entries of the suite's menu
    std::unique_ptr<CInfoDlg> m_pInfoDlg;  // the information window; null before its first use
    HWND m_hTaskbarWnd;                    // the taskbar, looked up until found
};
