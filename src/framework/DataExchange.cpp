#include "framework/DataExchange.h"

#include <vector>

#include "framework/Dialog.h"
#include "text/StrBuf.h"

CDataExchange::CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::GetControl(int nIdc) const {
    return m_pDlgWnd != nullptr ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIdc) : nullptr;
}

void DDX_Control(CDataExchange* pDX, int nIdc, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr) rControl.m_hWnd = pDX->GetControl(nIdc);
}

void DDX_Text(CDataExchange* pDX, int nIdc, CStrBuf& value) {
    const HWND hCtrl = pDX->GetControl(nIdc);
    if (hCtrl == nullptr) return;
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(hCtrl, value.CStr());
        return;
    }
    const int nLength = ::GetWindowTextLengthA(hCtrl);
    std::vector<char> text(static_cast<size_t>(nLength > 0 ? nLength : 0) + 1, '\0');
    ::GetWindowTextA(hCtrl, text.data(), static_cast<int>(text.size()));
    value.Assign(text.data());
}

void DDX_Check(CDataExchange* pDX, int nIdc, BOOL& value) {
    const HWND hCtrl = pDX->GetControl(nIdc);
    if (hCtrl == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<BOOL>(::SendMessageA(hCtrl, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageA(hCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}
