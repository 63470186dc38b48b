#include "BmpMenuTestDriver.h"

#include <gtest/gtest.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "core/velTrayLibMgr.h"
#include "framework/Wnd.h"

namespace {

constexpr UINT WM_NEXTSTEP = WM_APP + 17;
constexpr UINT_PTR kWatchdogTimer = 77;

BOOL CALLBACK CloseMenusOfThread(HWND hWnd, LPARAM) {
    if (MenuOf(hWnd) != nullptr) MenuOf(hWnd)->CloseMenuChain();
    return TRUE;
}

void DispatchAll() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

CMenuTestOwner::CMenuTestOwner(int x, int y) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CMenuTestOwner::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "BmpMenuTestOwner";
    RegisterClassA(&wc);
    CreateWindowExA(0, wc.lpszClassName, "menu owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 200,
                    120, nullptr, nullptr, wc.hInstance, this);
    SetCursorPos(1010, 5);
    DispatchAll();
}

CMenuTestOwner::~CMenuTestOwner() {
    DestroyWindow(m_hWnd);
    CWnd::ForgetHandle(m_hWnd);
}

CWnd* CMenuTestOwner::Wnd() const { return CWnd::FromHandle(m_hWnd); }

BOOL CMenuTestOwner::Track(CBmpMenu& menu, int x, int y, const RECT* pExclude) {
    m_bWatchdogFired = false;
    SetTimer(m_hWnd, kWatchdogTimer, 10000, nullptr);
    const BOOL bResult = menu.Track(0, x, y, Wnd(), pExclude);
    KillTimer(m_hWnd, kWatchdogTimer);
    EXPECT_FALSE(m_bWatchdogFired) << "the menus stayed open";
    m_steps.clear();
    MSG msg;
    while (PeekMessageA(&msg, m_hWnd, WM_NEXTSTEP, WM_NEXTSTEP, PM_REMOVE)) {
    }
    return bResult;
}

std::vector<std::string> CMenuTestOwner::Take() {
    // Posted commands are recorded once they have been handled.
    DispatchAll();
    std::vector<std::string> lines;
    lines.swap(m_lines);
    return lines;
}

std::string CMenuTestOwner::Text(UINT_PTR nValue) const {
    const auto name = m_names.find(nValue);
    char sz[16];
    wsprintfA(sz, "%lx", static_cast<unsigned long>(nValue));
    return name != m_names.end() ? name->second : sz;
}

LRESULT CALLBACK CMenuTestOwner::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* pCreating =
            static_cast<CMenuTestOwner*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        pCreating->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreating));
    }
    auto* pOwner = reinterpret_cast<CMenuTestOwner*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pOwner == nullptr) return DefWindowProcA(hWnd, message, wParam, lParam);
    return pOwner->OnMessage(message, wParam, lParam);
}

LRESULT CMenuTestOwner::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    static const std::map<UINT, std::string> kRecorded = {
        {WM_INITMENU, "initmenu"},    {WM_INITMENUPOPUP, "initpopup"},
        {WM_MENUSELECT, "select"},    {WM_MENUCHAR, "menuchar"},
        {WM_COMMAND, "command"},      {WM_ENTERMENULOOP, "enterloop"},
        {WM_EXITMENULOOP, "exitloop"}};
    const auto recorded = kRecorded.find(message);
    // The two halves of a select's or a menu character's wParam; no window in enterloop.
    const bool bSplit = message == WM_MENUSELECT || message == WM_MENUCHAR;
    if (recorded != kRecorded.end())
        m_lines.push_back(
            recorded->second + " " +
            (bSplit ? Text(LOWORD(wParam)) + "/" + Text(HIWORD(wParam)) : Text(wParam)) +
            (message == WM_ENTERMENULOOP ? "" : " " + Text(lParam)));
    if (message == WM_ENTERMENULOOP) m_openMenus.push_back(reinterpret_cast<HWND>(lParam));
    if (message == WM_ENTERMENULOOP && m_openMenus.size() == 1 && !m_steps.empty())
        PostMessageA(m_hWnd, WM_NEXTSTEP, 0, 0);
    if (message == WM_EXITMENULOOP && !m_openMenus.empty()) m_openMenus.pop_back();
    m_nEnterIdle += message == WM_ENTERIDLE ? 1 : 0;
    if (message == WM_NEXTSTEP && !m_steps.empty()) {
        std::function<void()> step = std::move(m_steps.front());
        m_steps.pop_front();
        try {
            step();
        } catch (...) {
            // Nothing may leave a window procedure; the watchdog ends the menus.
            ADD_FAILURE() << "a step failed with an exception";
        }
        PostMessageA(m_hWnd, WM_NEXTSTEP, 0, 0);
    }
    if (message == WM_TIMER && wParam == kWatchdogTimer) {
        m_bWatchdogFired = true;
        EnumThreadWindows(GetCurrentThreadId(), CloseMenusOfThread, 0);
    }
    if (message == WM_MENUCHAR) return m_nMenuCharAnswer;
    const bool bOwn = message == WM_ENTERIDLE || message == WM_NEXTSTEP || message == WM_TIMER;
    return recorded != kRecorded.end() || bOwn ? 0
                                               : DefWindowProcA(m_hWnd, message, wParam, lParam);
}

CHostScope::CHostScope(HWND hHost) : m_hPrevious(CvelTrayLibMgr::Instance().m_hHostWnd) {
    CvelTrayLibMgr::Instance().m_hHostWnd = hHost;
}

CHostScope::~CHostScope() { CvelTrayLibMgr::Instance().m_hHostWnd = m_hPrevious; }

HMENU MakeMenu(const std::vector<MenuItem>& items) {
    HMENU hMenu = CreatePopupMenu();
    for (const MenuItem& item : items) AppendMenuA(hMenu, item.nFlags, item.nId, item.pszText);
    return hMenu;
}

HMENU AttachTestMenu(CBmpMenu& menu, HMENU* phSub, CMenuTestOwner* pOwner) {
    HMENU hSub = MakeMenu(
        {{MF_STRING, 201, "Sub &one"}, {MF_STRING, 202, "Sub &two"}, {MF_STRING, 203, "&other"}});
    HMENU hMenu = MakeMenu({{MF_STRING, 101, "&Open"},
                            {MF_STRING | MF_CHECKED, 102, "&Checked"},
                            {MF_SEPARATOR, 0xFFFFFFFF, nullptr},
                            {MF_STRING | MF_GRAYED, 103, "&Disabled"},
                            {MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More"},
                            {MF_STRING, 104, "E&xit"}});
    if (phSub != nullptr) *phSub = hSub;
    if (pOwner != nullptr) pOwner->Name(hMenu, "menu");
    if (pOwner != nullptr) pOwner->Name(hSub, "sub");
    menu.Attach(hMenu);
    return hMenu;
}

CBmpMenu* MenuOf(HWND hPopup) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hPopup);
    return pWnd != nullptr && pWnd->IsKindOf(RUNTIME_CLASS(CBmpMenu)) ? static_cast<CBmpMenu*>(pWnd)
                                                                      : nullptr;
}

HWND Strip(HWND hPopup) {
    CBmpMenu* pMenu = MenuOf(hPopup);
    return pMenu != nullptr && pMenu->m_pToolBar != nullptr ? pMenu->m_pToolBar->m_hWnd : nullptr;
}

RECT ItemRect(HWND hStrip, int nIndex) {
    RECT rc = {};
    SendMessageA(hStrip, TB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(&rc));
    return rc;
}

LPARAM ItemParam(HWND hStrip, int nIndex) {
    const RECT rc = ItemRect(hStrip, nIndex);
    return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

int HotItem(HWND hStrip) { return static_cast<int>(SendMessageA(hStrip, TB_GETHOTITEM, 0, 0)); }

void Press(HWND hStrip, int nIndex) {
    SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, nIndex));
}

void PressKey(HWND hPopup, UINT nKey) { SendMessageA(hPopup, WM_KEYDOWN, nKey, 1); }
