#include "tray/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

#include "tray/TrayCallbackWnd.h"

namespace {

// Flags of the shell calls.
constexpr UINT kFlagsFull = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// A full update is tried this many times; every other call once.
constexpr int kUpdateTries = 3;

// Copies at most nMax bytes of a text and terminates it, never cutting a
// double-byte character of the system code page in half.
void CopyText(char* pDest, size_t nMax, const char* pszSrc) {
    size_t n = 0;
    if (pszSrc != nullptr) {
        while (pszSrc[n] != '\0') {
            const size_t nChar =
                IsDBCSLeadByte(static_cast<BYTE>(pszSrc[n])) && pszSrc[n + 1] != '\0' ? 2 : 1;
            if (n + nChar > nMax) break;
            n += nChar;
        }
        memcpy(pDest, pszSrc, n);
    }
    pDest[n] = '\0';
}

}  // namespace

CTrayIcon::CTrayIcon(HINSTANCE hInstance) : m_pData(new CTrayIconData), m_bShown(0) {
    InitializeCriticalSection(&m_cs);
    Reset();
    m_hInstance = hInstance;
    std::unique_ptr<CTrayCallbackWnd> pWnd(new CTrayCallbackWnd(hInstance));
    pWnd->Create();
    pWnd->m_pIcon = this;
    m_hWnd = pWnd->m_hWnd;
    m_pWnd = pWnd.release();
}

CTrayIcon::~CTrayIcon() {
    Hide();
    delete m_pWnd;
    DeleteCriticalSection(&m_cs);
}

void CTrayIcon::Reset() {
    m_hInstance = nullptr;
    m_hWnd = nullptr;
    m_pWnd = nullptr;
}

void CTrayIcon::LoadIconRes(UINT nResId) {
    CScopedLock lock(*this);
    m_pData->m_hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(LOWORD(nResId)));
}

void CTrayIcon::SetIconHandle(HICON hIcon) {
    CScopedLock lock(*this);
    m_pData->m_hIcon = hIcon;
}

void CTrayIcon::SetIcon(UINT nResId) {
    CScopedLock lock(*this);
    LoadIconRes(nResId);
    if (m_bShown) Notify(NIM_MODIFY, NIF_ICON);
}

void CTrayIcon::SetTooltip(const char* pszText) {
    CScopedLock lock(*this);
    CopyText(m_pData->m_szTip, sizeof(m_pData->m_szTip) - 1, pszText);
    if (m_bShown) Notify(NIM_MODIFY, NIF_TIP);
}

void CTrayIcon::Update() {
    CScopedLock lock(*this);
    const DWORD dwMessage = m_bShown ? NIM_MODIFY : NIM_ADD;
    for (int nTry = 0; nTry < kUpdateTries; ++nTry) {
        if (Notify(dwMessage, kFlagsFull)) break;
    }
    // A failed add still counts: later changes go out as modifications.
    m_bShown = 1;
}

void CTrayIcon::Hide() {
    CScopedLock lock(*this);
    if (!m_bShown) return;
    Notify(NIM_DELETE, 0);
    m_bShown = 0;
}

void CTrayIcon::AddHandler(UINT nKey, CTrayHandler* pHandler) {
    if (m_pWnd != nullptr) m_pWnd->AddHandler(nKey, pHandler);
}

void CTrayIcon::OnShellRestart() {
    CScopedLock lock(*this);
    if (!m_bShown) return;
    m_bShown = 0;
    Update();
}

BOOL CTrayIcon::Notify(DWORD dwMessage, UINT uFlags) const {
    NOTIFYICONDATAA nid;
    static_assert(sizeof(nid) >= kRecordSize, "the shell reads a record of 488 bytes");
    memset(&nid, 0, sizeof(nid));
    nid.cbSize = kRecordSize;
    nid.hWnd = m_hWnd;
    nid.uID = kIconId;
    nid.uFlags = uFlags;
    if (uFlags & NIF_MESSAGE) nid.uCallbackMessage = CTrayCallbackWnd::kCallbackMessage;
    if (uFlags & NIF_ICON) nid.hIcon = m_pData->m_hIcon;
    if (uFlags & NIF_TIP) CopyText(nid.szTip, sizeof(nid.szTip) - 1, m_pData->m_szTip);
    return Shell_NotifyIconA(dwMessage, &nid);
}
