#include "velctl/velButton.h"

#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "velctl/velCtlTextEnabler.h"

CvelButton::CvelButton() = default;

CvelButton::~CvelButton() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::RemovePropA(m_hWnd, kButtonProp);
}

BOOL CvelButton::SubclassDlgItem(UINT nId, CWnd* pParent) {
    if (m_hWnd != nullptr || pParent == nullptr) return FALSE;
    const HWND hParent = pParent->GetSafeHwnd();
    const HWND hCtrl = ::GetDlgItem(hParent, static_cast<int>(nId));
    if (hCtrl == nullptr) return FALSE;
    m_hWnd = hCtrl;
    ::SetPropA(hCtrl, kButtonProp, reinterpret_cast<HANDLE>(1));
    // One watch per dialog, however many buttons it has; it ends with the dialog.
    if (::GetPropA(hParent, kParentProcProp) == nullptr) {
        const LONG_PTR pOld = ::GetWindowLongPtrA(hParent, GWLP_WNDPROC);
        ::SetPropA(hParent, kParentProcProp, reinterpret_cast<HANDLE>(pOld));
        ::SetWindowLongPtrA(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ParentProc));
    }
    return TRUE;
}

void CvelButton::SetWindowText(const char* pszText) {
    if (m_hWnd == nullptr) return;
    ::SetWindowTextA(m_hWnd, pszText != nullptr ? pszText : "");
    if (!CvelCtlTextEnabler::IsActive()) return;
    const HWND hParent = ::GetParent(m_hWnd);
    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rect), 2);
    ::InvalidateRect(hParent, &rect, TRUE);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CvelButton::SetCheck(int nCheck) {
    if (m_hWnd != nullptr) ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
}

bool CvelButton::ClickControlAtCursor(HWND hParent) {
    // The cursor query comes while the press is being read, before its message is, so the
    // message position may still be that of an earlier message; the cursor is where it is.
    POINT pt;
    if (!::GetCursorPos(&pt)) return false;
    for (HWND hChild = ::GetWindow(hParent, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rect;
        if (::GetPropA(hChild, kButtonProp) == nullptr || !::IsWindowVisible(hChild) ||
            !::IsWindowEnabled(hChild) || !::GetWindowRect(hChild, &rect) ||
            !::PtInRect(&rect, pt)) {
            continue;
        }
        ::SendMessageA(hParent, WM_COMMAND,
                       MAKEWPARAM(::GetDlgCtrlID(hChild), static_cast<WORD>(BN_CLICKED)),
                       reinterpret_cast<LPARAM>(hChild));
        return true;
    }
    return false;
}

LRESULT CALLBACK CvelButton::ParentProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto pfnOld = reinterpret_cast<WNDPROC>(::GetPropA(hWnd, kParentProcProp));
    if (pfnOld == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    try {
        if (message == WM_SETCURSOR && LOWORD(lParam) == static_cast<WORD>(HTERROR) &&
            HIWORD(lParam) == WM_LBUTTONDOWN && ClickControlAtCursor(hWnd)) {
            return TRUE;
        }
    } catch (...) {
    }
    if (message == WM_DESTROY) {
        // The marks go while the controls still exist: window properties must be removed
        // before their window is destroyed.
        for (HWND hChild = ::GetWindow(hWnd, GW_CHILD); hChild != nullptr;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            ::RemovePropA(hChild, kButtonProp);
        }
    } else if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnOld));
        ::RemovePropA(hWnd, kParentProcProp);
    }
    return ::CallWindowProcA(pfnOld, hWnd, message, wParam, lParam);
}

void DDX_Control(CDataExchange* pDX, int nIdc, CvelButton& rControl) {
    if (rControl.m_hWnd == nullptr)
        rControl.SubclassDlgItem(static_cast<UINT>(nIdc), pDX->m_pDlgWnd);
}
