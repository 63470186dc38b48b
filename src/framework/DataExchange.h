// Data exchange between a dialog's members and its controls: one call per control in
// DoDataExchange serves both directions.
#pragma once

#include <windows.h>

class CDialog;
class CStrBuf;
class CWnd;

// Which way one exchange runs and for which dialog.
class CDataExchange {
  public:
    // An exchange for the dialog in one direction.
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate);

    // The control of an id in the dialog, or null when the template has none.
    HWND GetControl(int nIdc) const;

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CDialog* m_pDlgWnd;       // the dialog whose controls are exchanged
};

// Binds a wrapper to the control of an id the first time; later exchanges keep the binding.
void DDX_Control(CDataExchange* pDX, int nIdc, CWnd& rControl);
// Exchanges a text with the control's window text.
void DDX_Text(CDataExchange* pDX, int nIdc, CStrBuf& value);
// Exchanges a check value (0 clear, 1 checked, 2 indeterminate) with a button's check state.
void DDX_Check(CDataExchange* pDX, int nIdc, BOOL& value);
