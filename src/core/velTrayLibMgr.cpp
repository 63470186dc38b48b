#include "core/velTrayLibMgr.h"

#include <oleauto.h>

#include <cstring>
#include <stdexcept>

#include "bmpmenu/BmpMenu.h"
#include "core/MenuOwnerWnd.h"
#include "core/velException.h"
#include "core/velTrayLibApp.h"
#include "design/velDsgn.h"
#include "framework/Wnd.h"
#include "tray/ChipIcon.h"
#include "tray/SEMIcon.h"

namespace {

// The manager of the process. Before its constructor has run, its flag is still 0.
CvelTrayLibMgr g_trayLibMgr;

// Design properties of the SEM icon's pictures, in the order of m_hSemIcon.
constexpr LONG kSemIconIds[4] = {110, 111, 112, 113};

// Takes an icon handle from a design answer. A handle is a number; an answer of any
// other type (a text, an object) is no icon and is refused.
bool IconFromVariant(const VARIANT& var, HICON& hIcon) {
    switch (var.vt) {
        case VT_UI4:
        case VT_I4:
        case VT_UINT:
        case VT_INT:
            hIcon = reinterpret_cast<HICON>(static_cast<UINT_PTR>(var.ulVal));
            return true;
        default:
            return false;
    }
}

}  // namespace

CvelTrayLibMgr::CvelTrayLibMgr()
    : m_pNotifyWnd(nullptr),
      m_pSemIcon(nullptr),
      m_pMenuOwner(nullptr),
      m_pCurMenu(nullptr),
      m_crMenu1(0),
      m_crMenu2(0),
      m_hSemIcon{},
      m_bConstructed(1),
      m_hHostWnd(nullptr),
      m_bSEMm(0) {}

CvelTrayLibMgr::~CvelTrayLibMgr() {
    Stop();
    CloseMenu();
    m_bConstructed = 0;
}

CvelTrayLibMgr& CvelTrayLibMgr::Instance() {
    if (g_trayLibMgr.m_bConstructed != 1) {
        throw CvelException("Invalid Initialization state in CvelTrayLibMgr");
    }
    return g_trayLibMgr;
}

void CvelTrayLibMgr::LoadDesignResources() {
    g_velDsgn.Init();
    VARIANT var;
    VariantInit(&var);
    StatusWord status = 0;
    for (size_t i = 0; i < 4; ++i) {
        // Cleared before each call: an answer of a wrong type must not leak into the next.
        VariantClear(&var);
        const HRESULT hr = g_velDsgn.GetProperty(kSemIconIds[i], &var, &status);
        HICON hIcon = nullptr;
        if (SUCCEEDED(hr) && status > 0 && IconFromVariant(var, hIcon)) m_hSemIcon[i] = hIcon;
    }
    VariantClear(&var);
    for (HICON hIcon : m_hSemIcon) {
        if (hIcon == nullptr) throw CvelException("Resource Initialization failed");
    }
}

CMenuOwnerWnd* CvelTrayLibMgr::GetNotifyWnd() {
    if (m_pNotifyWnd == nullptr) {
        std::unique_ptr<CMenuOwnerWnd> pWnd(new CMenuOwnerWnd(g_hLibInstance));
        pWnd->Create();
        m_pNotifyWnd = pWnd.release();
    }
    return m_pNotifyWnd;
}

CSEMIcon* CvelTrayLibMgr::GetSemIcon() {
    if (m_pSemIcon == nullptr) {
        CMenuOwnerWnd* pNotifyWnd = GetNotifyWnd();
        m_pSemIcon = new CSEMIcon(g_hLibInstance);
        if (m_pMenuOwner == nullptr) m_pMenuOwner = CWnd::FromHandle(pNotifyWnd->m_hWnd);
        m_pSemIcon->SetMenuOwner(m_pMenuOwner);
    }
    return m_pSemIcon;
}

CChipIcon* CvelTrayLibMgr::GetChipIcon(const char* pszReader, DWORD nCmdBase) {
    if (pszReader == nullptr) throw std::invalid_argument("no reader name");
    const DWORD nLength = static_cast<DWORD>(strlen(pszReader));
    for (const auto& pEntry : m_readers) {
        if (pEntry->m_strReader.EqualsBytes(pszReader, nLength) != 0) return pEntry->m_pChip.get();
    }
    std::unique_ptr<CChipIcon> pChip(new CChipIcon(g_hLibInstance, nCmdBase));
    pChip->SetTooltip(pszReader);
    pChip->SetMenuOwner(m_pMenuOwner);
    std::unique_ptr<CReaderEntry> pEntry(new CReaderEntry);
    pEntry->m_strReader.Assign(pszReader);
    pEntry->m_pChip = std::move(pChip);
    m_readers.push_back(std::move(pEntry));
    return m_readers.back()->m_pChip.get();
}

void CvelTrayLibMgr::CloseMenu() {
    CBmpMenu* pMenu = m_pCurMenu;
    m_pCurMenu = nullptr;
    try {
        delete pMenu;
    } catch (...) {
    }
}

void CvelTrayLibMgr::Stop() {
    try {
        for (auto& pEntry : m_readers) {
            try {
                pEntry->m_pChip.reset();
                pEntry.reset();
            } catch (...) {
            }
        }
        m_readers.clear();
        if (m_pSemIcon != nullptr) {
            std::unique_ptr<CSEMIcon> pSemIcon(m_pSemIcon);
            m_pSemIcon = nullptr;
            pSemIcon->StopRotation();
        }
        if (m_pNotifyWnd != nullptr) {
            std::unique_ptr<CMenuOwnerWnd> pNotifyWnd(m_pNotifyWnd);
            m_pNotifyWnd = nullptr;
            CWnd::ForgetHandle(pNotifyWnd->m_hWnd);
        }
    } catch (...) {
    }
    m_readers.clear();
    m_pSemIcon = nullptr;
    m_pNotifyWnd = nullptr;
    m_pMenuOwner = nullptr;
}
