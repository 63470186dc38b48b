#include "framework/ControlBar.h"

IMPLEMENT_DYNAMIC(CControlBar, CWnd)

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

CControlBar::CControlBar() : m_dwStyle(0) {}

int CControlBar::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1) return -1;
    if ((m_dwStyle & CBRS_TOOLTIPS) != 0) EnableToolTips(TRUE);
    return 0;
}
