#include "tray/IconMenu.h"

#include <memory>

#include "bmpmenu/BmpMenu.h"
#include "core/velTrayLibMgr.h"
#include "text/LanguageSelection.h"
#include "text/TextTable.h"
#include "tray/SEMIcon.h"

namespace {

// Texts of the fixed entries.
constexpr DWORD kTextOpen = 4786;
constexpr DWORD kTextSettings = 4785;
constexpr DWORD kTextInfo = 4783;
constexpr DWORD kTextExit = 4784;
constexpr DWORD kTextSearch = 5081;
// Their commands (a chip or-s its command base into them; the exit command is CIconMenu's).
constexpr DWORD kCmdOpen = 0x1600;
constexpr DWORD kCmdSettings = 0x1700;
constexpr DWORD kCmdInfo = 0x1900;
constexpr DWORD kCmdSearch = 0x2100;
// The popup: a banner 30 pixels wide, none on submenus, no banner bitmap.
constexpr int kBannerWidth = 30;

// Item id of separators.
constexpr UINT kSeparatorId = 0xFFFFFFFF;

// One of the library's fixed entries: its text and command; a separator has neither.
struct CFixedEntry {
    DWORD nTextId;  // the text's id, 0 for a separator
    DWORD nCmdId;   // the command, without the command base
};

// The fixed entries of each menu, after the host's.
constexpr CFixedEntry kChipEntries[] = {
    {kTextOpen, kCmdOpen},
    {0, 0},  // separator
    {kTextSettings, kCmdSettings},
    {kTextInfo, kCmdInfo},
    {0, 0},  // separator
    {kTextExit, CIconMenu::kCmdExit},
};
constexpr CFixedEntry kSemEntries[] = {
    {kTextOpen, kCmdOpen},
    {kTextSettings, kCmdSettings},
    {kTextSearch, kCmdSearch},
    {kTextInfo, kCmdInfo},
    {0, 0},  // separator
    {kTextExit, CIconMenu::kCmdExit},
};

CIconMenu::Item Entry(DWORD nTextId, DWORD nCmdId) { return {false, nTextId, nCmdId}; }
CIconMenu::Item Separator() { return {true, 0, kSeparatorId}; }

}  // namespace

std::vector<CIconMenu::Item> CIconMenu::Layout(Kind kind, const std::vector<MenuEntry>& hostEntries,
                                               DWORD nCmdBase) {
    // Only a chip's menu carries a command base.
    const DWORD nBase = kind == Kind::kChip ? nCmdBase : 0;
    std::vector<Item> items;
    for (const MenuEntry& entry : hostEntries)
        items.push_back(Entry(entry.first, entry.second | nBase));
    if (!hostEntries.empty()) items.push_back(Separator());
    for (const CFixedEntry& fixed : kind == Kind::kChip ? kChipEntries : kSemEntries) {
        items.push_back(fixed.nTextId == 0 ? Separator()
                                           : Entry(fixed.nTextId, fixed.nCmdId | nBase));
    }
    return items;
}

void CIconMenu::Open(Kind kind, const std::vector<MenuEntry>& hostEntries, DWORD nCmdBase) {
    SelectConfiguredLanguage();
    CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
    std::unique_ptr<CBmpMenu> pMenu(new CBmpMenu(kBannerWidth, FALSE, nullptr, 0));
    if (!pMenu->Attach(CreatePopupMenu())) return;
    {
        CScopedLock lock(mgr.GetLock());
        pMenu->SetBannerColor(mgr.m_crMenu1);
        pMenu->SetBannerGradientColor(mgr.m_crMenu2);
    }
    for (const Item& item : Layout(kind, hostEntries, nCmdBase)) {
        if (item.bSeparator) {
            AppendMenuA(pMenu->m_hMenu, MF_SEPARATOR, item.nCmdId, nullptr);
            continue;
        }
        CStrBuf text;
        g_textTable.Lookup(item.nTextId, text);
        AppendMenuA(pMenu->m_hMenu, MF_STRING, item.nCmdId, text.CStr());
    }
    POINT pt = {};
    GetCursorPos(&pt);
    CWnd* pOwner = nullptr;
    CSEMIcon* pSemIcon = nullptr;
    {
        CScopedLock lock(mgr.GetLock());
        pSemIcon = mgr.GetSemIcon();
        mgr.GetNotifyWnd();
        pOwner = mgr.m_pMenuOwner;
    }
    // The menu kept from last time goes now: no loop of it runs, since a press during a
    // menu closes that menu before it comes here.
    CBmpMenu* pTracked = mgr.SetCurrentMenu(std::move(pMenu));
    pSemIcon->HideInformationNow(HideMode::kAtOnce);
    // Counted while its loop runs, without the lock: other threads' exports go on meanwhile.
    ++mgr.m_nTracking;
    try {
        pTracked->Track(0, pt.x, pt.y, pOwner, nullptr);
    } catch (...) {
        --mgr.m_nTracking;
        throw;
    }
    --mgr.m_nTracking;
}
