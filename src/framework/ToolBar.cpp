#include "framework/ToolBar.h"

#include <cstring>
#include <string>

IMPLEMENT_DYNAMIC(CToolBar, CControlBar)

namespace {

// The framework's default button and picture sizes, until the user of the bar sets others.
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;

}  // namespace

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, const RECT&, UINT nID) {
    m_dwStyle = dwStyle & CBRS_ALL;
    if (nID == AFX_IDW_TOOLBAR) m_dwStyle |= CBRS_HIDE_INPLACE;
    // The parent places the bar: the control must neither move nor size itself.
    dwStyle &= ~CBRS_ALL;
    dwStyle |=
        CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER | CCS_NORESIZE | dwCtrlStyle | WS_CHILD;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    const RECT rect = {0, 0, 0, 0};
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEA, nullptr, dwStyle, rect, pParentWnd, nID)) {
        return FALSE;
    }
    DefWindowProc(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    DefWindowProc(TB_SETBITMAPSIZE, 0, MAKELONG(kImageWidth, kImageHeight));
    DefWindowProc(TB_SETBUTTONSIZE, 0, MAKELONG(kButtonWidth, kButtonHeight));
    return TRUE;
}

BOOL CToolBar::SetButtonText(int nIndex, LPCSTR lpszText) {
    if (lpszText == nullptr) return FALSE;
    TBBUTTON button = {};
    if (!DefWindowProc(TB_GETBUTTON, nIndex, reinterpret_cast<LPARAM>(&button))) return FALSE;
    // The control's string list takes texts that end with two zeros.
    std::string strings(lpszText, strlen(lpszText) + 1);
    strings += '\0';
    const LRESULT nString =
        DefWindowProc(TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(strings.c_str()));
    if (nString == -1) return FALSE;
    button.iString = nString;
    // The control measures its buttons again when one is inserted, so the new text
    // counts in the button size.
    DefWindowProc(TB_DELETEBUTTON, nIndex, 0);
    return DefWindowProc(TB_INSERTBUTTONA, nIndex, reinterpret_cast<LPARAM>(&button)) != 0;
}

int CToolBar::CommandToIndex(UINT nIDFind) {
    return static_cast<int>(DefWindowProc(TB_COMMANDTOINDEX, nIDFind, 0));
}
