#include "BmpMenuTestDriver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/Wnd.h"

namespace {

constexpr UINT WM_NEXTSTEP = WM_APP + 17;
constexpr UINT_PTR kWatchdogTimer = 77;
constexpr char kOwnerClass[] = "BmpMenuTestOwner";

// The messages an owner records.
bool IsRecorded(UINT message) {
    switch (message) {
        case WM_INITMENU:
        case WM_INITMENUPOPUP:
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
        case WM_MENUSELECT:
        case WM_MENUCHAR:
        case WM_COMMAND:
            return true;
        default:
            return false;
    }
}

BOOL CALLBACK CloseMenusOfThread(HWND hWnd, LPARAM) {
    char szClass[32] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    CBmpMenu* pMenu = CMenuTestOwner::MenuOf(hWnd);
    if (strcmp(szClass, "BitmapMenu") == 0 && pMenu != nullptr) pMenu->CloseMenuChain();
    return TRUE;
}

std::string Name(UINT message) {
    switch (message) {
        case WM_INITMENU:
            return "WM_INITMENU";
        case WM_INITMENUPOPUP:
            return "WM_INITMENUPOPUP";
        case WM_ENTERMENULOOP:
            return "WM_ENTERMENULOOP";
        case WM_EXITMENULOOP:
            return "WM_EXITMENULOOP";
        case WM_MENUSELECT:
            return "WM_MENUSELECT";
        case WM_MENUCHAR:
            return "WM_MENUCHAR";
        case WM_COMMAND:
            return "WM_COMMAND";
        default:
            return std::to_string(message);
    }
}

}  // namespace

void ExpectSequence(const std::vector<RecordedMsg>& actual,
                    const std::vector<ExpectedMsg>& expected, const char* pszContext) {
    SCOPED_TRACE(pszContext);
    const size_t nCount = actual.size() < expected.size() ? actual.size() : expected.size();
    for (size_t i = 0; i < nCount; ++i) {
        const RecordedMsg& a = actual[i];
        const ExpectedMsg& e = expected[i];
        EXPECT_EQ(Name(a.message), Name(e.message)) << "message " << i;
        if (a.message != e.message) return;
        if (e.nCompare & kWParam) {
            EXPECT_EQ(a.wParam, e.wParam) << Name(e.message) << " " << i;
        }
        if (e.nCompare & kLParam) {
            EXPECT_EQ(a.lParam, e.lParam) << Name(e.message) << " " << i;
        }
    }
    for (size_t i = nCount; i < actual.size(); ++i) {
        ADD_FAILURE() << "unexpected " << Name(actual[i].message) << " at " << i << " wParam "
                      << actual[i].wParam;
    }
    for (size_t i = nCount; i < expected.size(); ++i) {
        ADD_FAILURE() << "missing " << Name(expected[i].message) << " at " << i;
    }
}

CMenuTestOwner::CMenuTestOwner(int x, int y)
    : m_hWnd(nullptr), m_nMenuCharAnswer(0), m_nEnterIdle(0), m_bWatchdogFired(false) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CMenuTestOwner::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kOwnerClass;
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, kOwnerClass, "menu owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                             200, 120, nullptr, nullptr, wc.hInstance, this);
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

std::vector<RecordedMsg> CMenuTestOwner::Take() {
    std::vector<RecordedMsg> messages;
    messages.swap(m_messages);
    return messages;
}

CBmpMenu* CMenuTestOwner::MenuOf(HWND hPopup) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hPopup);
    if (pWnd == nullptr || !pWnd->IsKindOf(RUNTIME_CLASS(CBmpMenu))) return nullptr;
    return static_cast<CBmpMenu*>(pWnd);
}

CBmpMenuToolBar* CMenuTestOwner::StripOf(HWND hPopup) {
    CBmpMenu* pMenu = MenuOf(hPopup);
    return pMenu != nullptr ? pMenu->m_pToolBar : nullptr;
}

LRESULT CALLBACK CMenuTestOwner::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* pCreating = static_cast<CMenuTestOwner*>(pCreate->lpCreateParams);
        pCreating->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreating));
    }
    auto* pOwner = reinterpret_cast<CMenuTestOwner*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pOwner == nullptr) return DefWindowProcA(hWnd, message, wParam, lParam);
    return pOwner->OnMessage(message, wParam, lParam);
}

LRESULT CMenuTestOwner::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsRecorded(message)) m_messages.push_back({message, wParam, lParam});
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

HMENU MakeTestMenu(HMENU* phSub) {
    HMENU hSub = CreatePopupMenu();
    AppendMenuA(hSub, MF_STRING, 201, "Sub &one");
    AppendMenuA(hSub, MF_STRING, 202, "Sub &two");
    HMENU hMenu = CreatePopupMenu();
    AppendMenuA(hMenu, MF_STRING, 101, "&Open");
    AppendMenuA(hMenu, MF_STRING | MF_CHECKED, 102, "&Checked");
    AppendMenuA(hMenu, MF_SEPARATOR, 0xFFFFFFFF, nullptr);
    AppendMenuA(hMenu, MF_STRING | MF_GRAYED, 103, "&Disabled");
    AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), "&More");
    AppendMenuA(hMenu, MF_STRING, 104, "E&xit");
    if (phSub != nullptr) *phSub = hSub;
    return hMenu;
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

void PressKey(HWND hPopup, UINT nKey) { SendMessageA(hPopup, WM_KEYDOWN, nKey, 1); }

std::string ProgramFolder() {
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}
