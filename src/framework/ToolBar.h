// The framework's tool bar: a control bar over the system's toolbar common control.
// The control is subclassed at creation, so its messages pass through the message
// map first and its notifications to the parent can be reflected back to it.
#pragma once

#include <windows.h>

#include "framework/ControlBar.h"

// The framework's standard tool bar id.
constexpr UINT AFX_IDW_TOOLBAR = 0xE800;

class CToolBar : public CControlBar {
    DECLARE_DYNAMIC(CToolBar)

  public:
    // Creates the control as a child of pParentWnd. dwCtrlStyle holds the control's own
    // styles (TBSTYLE_), dwStyle the window styles and the bar styles (CBRS_), which
    // are kept apart. The borders are accepted for the framework's signature; the bar
    // lays nothing out itself, so they have no effect.
    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, const RECT& rcBorders,
                  UINT nID);
    // Gives the button at the index a text; FALSE when the button cannot be read or the
    // control refuses the text.
    BOOL SetButtonText(int nIndex, LPCSTR lpszText);
    // The index of the first button with the command id, -1 when there is none.
    int CommandToIndex(UINT nIDFind);
};
