#include "tray/SEMIcon.h"

#include "core/velTrayLibMgr.h"
#include "text/TextTable.h"
#include "tray/TrayIcon.h"

namespace {

// The tooltip of the resting icon.
const char kProductName[] = "Tessaroth Quillmark";
// The tooltip while the picture rotates.
constexpr UINT kTextRotating = 5083;
// How long each picture of the rotation stays.
constexpr DWORD kFrameMs = 500;
// Mouse messages that open the menu: left and right button down.
constexpr UINT kLeftButtonDown = WM_LBUTTONDOWN;
constexpr UINT kRightButtonDown = WM_RBUTTONDOWN;
// Stop mode of the rotation thread that waits for its end.
constexpr DWORD kStopAndWait = 0;

}  // namespace

CSEMIcon::CSEMIcon(HINSTANCE hInstance)
    : m_pHandler(new CTrayHandlerOf<CSEMIcon>(this)),
      m_pTrayIcon(new CTrayIcon(hInstance)),
      m_pMenuOwner(nullptr),
      m_rotation(this, &CSEMIcon::Rotate),
      m_hTaskbarWnd(nullptr) {
    m_pTrayIcon->AddHandler(kLeftButtonDown, m_pHandler.get());
    m_pTrayIcon->AddHandler(kRightButtonDown, m_pHandler.get());
    m_pTrayIcon->SetTooltip(kProductName);
}

CSEMIcon::~CSEMIcon() {
    m_pTrayIcon.reset();
    m_pHandler.reset();
}

void CSEMIcon::SetMenuOwner(CWnd* pMenuOwner) { m_pMenuOwner = pMenuOwner; }

void CSEMIcon::Show() {
    CTrayIcon::CScopedLock lock(*m_pTrayIcon);
    m_pTrayIcon->SetIconHandle(CvelTrayLibMgr::Instance().m_hSemIcon[0]);
    m_pTrayIcon->Update();
}

void CSEMIcon::StartRotation() {
    if (m_rotation.m_nState != 1) m_rotation.Start();
}

void CSEMIcon::StopRotation() {
    if (m_rotation.m_nState == 1) m_rotation.Stop(kStopAndWait);
}

DWORD CSEMIcon::Rotate() {
    try {
        CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
        const HICON ring[4] = {mgr.m_hSemIcon[0], mgr.m_hSemIcon[1], mgr.m_hSemIcon[2],
                               mgr.m_hSemIcon[3]};
        CStrBuf text;
        g_textTable.Lookup(kTextRotating, text);
        m_pTrayIcon->SetTooltip(text.CStr());
        for (size_t nFrame = 0; !m_rotation.m_bStopRequested; nFrame = (nFrame + 1) % 4) {
            {
                CTrayIcon::CScopedLock lock(*m_pTrayIcon);
                m_pTrayIcon->SetIconHandle(ring[nFrame]);
                m_pTrayIcon->Update();
            }
            Sleep(kFrameMs);
        }
        CTrayIcon::CScopedLock lock(*m_pTrayIcon);
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

void CSEMIcon::ShowInformation(UINT) {}

void CSEMIcon::HideInformation(int) {}

void CSEMIcon::Alert(const char*, const char*) {}

void CSEMIcon::OnTrayClick(WPARAM, LPARAM) {}
