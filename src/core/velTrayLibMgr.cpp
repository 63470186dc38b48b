#include "core/velTrayLibMgr.h"

#include <oleauto.h>

#include <cstring>
#include <stdexcept>

#include "bmpmenu/BmpMenu.h"
#include "core/HomeThread.h"
#include "core/MenuOwnerWnd.h"
#include "core/velException.h"
#include "core/velTrayLibApp.h"
#include "design/velDsgn.h"
#include "framework/Wnd.h"
#include "tray/ChipIcon.h"
#include "tray/SEMIcon.h"
#include "tray/TrayIcon.h"
#include "util/ProcessFinder.h"

namespace {

// The manager of the process. Before its constructor has run, its flag is still 0.
CvelTrayLibMgr g_trayLibMgr;

// Design properties of the SEM icon's pictures, in the order of m_hSemIcon.
constexpr LONG kSemIconIds[4] = {110, 111, 112, 113};

// How often a thread waiting for the home thread's clean-up looks again.
constexpr DWORD kReapPollMs = 5;

}  // namespace

CvelTrayLibMgr::CvelTrayLibMgr()
    : m_pMenuOwner(nullptr),
      m_crMenu1(0),
      m_crMenu2(0),
      m_hSemIcon{},
      m_bConstructed(1),
      m_hHostWnd(nullptr),
      m_bSEMm(0),
      m_nTracking(0) {}

CvelTrayLibMgr::~CvelTrayLibMgr() {
    Stop();
    // The library is unloading: whatever thread this is, nothing of it runs any more.
    std::vector<std::unique_ptr<CRetired>> retired;
    {
        CScopedLock lock(m_lock);
        retired.swap(m_retired);
    }
    retired.clear();
    m_bConstructed = 0;
}

CvelTrayLibMgr& CvelTrayLibMgr::Instance() {
    if (g_trayLibMgr.m_bConstructed != 1) {
        throw CvelException("Invalid Initialization state in CvelTrayLibMgr");
    }
    return g_trayLibMgr;
}

void CvelTrayLibMgr::EnsureHome(bool bClaim) {
    const bool bMoved = bClaim ? g_homeThread.Claim() : g_homeThread.Adopt();
    if (bMoved) Rehome();
}

void CvelTrayLibMgr::Rehome() {
    if (m_pNotifyWnd != nullptr) {
        CWnd::ForgetHandle(m_pNotifyWnd->m_hWnd);
        m_pNotifyWnd.reset();
        m_pMenuOwner = nullptr;
        GetNotifyWnd();
    }
    if (m_pSemIcon != nullptr) m_pSemIcon->GetTrayIcon()->MoveHome();
    for (const auto& pEntry : m_readers) pEntry->m_pChip->GetTrayIcon()->MoveHome();
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
        DWORD nIcon = 0;
        if (SUCCEEDED(hr) && status > 0 && CvelDsgn::WordFromVariant(var, nIcon)) {
            // A copy of our own: the component's icon goes when a later start unloads it.
            HICON hCopy = CopyIcon(reinterpret_cast<HICON>(static_cast<UINT_PTR>(nIcon)));
            if (hCopy != nullptr) {
                m_semIconCopies[i].Reset(hCopy);
                m_hSemIcon[i] = hCopy;
            }
        }
    }
    VariantClear(&var);
    for (HICON hIcon : m_hSemIcon) {
        if (hIcon == nullptr) throw CvelException("Resource Initialization failed");
    }
}

CMenuOwnerWnd* CvelTrayLibMgr::GetNotifyWnd() {
    if (m_pNotifyWnd == nullptr) {
        if (!g_homeThread.MayMakeWindows()) {
            // Windows are made by the home thread; it makes this one when it gets to it.
            g_homeThread.Post([this] {
                CScopedLock lock(m_lock);
                GetNotifyWnd();
            });
            return nullptr;
        }
        std::unique_ptr<CMenuOwnerWnd> pWnd(new CMenuOwnerWnd(g_hLibInstance));
        pWnd->Create();
        m_pNotifyWnd = std::move(pWnd);
    }
    if (m_pMenuOwner == nullptr) m_pMenuOwner = CWnd::FromHandle(m_pNotifyWnd->m_hWnd);
    return m_pNotifyWnd.get();
}

CSEMIcon* CvelTrayLibMgr::GetSemIcon() {
    if (m_pSemIcon == nullptr) {
        GetNotifyWnd();
        m_pSemIcon.reset(new CSEMIcon(g_hLibInstance));
        m_pSemIcon->SetMenuOwner(m_pMenuOwner);
    }
    return m_pSemIcon.get();
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

CBmpMenu* CvelTrayLibMgr::SetCurrentMenu(std::unique_ptr<CBmpMenu> pMenu) {
    std::unique_ptr<CBmpMenu> pOld;
    CScopedLock lock(m_lock);
    pOld = std::move(m_pCurMenu);
    m_pCurMenu = std::move(pMenu);
    return m_pCurMenu.get();
}

bool CvelTrayLibMgr::CloseOpenMenu() {
    if (m_nTracking == 0) return false;
    CBmpMenu* pMenu = nullptr;
    {
        CScopedLock lock(m_lock);
        pMenu = m_pCurMenu.get();
    }
    // Only the home thread tracks menus and destroys them, and this is the home thread.
    if (pMenu != nullptr && pMenu->m_hWnd != nullptr) pMenu->CloseMenuChain();
    return true;
}

void CvelTrayLibMgr::CloseMenu() { SetCurrentMenu(nullptr); }

bool CvelTrayLibMgr::IsSemProgramRunning() const {
    DWORD nProcessId = 0;
    return CProcessFind().Find(nProcessId, m_bSEMm != 0 ? "velSEMm.exe" : "velSEMx.exe") == 1;
}

void CvelTrayLibMgr::Stop(bool bForGood) {
    try {
        std::unique_ptr<CRetired> pRetired(new CRetired);
        CRetired* pTaken = pRetired.get();
        {
            CScopedLock lock(m_lock);
            // Work queued for the objects that go would find them gone.
            g_homeThread.DropRequests();
            pTaken->m_pMenu = std::move(m_pCurMenu);
            pTaken->m_readers.swap(m_readers);
            pTaken->m_pSemIcon = std::move(m_pSemIcon);
            pTaken->m_pNotifyWnd = std::move(m_pNotifyWnd);
            pTaken->m_bForGood = bForGood;
            // The wrapper of the owner window stays until the reaper: an open menu holds it.
            m_pMenuOwner = nullptr;
            // From here on only the reaper destroys them, on the home thread; this thread's
            // own frame, if any, keeps it from doing so before Withdraw is done.
            m_retired.push_back(std::move(pRetired));
        }
        Withdraw(*pTaken);
    } catch (...) {
    }
    ReapIfDue();
}

void CvelTrayLibMgr::Withdraw(CRetired& retired) {
    for (const auto& pEntry : retired.m_readers) {
        try {
            pEntry->m_pChip->GetTrayIcon()->Retire();
        } catch (...) {
        }
    }
    if (retired.m_pSemIcon != nullptr) {
        retired.m_pSemIcon->GetTrayIcon()->Retire();
        retired.m_pSemIcon->StopRotation();
    }
    if (retired.m_pMenu == nullptr) return;
    CBmpMenu* pMenu = retired.m_pMenu.get();
    if (g_homeThread.IsCurrent()) {
        pMenu->CloseMenuChain();
    } else {
        // The menu's loop runs on the home thread; the request runs before the reaper can.
        g_homeThread.Post([pMenu] { pMenu->CloseMenuChain(); });
    }
}

void CvelTrayLibMgr::ReapIfDue() {
    if (!g_homeThread.IsCurrent() && g_homeThread.IsAlive()) return;
    if (CHomeThread::InFrame() || g_homeThread.ForeignFrames() > 0) return;
    std::vector<std::unique_ptr<CRetired>> retired;
    {
        CScopedLock lock(m_lock);
        retired.swap(m_retired);
    }
    bool bForGood = false;
    std::vector<HWND> ownerWindows;
    for (const auto& pRetired : retired) {
        bForGood = bForGood || pRetired->m_bForGood;
        if (pRetired->m_pNotifyWnd != nullptr)
            ownerWindows.push_back(pRetired->m_pNotifyWnd->m_hWnd);
    }
    // Destroyed here, outside the lock: their windows' last messages may come in meanwhile.
    retired.clear();
    for (HWND hWnd : ownerWindows) CWnd::ForgetHandle(hWnd);
    if (bForGood) g_homeThread.ReleaseRequestWindow();
}

void CvelTrayLibMgr::WakeReaper() {
    bool bPending = false;
    {
        CScopedLock lock(m_lock);
        bPending = !m_retired.empty();
    }
    if (bPending) g_homeThread.Wake();
}

bool CvelTrayLibMgr::WaitUntilReaped(DWORD nTimeoutMs) {
    const DWORD nStart = GetTickCount();
    WakeReaper();
    for (;;) {
        ReapIfDue();
        {
            CScopedLock lock(m_lock);
            if (m_retired.empty()) return true;
        }
        if (GetTickCount() - nStart >= nTimeoutMs) return false;
        // Messages sent to this thread's windows are answered while it waits.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kReapPollMs, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
