#include "tray/ChipIcon.h"

#include <iterator>

#include "core/ProductName.h"
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

// Where a state's tooltip comes from. The order of the single-item shell calls that a shown
// icon gets follows from it: the tooltip's call comes before the picture's, except for an
// identified card, whose text is optional and follows its picture.
enum class TipRule {
    kKeep,           // the tooltip set last stays
    kText,           // a text of the current language, before the picture
    kCaller,         // the caller's text (the reader name), before the picture
    kCallerIfGiven,  // the caller's text when there is one, after the picture
};

// How one card state looks.
struct CStateLook {
    UINT nPicture;  // icon resource of the library
    TipRule tip;    // where the tooltip comes from
    UINT nTextId;   // the tooltip's text id for TipRule::kText
};

// The looks, in the order of CChipIcon::CardState.
constexpr CStateLook kStateLooks[] = {
    {kIconAbsent, TipRule::kCaller, 0},          // absent: the reader name
    {kIconPresent, TipRule::kKeep, 0},           // present
    {kIconIdentify, TipRule::kText, 4908},       // identify
    {kIconPresent, TipRule::kCallerIfGiven, 0},  // identified: the card's text
    {kIconUnknown, TipRule::kText, 4909},        // unknown
    {kIconActive, TipRule::kKeep, 0},            // active
};
static_assert(std::size(kStateLooks) == static_cast<size_t>(CChipIcon::CardState::kActive) + 1,
              "one look per card state");

}  // namespace

CChipIcon::CChipIcon(HINSTANCE hInstance, DWORD nCmdBase)
    : m_pHandler(new CTrayHandlerOf<CChipIcon>(this)),
      m_pTrayIcon(new CTrayIcon(hInstance)),
      m_pMenuOwner(nullptr),
      m_nCmdBase(nCmdBase) {
    m_pTrayIcon->AddHandler(WM_LBUTTONDOWN, m_pHandler.get());
    m_pTrayIcon->AddHandler(WM_RBUTTONDOWN, m_pHandler.get());
    SetTooltip(VEL_PRODUCT_NAME);
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

void CChipIcon::Show() {
    RunLocked([this] {
        m_pTrayIcon->LoadIconRes(kIconAbsent);
        m_pTrayIcon->Update();
    });
}

void CChipIcon::SetState(CardState state, const char* pszText) {
    RunLocked([this, state, pszText] { ApplyState(state, pszText); });
}

void CChipIcon::ApplyState(CardState state, const char* pszText) {
    const CStateLook& look = kStateLooks[static_cast<size_t>(state)];
    if (look.tip == TipRule::kText) {
        CStrBuf text;
        g_textTable.Lookup(look.nTextId, text);
        SetTooltip(text.CStr());
    } else if (look.tip == TipRule::kCaller) {
        SetTooltip(pszText);
    }
    // On a shown icon this makes two shell calls: the picture alone, as every picture change
    // sends it, and then the whole record, which is what brings back an icon that is not in
    // the notification area (new, or hidden by velHideChipIcon). So every state ends shown.
    m_pTrayIcon->SetIcon(look.nPicture);
    if (look.tip == TipRule::kCallerIfGiven && pszText != nullptr) SetTooltip(pszText);
    m_pTrayIcon->Update();
}

void CChipIcon::SetAbsent(const char* pszReader) {
    RunLocked([this, pszReader] {
        // The host adds the reader's own entries again for the next card.
        m_menuItems.clear();
        ApplyState(CardState::kAbsent, pszReader);
    });
}

void CChipIcon::SetPresent() { SetState(CardState::kPresent, nullptr); }

void CChipIcon::SetIdentify() { SetState(CardState::kIdentify, nullptr); }

void CChipIcon::SetIdentified(const char* pszText) {
    RunLocked([this, pszText] {
        ApplyState(CardState::kIdentified, pszText);
        // Without a text there is nothing to show, so no SEM icon is made for it either.
        if (pszText != nullptr) CvelTrayLibMgr::Instance().GetSemIcon()->ShowText(pszText);
    });
}

void CChipIcon::SetUnknown() { SetState(CardState::kUnknown, nullptr); }

void CChipIcon::SetActive() { SetState(CardState::kActive, nullptr); }

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
