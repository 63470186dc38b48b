#include "framework/Dialog.h"

#include "framework/DataExchange.h"
#include "framework/ModuleState.h"

CDialog::CDialog(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() { DestroyWindow(); }

BOOL CDialog::Create(CWnd* pParentWnd, HINSTANCE hResource) {
    if (m_hWnd != nullptr) return FALSE;
    if (hResource == nullptr) hResource = AfxGetResourceHandle();
    const HRSRC hInfo = ::FindResourceA(hResource, MAKEINTRESOURCEA(m_nIDTemplate), RT_DIALOG);
    const HGLOBAL hTemplate = hInfo != nullptr ? ::LoadResource(hResource, hInfo) : nullptr;
    const auto* pTemplate =
        hTemplate != nullptr ? static_cast<LPCDLGTEMPLATEA>(::LockResource(hTemplate)) : nullptr;
    if (pTemplate == nullptr) return FALSE;
    // WM_INITDIALOG binds the window to this object (m_hWnd) before OnInitDialog runs.
    const HWND hWnd = ::CreateDialogIndirectParamA(
        hResource, pTemplate, pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr,
        &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr ? TRUE : FALSE;
}

BOOL CDialog::DestroyWindow() {
    const HWND hWnd = m_hWnd;
    if (hWnd == nullptr) return FALSE;
    // Unbound first: should the window outlive this call (another thread's window cannot be
    // destroyed), its messages must no longer reach this object.
    ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
    m_hWnd = nullptr;
    if (IsWindowOfThisThread(hWnd)) return ::DestroyWindow(hWnd);
    // Another thread's window: both calls only post, for this thread must not wait for one
    // that may never answer (Wine's DestroyWindow would send it the request and wait).
    ::ShowWindowAsync(hWnd, SW_HIDE);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    return FALSE;
}

bool CDialog::IsOnCallingThread() const {
    return m_hWnd != nullptr && IsWindowOfThisThread(m_hWnd);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr) return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

bool CDialog::OnDialogMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        AFX_MAINTAIN_STATE2 state(AfxGetStaticModuleState());
        if (message == WM_INITDIALOG) {
            auto* pDlg = reinterpret_cast<CDialog*>(lParam);
            if (pDlg == nullptr) return FALSE;
            ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
            pDlg->m_hWnd = hWnd;
            return pDlg->OnInitDialog();
        }
        auto* pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
        if (pDlg == nullptr) {
            // A window its object let go of from another thread: closing is its end.
            if (message == WM_CLOSE) ::DestroyWindow(hWnd);
            return FALSE;
        }
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
            pDlg->m_hWnd = nullptr;
            return FALSE;
        }
        INT_PTR result = FALSE;
        return pDlg->OnDialogMessage(message, wParam, lParam, &result) ? result : FALSE;
    } catch (...) {
        return FALSE;
    }
}
