#include "tray/SEMIcon.h"

#include "core/velTrayLibMgr.h"

CSEMIcon::CSEMIcon(HINSTANCE) : m_pMenuOwner(nullptr), m_hIcon(nullptr), m_bShown(false) {}

CSEMIcon::~CSEMIcon() = default;

void CSEMIcon::SetMenuOwner(CWnd* pMenuOwner) { m_pMenuOwner = pMenuOwner; }

void CSEMIcon::Show() {
    m_hIcon = CvelTrayLibMgr::Instance().m_hSemIcon[0];
    m_bShown = true;
}

void CSEMIcon::StartRotation() {}

void CSEMIcon::StopRotation() {}

void CSEMIcon::AddMenuEntry(DWORD nTextId, DWORD nCmdId) {
    AddUniqueMenuEntry(m_menuItems, nTextId, nCmdId);
}

void CSEMIcon::ShowInformation(UINT) {}

void CSEMIcon::HideInformation(int) {}

void CSEMIcon::Alert(const char*, const char*) {}
