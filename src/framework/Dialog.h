// A modeless dialog made from a dialog template of a module. The dialog procedure is
// bound to the object through the creation parameter and DWLP_USER, so each message
// reaches the object's own handlers; the object outlives its window or destroys it.
#pragma once

#include <windows.h>

#include "framework/Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
  public:
    // Nothing is created yet; nIDTemplate names the dialog template.
    explicit CDialog(UINT nIDTemplate);
    // Destroys the window if it still exists.
    ~CDialog() override;

    // Creates the modeless dialog from the template in hResource (the current module
    // state's resource module when null), owned by pParentWnd (may be null). FALSE when
    // the template is missing, the window could not be made or it exists already.
    BOOL Create(CWnd* pParentWnd, HINSTANCE hResource);
    // Lets go of the window and destroys it. A window of another thread cannot be destroyed
    // from here: it is hidden and told to close, which it does on its own thread as soon as
    // that thread handles its messages (or when the thread ends). FALSE when there is none
    // or it was left to its thread.
    BOOL DestroyWindow();
    // True when the window belongs to the calling thread; only that thread may change it
    // without waiting for the other one to handle messages.
    bool IsOnCallingThread() const;
    // Runs DoDataExchange: controls to members (TRUE) or members to controls (FALSE).
    BOOL UpdateData(BOOL bSaveAndValidate);

  protected:
    // Binds controls and exchanges their values with members; the base does nothing.
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs once the controls exist; the base puts the members into the controls.
    // TRUE lets the dialog manager set the focus (a disabled dialog takes none).
    virtual BOOL OnInitDialog();
    // A message for the derived dialog. Returns true when it handled the message, with
    // *pResult the dialog procedure's answer (a brush for WM_CTLCOLOR*, else TRUE/FALSE).
    virtual bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* pResult);

    UINT m_nIDTemplate;  // the dialog template's id

  private:
    // The dialog procedure of every CDialog; finds the object through DWLP_USER.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
