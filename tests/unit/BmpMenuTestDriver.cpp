#include "BmpMenuTestDriver.h"

#include <gtest/gtest.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <sstream>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/Wnd.h"

namespace {

constexpr UINT WM_NEXTSTEP = WM_APP + 17;
constexpr UINT_PTR kWatchdogTimer = 77;
constexpr char kOwnerClass[] = "BmpMenuTestOwner";

// The name of a message an owner records; null for the others.
const char* Name(UINT message) {
    static const struct {
        UINT message;
        const char* pszName;
    } kRecorded[] = {{WM_INITMENU, "WM_INITMENU"},
                     {WM_INITMENUPOPUP, "WM_INITMENUPOPUP"},
                     {WM_ENTERMENULOOP, "WM_ENTERMENULOOP"},
                     {WM_EXITMENULOOP, "WM_EXITMENULOOP"},
                     {WM_MENUSELECT, "WM_MENUSELECT"},
                     {WM_MENUCHAR, "WM_MENUCHAR"},
                     {WM_COMMAND, "WM_COMMAND"}};
    for (const auto& r : kRecorded) {
        if (r.message == message) return r.pszName;
    }
    return nullptr;
}

// One line per message, with the parameters the expectation at the same place compares.
std::string Describe(const std::vector<MenuMsg>& messages, const std::vector<MenuMsg>& mask) {
    std::ostringstream out;
    for (size_t i = 0; i < messages.size(); ++i) {
        const int nCompare = i < mask.size() ? mask[i].nCompare : kBoth;
        out << Name(messages[i].message) << std::hex;
        if (nCompare & kWParam) out << " w=" << messages[i].wParam;
        if (nCompare & kLParam) out << " l=" << messages[i].lParam;
        out << "\n";
    }
    return out.str();
}

BOOL CALLBACK CloseMenusOfThread(HWND hWnd, LPARAM) {
    CBmpMenu* pMenu = MenuOf(hWnd);
    if (pMenu != nullptr) pMenu->CloseMenuChain();
    return TRUE;
}

}  // namespace

void ExpectSequence(const std::vector<MenuMsg>& actual, const std::vector<MenuMsg>& expected,
                    const char* pszContext) {
    EXPECT_EQ(Describe(actual, expected), Describe(expected, expected)) << pszContext;
}

CMenuTestOwner::CMenuTestOwner(int x, int y) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CMenuTestOwner::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kOwnerClass;
    RegisterClassA(&wc);
    CreateWindowExA(0, kOwnerClass, "menu owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 200, 120,
                    nullptr, nullptr, wc.hInstance, this);
    SetCursorPos(1010, 5);
    Pump();
}

CMenuTestOwner::~CMenuTestOwner() {
    DestroyWindow(m_hWnd);
    CWnd::ForgetHandle(m_hWnd);
}

CWnd* CMenuTestOwner::Wnd() const { return CWnd::FromHandle(m_hWnd); }

void CMenuTestOwner::AddStep(std::function<void()> step) { m_steps.push_back(std::move(step)); }

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

void CMenuTestOwner::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<MenuMsg> CMenuTestOwner::Take() {
    std::vector<MenuMsg> messages;
    messages.swap(m_messages);
    return messages;
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
    if (Name(message) != nullptr) m_messages.push_back({message, kBoth, wParam, lParam});
    switch (message) {
        case WM_ENTERIDLE:
            ++m_nEnterIdle;
            return 0;
        case WM_ENTERMENULOOP:
            m_openMenus.push_back(reinterpret_cast<HWND>(lParam));
            if (m_openMenus.size() == 1 && !m_steps.empty()) {
                PostMessageA(m_hWnd, WM_NEXTSTEP, 0, 0);
            }
            return 0;
        case WM_EXITMENULOOP:
            if (!m_openMenus.empty()) m_openMenus.pop_back();
            return 0;
        case WM_MENUCHAR:
            return m_nMenuCharAnswer;
        case WM_NEXTSTEP:
            if (!m_steps.empty()) {
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
            return 0;
        case WM_TIMER:
            if (wParam == kWatchdogTimer) {
                m_bWatchdogFired = true;
                EnumThreadWindows(GetCurrentThreadId(), CloseMenusOfThread, 0);
            }
            return 0;
        default:
            return DefWindowProcA(m_hWnd, message, wParam, lParam);
    }
}

HMENU MakeMenu(const std::vector<MenuItem>& items) {
    HMENU hMenu = CreatePopupMenu();
    for (const MenuItem& item : items) AppendMenuA(hMenu, item.nFlags, item.nId, item.pszText);
    return hMenu;
}

HMENU AttachTestMenu(CBmpMenu& menu, HMENU* phSub) {
    HMENU hSub = MakeMenu(
        {{MF_STRING, 201, "Sub &one"}, {MF_STRING, 202, "Sub &two"}, {MF_STRING, 203, "&other"}});
    HMENU hMenu = MakeMenu({{MF_STRING, 101, "&Open"},
                            {MF_STRING | MF_CHECKED, 102, "&Checked"},
                            {MF_SEPARATOR, 0xFFFFFFFF, nullptr},
                            {MF_STRING | MF_GRAYED, 103, "&Disabled"},
                            {MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More"},
                            {MF_STRING, 104, "E&xit"}});
    if (phSub != nullptr) *phSub = hSub;
    menu.Attach(hMenu);
    return hMenu;
}

CBmpMenu* MenuOf(HWND hPopup) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hPopup);
    if (pWnd == nullptr || !pWnd->IsKindOf(RUNTIME_CLASS(CBmpMenu))) return nullptr;
    return static_cast<CBmpMenu*>(pWnd);
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

POINT ItemPoint(HWND hStrip, int nIndex) {
    const RECT rc = ItemRect(hStrip, nIndex);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

LPARAM ItemParam(HWND hStrip, int nIndex) {
    const POINT pt = ItemPoint(hStrip, nIndex);
    return MAKELPARAM(pt.x, pt.y);
}

int HotItem(HWND hStrip) { return static_cast<int>(SendMessageA(hStrip, TB_GETHOTITEM, 0, 0)); }

void Press(HWND hStrip, int nIndex) {
    SendMessageA(hStrip, WM_LBUTTONDOWN, MK_LBUTTON, ItemParam(hStrip, nIndex));
}

void PressKey(HWND hPopup, UINT nKey) { SendMessageA(hPopup, WM_KEYDOWN, nKey, 1); }

std::string ProgramFolder() {
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    const std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}
