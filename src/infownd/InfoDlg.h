// The information window: a small bordered pop-up beside the taskbar that shows one line
// of status text over a background picture, with a check-box-styled control that hides it
// for good. It slides out of the taskbar when shown and back into it when hidden. It is
// created disabled and never activated, so it never takes the focus from the user's
// application; the hide control stays operable through CvelButton.
#pragma once

#include <windows.h>

#include "framework/CriticalSection.h"
#include "framework/Dialog.h"
#include "framework/Wnd.h"
#include "infownd/HideMode.h"
#include "text/StrBuf.h"
#include "velctl/velButton.h"

class CDC;
class CNamedAccessible;

class CInfoDlg : public CDialog {
  public:
    // The dialog template and the background picture in the library's resources.
    static constexpr UINT IDD = 219;
    static constexpr UINT kBackgroundBitmapId = 220;
    // The controls of the template.
    static constexpr int kTextControlId = 202;
    static constexpr int kHideControlId = 203;
    // The object id under which the window answers with its last alert (WM_GETOBJECT).
    static constexpr LONG kAlertObjectId = 1;

    // Nothing is created yet; the text is empty.
    CInfoDlg();
    // Destroys the window.
    ~CInfoDlg() override;

    // Creates the hidden, disabled window from the library's template, without parent.
    BOOL Create();
    // Hands over the taskbar (may be null).
    void SetTaskbar(HWND hTaskbarWnd);
    // Sets the text shown; null counts as empty.
    void SetText(const char* pszText);

    // Computes place and size beside the taskbar and shows the window there: sliding in
    // when it was not shown, at once when it was.
    void Layout();
    // The window size the text and the hide control need.
    SIZE CalcSize();
    // Animates the window out of the taskbar to its current rectangle.
    void SlideIn();
    // Hides the window as the mode says; called on another thread than the window's, at once
    // and without waiting for it.
    void Hide(HideMode mode);
    // Paints the background picture and brings the controls up to date.
    void DrawBackground();
    // Raises the alert of the text for assistive technology: an alert object whose name is
    // the text. Nothing for a null or empty text or without a window.
    void AnnounceAlert(const char* pszText);

    // What the window shows and where it stands.
    const char* GetText() const { return m_strText.CStr(); }
    bool IsShown() const { return m_bShown != 0; }
    bool IsHiddenByUser() const { return m_bHiddenByUser != 0; }
    int GetEdge() const { return m_nEdge; }

  protected:
    // Binds both controls and exchanges the text and the check value.
    void DoDataExchange(CDataExchange* pDX) override;
    // Exchanges the data, clears the shown flag and lays the window out.
    BOOL OnInitDialog() override;
    // Control colours, the hide control's click and painting.
    bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

  private:
    // WM_CTLCOLORSTATIC: both controls draw black text straight onto the background.
    HBRUSH OnCtlColorStatic(HDC hDC, HWND hCtrl);
    // The hide control was operated: hidden for good.
    void OnHideClicked();
    // WM_PAINT: the background, then both controls over it.
    void OnPaint();
    // Paints the background into a DC of the client area.
    void DrawBackground(CDC& dc);
    // Screen size from the window's client device context.
    SIZE GetScreenSize() const;
    // The window rectangle, or the fallback place while the window lies above the screen.
    RECT GetAnimationRect() const;
    // The steps of the slide between the taskbar and the rectangle r, on the taskbar's edge:
    // out of the taskbar (bOut) or back into it.
    void Animate(const RECT& r, bool bOut);
    // Gives the window itself the text as its name, which assistive technology reads; false
    // when it had that name already.
    bool NameAfterText();
    // WM_GETOBJECT: the last alert under its object id; everything else is the system's.
    bool OnGetObject(WPARAM wParam, LPARAM lParam, INT_PTR* pResult);

    CvelButton m_hideButton;  // the hide control (203)
    CWnd m_textCtrl;          // the text control (202)
    CStrBuf m_strText;        // the text shown; exchanged with the text control
    BOOL m_bCheck;            // exchanged with the hide control's check state
    BYTE m_bHiddenByUser;     // 1 once the user operated the hide control; never cleared
    BYTE m_bShown;            // 1 while slid in and shown
    HWND m_hTaskbarWnd;       // the taskbar, or null when there is none
    int m_nEdge;              // where the taskbar is (kEdgeBottom ...), set by each layout

    // The last alert raised, as assistive technology reads it; one reference held, null
    // before the first.
    CNamedAccessible* m_pAlert;
    CCriticalSection m_alertLock;  // guards m_pAlert between the raising and the window's thread
};
