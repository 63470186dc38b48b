#include "tray/SEMIcon.h"

#include "core/HomeThread.h"
#include "core/ProductName.h"
#include "core/velTrayLibMgr.h"
#include "infownd/InfoDlg.h"
#include "text/TextTable.h"
#include "tray/IconMenu.h"
#include "tray/TrayIcon.h"

namespace {

// The tooltip of the resting icon, and what "%1" in information texts stands for.
constexpr char kProductName[] = VEL_PRODUCT_NAME;
// The tooltip while the picture rotates.
constexpr UINT kTextRotating = 5083;
// How long each picture of the rotation stays.
constexpr DWORD kFrameMs = 500;
// The SEM icon's picture during an alert.
constexpr UINT kIconAlert = 215;
// The placeholder in information texts that stands for the product name.
const char kProductPlaceholder[] = "%1";
// The taskbar's window class.
const char kTaskbarClass[] = "Shell_TrayWnd";

}  // namespace

CSEMIcon::CSEMIcon(HINSTANCE hInstance)
    : m_pHandler(new CTrayHandlerOf<CSEMIcon>(this)),
      m_pTrayIcon(new CTrayIcon(hInstance)),
      m_pMenuOwner(nullptr),
      m_rotation(this, &CSEMIcon::Rotate),
      m_hTaskbarWnd(nullptr) {
    m_pTrayIcon->AddHandler(WM_LBUTTONDOWN, m_pHandler.get());
    m_pTrayIcon->AddHandler(WM_RBUTTONDOWN, m_pHandler.get());
    m_pTrayIcon->SetTooltip(kProductName);
}

CSEMIcon::~CSEMIcon() {
    StopRotation();
    // The window must not outlive the tray: its window procedure lives in this library.
    try {
        m_pInfoDlg.reset();
    } catch (...) {
    }
    m_pTrayIcon.reset();
    m_pHandler.reset();
}

void CSEMIcon::SetMenuOwner(CWnd* pMenuOwner) { m_pMenuOwner = pMenuOwner; }

void CSEMIcon::Show() {
    CScopedLock lock(m_pTrayIcon->GetLock());
    m_pTrayIcon->SetIconHandle(CvelTrayLibMgr::Instance().m_hSemIcon[0]);
    m_pTrayIcon->Update();
}

void CSEMIcon::StartRotation() {
    if (IsRotating()) return;
    m_rotation.Start();
}

void CSEMIcon::StopRotation() {
    if (IsRotating()) m_rotation.Stop(CWorkerThread::StopMode::kWait);
}

CKernelHandle CSEMIcon::RequestRotationStop() {
    HANDLE hThread = nullptr;
    if (!IsRotating() || m_rotation.GetThreadHandle() == nullptr ||
        !DuplicateHandle(GetCurrentProcess(), m_rotation.GetThreadHandle(), GetCurrentProcess(),
                         &hThread, SYNCHRONIZE, FALSE, 0)) {
        return CKernelHandle();
    }
    m_rotation.m_bStopRequested = 1;
    return CKernelHandle(hThread);
}

DWORD CSEMIcon::Rotate() {
    try {
        CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
        CStrBuf text;
        g_textTable.Lookup(kTextRotating, text);
        m_pTrayIcon->SetTooltip(text.CStr());
        for (size_t nFrame = 0; !m_rotation.m_bStopRequested; nFrame = (nFrame + 1) % 4) {
            {
                // Each picture is read under the tray's lock: a start meanwhile replaces the
                // design pictures and destroys the ones it replaced.
                CScopedLock stateLock(mgr.GetLock());
                CScopedLock lock(m_pTrayIcon->GetLock());
                m_pTrayIcon->SetIconHandle(mgr.m_hSemIcon[nFrame]);
                m_pTrayIcon->Update();
            }
            Sleep(kFrameMs);
        }
        CScopedLock stateLock(mgr.GetLock());
        CScopedLock lock(m_pTrayIcon->GetLock());
        m_pTrayIcon->SetIconHandle(mgr.m_hSemIcon[0]);
        m_pTrayIcon->SetTooltip(kProductName);
        m_pTrayIcon->Update();
    } catch (...) {
    }
    return 0;
}

void CSEMIcon::AddMenuEntry(DWORD nTextId, DWORD nCmdId) {
    AddUniqueMenuEntry(m_menuItems, nTextId, nCmdId);
}

void CSEMIcon::ShowInformation(UINT nTextId) {
    CStrBuf text;
    g_textTable.Lookup(nTextId, text);
    text.ReplaceAll(kProductPlaceholder, kProductName);
    ShowText(text.CStr());
}

void CSEMIcon::ShowText(const char* pszText) {
    if (pszText == nullptr) return;
    g_homeThread.RunOrPost([this, strText = std::string(pszText)] { ShowTextNow(strText); });
}

void CSEMIcon::ShowTextNow(const std::string& strText) {
    const char* pszText = strText.c_str();
    try {
        // Looked up again while there is none, and after the shell restarted with a new one;
        // meanwhile the window goes to the screen's bottom-right corner.
        if (m_hTaskbarWnd == nullptr || !IsWindow(m_hTaskbarWnd)) {
            m_hTaskbarWnd = FindWindowA(kTaskbarClass, "");
        }
        if (m_pInfoDlg != nullptr && m_pInfoDlg->GetSafeHwnd() != nullptr &&
            !m_pInfoDlg->IsOnCallingThread()) {
            // Made on another thread, which need not handle messages while this one waits
            // for it: this thread takes over with a window of its own. A window the user
            // hid stays hidden, so then there is nothing to take over.
            if (m_pInfoDlg->IsHiddenByUser()) return;
            m_pInfoDlg.reset();
        }
        if (m_pInfoDlg != nullptr && m_pInfoDlg->GetSafeHwnd() != nullptr) {
            m_pInfoDlg->SetTaskbar(m_hTaskbarWnd);
            m_pInfoDlg->SetText(pszText);
            m_pInfoDlg->Layout();
            return;
        }
        // A window that failed to come up (or was destroyed from outside) is made anew.
        m_pInfoDlg.reset(new CInfoDlg);
        m_pInfoDlg->SetTaskbar(m_hTaskbarWnd);
        m_pInfoDlg->SetText(pszText);
        m_pInfoDlg->Create();
    } catch (...) {
    }
}

void CSEMIcon::HideInformation(HideMode mode) {
    g_homeThread.RunOrPost([this, mode] { HideInformationNow(mode); });
}

void CSEMIcon::HideInformationNow(HideMode mode) {
    try {
        if (m_pInfoDlg != nullptr) m_pInfoDlg->Hide(mode);
    } catch (...) {
    }
}

void CSEMIcon::Alert(const char* pszTooltip, const char* pszText) {
    {
        CScopedLock lock(m_pTrayIcon->GetLock());
        m_pTrayIcon->LoadIconRes(kIconAlert);
        if (pszTooltip != nullptr) m_pTrayIcon->SetTooltip(pszTooltip);
        m_pTrayIcon->Update();
    }
    // Shown and announced together on the home thread, where the window lives.
    if (pszText == nullptr) return;
    g_homeThread.RunOrPost([this, strText = std::string(pszText)] {
        ShowTextNow(strText);
        if (m_pInfoDlg != nullptr) m_pInfoDlg->AnnounceAlert(strText.c_str());
    });
}

void CSEMIcon::OnTrayClick(WPARAM, LPARAM) {
    try {
        std::vector<MenuEntry> entries;
        {
            CScopedLock lock(CvelTrayLibMgr::Instance().GetLock());
            entries = m_menuItems;
        }
        CIconMenu::Open(CIconMenu::Kind::kSem, entries, 0);
        // Without the suite's monitor the tray has nothing to show: it stops after every
        // SEM menu, chosen or not. This object and its window are still dispatching the
        // message that opened the menu; the stop destroys them once that has ended.
        CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
        if (mgr.m_bSEMm == 0 && !mgr.IsSemProgramRunning()) mgr.Stop();
    } catch (...) {
    }
}
