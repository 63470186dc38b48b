// Stand-in for the check-box-styled button of the suite's control library. It binds to a
// button control of a dialog and keeps it operable while the dialog itself is disabled:
// a disabled window gets no mouse input, only the cursor query (WM_SETCURSOR with HTERROR)
// that tells of a press on it. The button watches that query on its dialog and reports a
// press over itself as its own click (WM_COMMAND with BN_CLICKED), so the dialog reacts
// without ever being enabled, activated or given the focus.
#pragma once

#include <windows.h>

#include "framework/Wnd.h"

class CDataExchange;

class CvelButton : public CWnd {
  public:
    // Bound to no control yet.
    CvelButton();
    // Lets go of the control; the control itself belongs to its dialog.
    ~CvelButton() override;

    // Binds to the control nId of the dialog; FALSE when already bound or there is none.
    BOOL SubclassDlgItem(UINT nId, CWnd* pParent);
    // Relabels the control (see CvelCtlTextEnabler).
    void SetWindowText(const char* pszText);
    // Sets the check state: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    void SetCheck(int nCheck);

  private:
    // Window property that marks a control bound to a CvelButton.
    static constexpr const char* kButtonProp = "velCtl.Button";
    // Window property of a dialog that keeps the dialog's window procedure before the watch.
    static constexpr const char* kParentProcProp = "velCtl.ParentProc";

    // Watches the dialog's cursor queries; chains to the dialog's own procedure.
    static LRESULT CALLBACK ParentProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Reports a click of the bound control under the cursor; false when there is none.
    static bool ClickControlAtCursor(HWND hParent);
};

// Binds a CvelButton to its control on the first exchange.
void DDX_Control(CDataExchange* pDX, int nIdc, CvelButton& rControl);
