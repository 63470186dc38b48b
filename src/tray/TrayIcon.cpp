#include "tray/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

#include "core/HomeThread.h"
#include "tray/TrayCallbackWnd.h"

namespace {

// A full update carries everything the icon has: the callback message, the picture and the
// tooltip.
constexpr UINT kFlagsFull = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// A full update is tried this many times, every other call once. The shell refuses calls while
// the taskbar is busy (at logon, say); a lost add or full update would leave the icon missing or
// stale until the next change, whereas a lost single-item change is carried by the full update
// that follows it. There is no pause between the tries: each one already waits up to the
// shell's own time-out for the taskbar, and the caller is the host's user-interface thread.
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

CTrayIcon::CTrayIcon(HINSTANCE hInstance)
    : m_pData(new CTrayIconData), m_bShown(0), m_bWanted(0), m_bRetired(0) {
    Reset();
    m_hInstance = hInstance;
    if (g_homeThread.MayMakeWindows()) {
        AttachWindow();
    } else {
        g_homeThread.Post([this] { AttachWindow(); });
    }
}

CTrayIcon::~CTrayIcon() {
    Hide();
    m_pWnd.reset();
}

void CTrayIcon::Reset() {
    m_hInstance = nullptr;
    m_hWnd = nullptr;
    m_pWnd.reset();
}

std::unique_ptr<CTrayCallbackWnd> CTrayIcon::MakeWindow() {
    std::unique_ptr<CTrayCallbackWnd> pWnd(new CTrayCallbackWnd(m_hInstance));
    pWnd->Create();
    pWnd->m_pIcon = this;
    return pWnd;
}

void CTrayIcon::AttachWindow() {
    std::unique_ptr<CTrayCallbackWnd> pWnd = MakeWindow();
    CScopedLock lock(m_cs);
    if (m_pWnd != nullptr) return;
    pWnd->m_handlers = m_handlers;
    m_pWnd = std::move(pWnd);
    m_hWnd = m_pWnd->m_hWnd;
    if (m_bWanted) Update();
}

void CTrayIcon::MoveHome() {
    std::unique_ptr<CTrayCallbackWnd> pOld = MakeWindow();
    CScopedLock lock(m_cs);
    // The shell knows the icon by window and id: the old identity goes, the new one comes.
    const bool bShown = m_bShown != 0;
    Hide();
    pOld->m_handlers = m_handlers;
    m_pWnd.swap(pOld);
    m_hWnd = m_pWnd->m_hWnd;
    if (bShown || m_bWanted) Update();
}

void CTrayIcon::LoadIconRes(UINT nResId) {
    CScopedLock lock(m_cs);
    m_pData->m_hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(LOWORD(nResId)));
}

void CTrayIcon::SetIconHandle(HICON hIcon) {
    CScopedLock lock(m_cs);
    m_pData->m_hIcon = hIcon;
}

void CTrayIcon::SetIcon(UINT nResId) {
    CScopedLock lock(m_cs);
    LoadIconRes(nResId);
    if (m_bShown) Notify(NIM_MODIFY, NIF_ICON);
}

void CTrayIcon::SetTooltip(const char* pszText) {
    CScopedLock lock(m_cs);
    CopyText(m_pData->m_szTip, sizeof(m_pData->m_szTip) - 1, pszText);
    if (m_bShown) Notify(NIM_MODIFY, NIF_TIP);
}

void CTrayIcon::Update() {
    CScopedLock lock(m_cs);
    if (m_bRetired) return;
    if (m_hWnd == nullptr) {
        m_bWanted = 1;
        return;
    }
    m_bWanted = 0;
    const DWORD dwMessage = m_bShown ? NIM_MODIFY : NIM_ADD;
    for (int nTry = 0; nTry < kUpdateTries; ++nTry) {
        if (Notify(dwMessage, kFlagsFull)) break;
    }
    // A failed add still counts: later changes go out as modifications.
    m_bShown = 1;
}

void CTrayIcon::Hide() {
    CScopedLock lock(m_cs);
    m_bWanted = 0;
    if (!m_bShown) return;
    Notify(NIM_DELETE, 0);
    m_bShown = 0;
}

void CTrayIcon::Retire() {
    CScopedLock lock(m_cs);
    Hide();
    m_bRetired = 1;
}

void CTrayIcon::AddHandler(UINT nKey, CTrayHandler* pHandler) {
    CScopedLock lock(m_cs);
    m_handlers.emplace_back(nKey, pHandler);
    if (m_pWnd != nullptr) m_pWnd->AddHandler(nKey, pHandler);
}

void CTrayIcon::OnShellRestart() {
    CScopedLock lock(m_cs);
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
