// The 18 exports. Each is a thin door: the guard, the shared prologue, a short
// recipe against the tray manager and its icons, and containment of every
// failure. Text pointers from the host are proven readable before anything is
// done with them; an unreadable one makes the export return its normal result
// without doing anything.
#include <initializer_list>

#include "core/velTrayLibApp.h"
#include "core/velTrayLibMgr.h"
#include "exports/ExportGuard.h"
#include "framework/KernelHandle.h"
#include "text/LanguageSelection.h"
#include "text/TextTable.h"
#include "tray/ChipIcon.h"
#include "tray/SEMIcon.h"
#include "tray/TrayIcon.h"
#include "util/ReadableText.h"
#include "velTrayLib.h"

namespace {

// How long velStopSEMRotation waits for the rotation to rest: a picture stays 500 ms, and a
// shell that does not answer must not hold the host for longer than this.
constexpr DWORD kRotationEndWaitMs = 1000;

// Thrown, and caught by the guard, when the host's arguments leave nothing to do.
struct CIgnoredCall {};

// Stops the call unless every given text can be read; null texts are allowed.
void RequireReadable(std::initializer_list<const char*> texts) {
    for (const char* pszText : texts) {
        if (!IsReadableText(pszText)) throw CIgnoredCall();
    }
}

// The chip icon of a reader, found or created; a null or unreadable name does nothing.
CChipIcon* ChipOf(const char* pszReader, DWORD nCmdBase) {
    if (pszReader == nullptr) throw CIgnoredCall();
    return CvelTrayLibMgr::Instance().GetChipIcon(pszReader, nCmdBase);
}

CSEMIcon* SemIcon() { return CvelTrayLibMgr::Instance().GetSemIcon(); }

// A chip export: prologue, then one state operation on the reader's chip icon.
template <typename Operation>
DWORD RunChipExport(LPCSTR pszReader, DWORD nCmdBase, Operation operation) {
    return RunGuarded([=] {
        RequireReadable({pszReader});
        SelectConfiguredLanguage();
        operation(ChipOf(pszReader, nCmdBase));
    });
}

// A SEM export: prologue, then one operation on the SEM icon.
template <typename Operation>
DWORD RunSemExport(Operation operation) {
    return RunGuarded([=] {
        SelectConfiguredLanguage();
        operation(SemIcon());
    });
}

}  // namespace

extern "C" {

DWORD WINAPI velStartTray(HWND hHostWnd, BOOL bSEMm) {
    return RunGuarded(
        [=] {
            g_textTable.Load(g_hLibInstance);
            SelectConfiguredLanguage();
            CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
            // The host's user-interface thread: the library's windows live there from now on.
            mgr.EnsureHome(true);
            mgr.LoadDesignResources();
            mgr.m_hHostWnd = hHostWnd;
            mgr.m_bSEMm = bSEMm != FALSE ? 1 : 0;
            mgr.GetSemIcon()->Show();
        },
        VEL_RESULT_FAIL);
}

DWORD WINAPI velStopTray() { return StopTray(); }

DWORD WINAPI velAddChipTray(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase, [](CChipIcon* pChip) { pChip->Show(); });
}

DWORD WINAPI velCardAbsent(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase,
                         [pszReader](CChipIcon* pChip) { pChip->SetAbsent(pszReader); });
}

DWORD WINAPI velCardPresent(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase, [](CChipIcon* pChip) { pChip->SetPresent(); });
}

DWORD WINAPI velCardIdentify(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase, [](CChipIcon* pChip) { pChip->SetIdentify(); });
}

DWORD WINAPI velCardIdentified(LPCSTR pszReader, LPCSTR pszInfo, DWORD, DWORD, DWORD nCmdBase) {
    return RunGuarded([=] {
        RequireReadable({pszReader, pszInfo});
        SelectConfiguredLanguage();
        ChipOf(pszReader, nCmdBase)->SetIdentified(pszInfo);
    });
}

DWORD WINAPI velCardUnknown(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase, [](CChipIcon* pChip) { pChip->SetUnknown(); });
}

DWORD WINAPI velCardActive(LPCSTR pszReader, DWORD nCmdBase) {
    return RunChipExport(pszReader, nCmdBase, [](CChipIcon* pChip) { pChip->SetActive(); });
}

DWORD WINAPI velHideChipIcon(LPCSTR pszReader) {
    return RunChipExport(pszReader, 0, [](CChipIcon* pChip) { pChip->GetTrayIcon()->Hide(); });
}

DWORD WINAPI velAddChipMenuItem(LPCSTR pszReader, DWORD nTextId, DWORD nCmdId) {
    return RunChipExport(pszReader, 0,
                         [=](CChipIcon* pChip) { pChip->AddMenuEntry(nTextId, nCmdId); });
}

DWORD WINAPI velAddSEMMenuItem(DWORD nTextId, DWORD nCmdId) {
    return RunSemExport([=](CSEMIcon* pSem) { pSem->AddMenuEntry(nTextId, nCmdId); });
}

DWORD WINAPI velShowInformation(DWORD nTextId) {
    return RunSemExport([=](CSEMIcon* pSem) { pSem->ShowInformation(nTextId); });
}

DWORD WINAPI velHideInformation() {
    return RunSemExport([](CSEMIcon* pSem) { pSem->HideInformation(HideMode::kSlide); });
}

DWORD WINAPI velMMVAlert(LPCSTR pszTooltip, LPCSTR pszInfo, DWORD) {
    return RunGuarded([=] {
        RequireReadable({pszTooltip, pszInfo});
        SelectConfiguredLanguage();
        SemIcon()->Alert(pszTooltip, pszInfo);
    });
}

DWORD WINAPI velStartSEMRotation() {
    return RunSemExport([](CSEMIcon* pSem) { pSem->StartRotation(); });
}

DWORD WINAPI velStopSEMRotation() {
    // The rotation is asked to stop under the lock; its end is waited for without it, so
    // that other threads' calls need not wait for the rotation's last picture.
    CKernelHandle hRotation;
    const DWORD nResult =
        RunSemExport([&hRotation](CSEMIcon* pSem) { hRotation = pSem->RequestRotationStop(); });
    if (hRotation.Get() != nullptr) WaitForSingleObject(hRotation.Get(), kRotationEndWaitMs);
    return nResult;
}

DWORD WINAPI velSetDsgnColors(COLORREF crMenu1, COLORREF crMenu2) {
    return RunGuarded([=] {
        SelectConfiguredLanguage();
        CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
        mgr.m_crMenu1 = crMenu1;
        mgr.m_crMenu2 = crMenu2;
    });
}

}  // extern "C"
