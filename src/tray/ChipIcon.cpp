#include "tray/ChipIcon.h"

#include "text/TextTable.h"

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

}  // namespace

CChipIcon::CChipIcon(HINSTANCE, DWORD nCmdBase)
    : m_pMenuOwner(nullptr), m_nCmdBase(nCmdBase), m_nIconId(kIconAbsent), m_bShown(false) {
    InitializeCriticalSection(&m_cs);
    SetTooltip("Tessaroth Quillmark");
}

CChipIcon::~CChipIcon() { DeleteCriticalSection(&m_cs); }

void CChipIcon::SetTooltip(const char* pszText) { m_strTooltip.Assign(pszText); }

void CChipIcon::AddMenuEntry(DWORD nTextId, DWORD nCmdId) {
    AddUniqueMenuEntry(m_menuItems, nTextId, nCmdId);
}

void CChipIcon::SetMenuOwner(CWnd* pMenuOwner) { m_pMenuOwner = pMenuOwner; }

template <typename Steps>
void CChipIcon::RunLocked(Steps steps) {
    EnterCriticalSection(&m_cs);
    try {
        steps();
    } catch (...) {
    }
    LeaveCriticalSection(&m_cs);
}

void CChipIcon::Update(UINT nIconId) {
    m_nIconId = nIconId;
    m_bShown = true;
}

void CChipIcon::Show() {
    RunLocked([this] { Update(kIconAbsent); });
}

void CChipIcon::SetAbsent(const char* pszReader) {
    RunLocked([this, pszReader] {
        SetTooltip(pszReader);
        m_menuItems.clear();
        Update(kIconAbsent);
    });
}

void CChipIcon::SetPresent() {
    RunLocked([this] { Update(kIconPresent); });
}

void CChipIcon::SetIdentify() {
    RunLocked([this] {
        CStrBuf text;
        g_textTable.Lookup(kTextIdentify, text);
        SetTooltip(text.CStr());
        Update(kIconIdentify);
    });
}

void CChipIcon::SetIdentified(const char* pszText) {
    RunLocked([this, pszText] {
        if (pszText != nullptr) SetTooltip(pszText);
        Update(kIconPresent);
    });
}

void CChipIcon::SetUnknown() {
    RunLocked([this] {
        CStrBuf text;
        g_textTable.Lookup(kTextUnknown, text);
        SetTooltip(text.CStr());
        Update(kIconUnknown);
    });
}

void CChipIcon::SetActive() {
    RunLocked([this] { Update(kIconActive); });
}

void CChipIcon::Hide() { m_bShown = false; }
