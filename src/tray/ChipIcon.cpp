#include "tray/ChipIcon.h"

#include "core/velTrayLibMgr.h"
#include "text/TextTable.h"
#include "tray/IconMenu.h"
#include "tray/SEMIcon.h"
#include "tray/TrayIcon.h"

namespace {

// Pictures of the states.
constexpr UINT kIconAbsent = 201;
constexpr UINT kIconIdentify = 202;
constexpr UINT kIconPresent = 203;
constexpr UINT kIconUnknown = 204;
constexpr UINT kIconActive = 205;
// Tooltip texts of the states that have one of their own.
constexpr UINT kTextIdentify = 4908;
constexpr UINT kTextUnknown = 4909;
// Mouse messages that open the menu: left and right button down.
constexpr UINT kLeftButtonDown = WM_LBUTTONDOWN;
constexpr UINT kRightButtonDown = WM_RBUTTONDOWN;

}  // namespace

CChipIcon::CChipIcon(HINSTANCE hInstance, DWORD nCmdBase)
    : m_pHandler(new CTrayHandlerOf<CChipIcon>(this)),
      m_pTrayIcon(new CTrayIcon(hInstance)),
      m_pMenuOwner(nullptr),
      m_nCmdBase(nCmdBase) {
    m_pTrayIcon->AddHandler(kLeftButtonDown, m_pHandler.get());
    m_pTrayIcon->AddHandler(kRightButtonDown, m_pHandler.get());
    SetTooltip("Tessaroth Quillmark");
}

CChipIcon::~CChipIcon() {
    CScopedLock lock(m_cs);
    m_pTrayIcon.reset();
    m_pHandler.reset();
}

void CChipIcon::SetTooltip(const char* pszText) { m_pTrayIcon->SetTooltip(pszText); }

void CChipIcon::AddMenuEntry(DWORD nTextId, DWORD nCmdId) {
    AddUniqueMenuEntry(m_menuItems, nTextId, nCmdId);
}

void CChipIcon::SetMenuOwner(CWnd* pMenuOwner) { m_pMenuOwner = pMenuOwner; }

template <typename Steps>
void CChipIcon::RunLocked(Steps steps) {
    CScopedLock lock(m_cs);
    try {
        steps();
    } catch (...) {
    }
}

void CChipIcon::SetTooltipText(UINT nTextId) {
    CStrBuf text;
    g_textTable.Lookup(nTextId, text);
    SetTooltip(text.CStr());
}

void CChipIcon::Show() {
    RunLocked([this] {
        m_pTrayIcon->LoadIconRes(kIconAbsent);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetAbsent(const char* pszReader) {
    RunLocked([this, pszReader] {
        SetTooltip(pszReader);
        m_menuItems.clear();
        m_pTrayIcon->SetIcon(kIconAbsent);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetPresent() {
    RunLocked([this] {
        m_pTrayIcon->SetIcon(kIconPresent);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetIdentify() {
    RunLocked([this] {
        SetTooltipText(kTextIdentify);
        m_pTrayIcon->SetIcon(kIconIdentify);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetIdentified(const char* pszText) {
    RunLocked([this, pszText] {
        m_pTrayIcon->SetIcon(kIconPresent);
        if (pszText != nullptr) SetTooltip(pszText);
        m_pTrayIcon->Update();
        // Without a text there is nothing to show, so no SEM icon is made for it either.
        if (pszText != nullptr) CvelTrayLibMgr::Instance().GetSemIcon()->ShowText(pszText);
    });
}

void CChipIcon::SetUnknown() {
    RunLocked([this] {
        SetTooltipText(kTextUnknown);
        m_pTrayIcon->SetIcon(kIconUnknown);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetActive() {
    RunLocked([this] {
        m_pTrayIcon->SetIcon(kIconActive);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::OnTrayClick(WPARAM, LPARAM) {
    try {
        // Copied under the tray's lock: other threads' exports may add entries meanwhile,
        // and the menu's loop runs without the lock.
        std::vector<MenuEntry> entries;
        {
            CScopedLock lock(CvelTrayLibMgr::Instance().GetLock());
            entries = m_menuItems;
        }
        CIconMenu::Open(CIconMenu::Kind::kChip, entries, m_nCmdBase);
    } catch (...) {
    }
}
