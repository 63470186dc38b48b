// The window framework: binding objects to windows, typed message handlers and the default
// procedure, run-time classes, nested modal loops and the menu owner. The tool bar, its
// reflected custom drawing and its mouse and key handlers are the bitmap menu's tests'.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BmpMenuTestDriver.h"
#include "bmpmenu/BmpMenu.h"
#include "bmpmenu/BmpMenuToolBar.h"
#include "framework/Menu.h"
#include "framework/Wnd.h"

namespace {

constexpr UINT WM_NESTED = WM_APP + 1;
constexpr UINT WM_INNER = WM_APP + 2;
constexpr UINT WM_RUN = WM_APP + 3;
constexpr UINT WM_THROW = WM_APP + 4;

// A window with typed handlers that records what reaches them and its default procedure.
class CRecordingWnd : public CWnd {
  public:
    std::string m_strHandled;       // what the last typed handler got, as text
    std::vector<UINT> m_defaults;   // messages that reached DefWindowProc, in order
    std::function<void()> m_onRun;  // what WM_RUN does
    bool m_bPostNcDestroy = false;  // PostNcDestroy ran
    bool m_bFailCreate = false;     // OnCreate refuses the creation

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_defaults.push_back(message);
        return CWnd::DefWindowProc(message, wParam, lParam);
    }

  protected:
    int OnCreate(LPCREATESTRUCTA lpCreateStruct) {
        m_strHandled =
            "create " + std::string(lpCreateStruct->lpszName ? lpCreateStruct->lpszName : "");
        return m_bFailCreate ? -1 : CWnd::OnCreate(lpCreateStruct);
    }
    void OnLButtonDown(UINT nFlags, POINT point) {
        m_strHandled = "down " + std::to_string(nFlags) + " " + std::to_string(point.x) + " " +
                       std::to_string(point.y);
    }
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
        m_strHandled = "key " + std::to_string(nChar) + " " + std::to_string(nRepCnt) + " " +
                       std::to_string(nFlags);
    }
    LRESULT OnNested(WPARAM, LPARAM) {
        ::SendMessageA(m_hWnd, WM_INNER, 0, 0);
        return Default();
    }
    LRESULT OnRun(WPARAM, LPARAM) {
        if (m_onRun) m_onRun();
        return 0;
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    void PostNcDestroy() override { m_bPostNcDestroy = true; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecordingWnd, CWnd)
ON_WM_CREATE()
ON_WM_LBUTTONDOWN()
ON_WM_KEYDOWN()
ON_MESSAGE(WM_NESTED, OnNested)
ON_MESSAGE(WM_RUN, OnRun)
ON_MESSAGE(WM_THROW, OnThrow)
END_MESSAGE_MAP()

const RECT kRect = {50, 50, 250, 150};

// A timer that has its window run WM_RUN once.
void CALLBACK PostRunOnce(HWND hWnd, UINT, UINT_PTR nId, DWORD) {
    KillTimer(hWnd, nId);
    PostMessageA(hWnd, WM_RUN, 0, 0);
}

}  // namespace

TEST(Wnd, BindsItsWindowsAndHandsMessagesToTypedHandlers) {
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "first", WS_POPUP, kRect, nullptr, 0));
    const HWND hWnd = wnd.m_hWnd;
    EXPECT_EQ(wnd.m_strHandled, "create first");
    EXPECT_TRUE(CWnd::FromHandle(hWnd) == &wnd && CWnd::FromHandlePermanent(hWnd) == &wnd);
    EXPECT_FALSE(wnd.CreateEx(0, nullptr, "second", WS_POPUP, kRect, nullptr, 0));

    SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-5, 7));
    EXPECT_EQ(wnd.m_strHandled, "down 5 -5 7");
    SendMessageA(hWnd, WM_KEYDOWN, VK_F5, 0x00410003);
    EXPECT_EQ(wnd.m_strHandled, "key 116 3 65");

    // What no handler takes reaches the class's default procedure, and Default passes the message
    // being handled, not one handled inside it.
    wnd.m_defaults.clear();
    SendMessageA(hWnd, WM_NESTED, 0, 0);
    EXPECT_EQ(wnd.m_defaults, (std::vector<UINT>{WM_INNER, WM_NESTED}));
    // A failing handler is contained at the window procedure.
    EXPECT_EQ(SendMessageA(hWnd, WM_THROW, 0, 0), 0);

    EXPECT_TRUE(wnd.DestroyWindow() && wnd.m_bPostNcDestroy);
    EXPECT_TRUE(wnd.m_hWnd == nullptr && CWnd::FromHandlePermanent(hWnd) == nullptr);

    // A creation that fails leaves the object without window.
    CRecordingWnd failing;
    failing.m_bFailCreate = true;
    EXPECT_FALSE(failing.CreateEx(0, nullptr, "fails", WS_POPUP, kRect, nullptr, 0));
    EXPECT_EQ(failing.m_hWnd, nullptr);

    // A window made elsewhere gets one wrapper that is no bound object.
    HWND hForeign =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    CWnd* pWrapper = CWnd::FromHandle(hForeign);
    ASSERT_NE(pWrapper, nullptr);
    EXPECT_TRUE(CWnd::FromHandle(hForeign) == pWrapper && pWrapper->m_hWnd == hForeign);
    EXPECT_TRUE(CWnd::FromHandlePermanent(hForeign) == nullptr &&
                CWnd::FromHandle(nullptr) == nullptr);
    EXPECT_TRUE(pWrapper->IsKindOf(RUNTIME_CLASS(CWnd)));
    DestroyWindow(hForeign);
    CWnd::ForgetHandle(hForeign);

    // Run-time classes: the strip reports its base's record.
    EXPECT_FALSE(wnd.IsKindOf(RUNTIME_CLASS(CControlBar)));
    CBmpMenuToolBar strip;
    EXPECT_STREQ(strip.GetRuntimeClass()->m_lpszClassName, "CToolBar");
    EXPECT_TRUE(strip.IsKindOf(RUNTIME_CLASS(CControlBar)));
    EXPECT_FALSE(strip.IsKindOf(RUNTIME_CLASS(CBmpMenu)));
}

TEST(Wnd, ModalLoopsNestAndUnwindFromTheInnermost) {
    CMenuTestOwner owner;
    CRecordingWnd outer, inner;
    ASSERT_TRUE(outer.CreateEx(0, nullptr, "outer", WS_POPUP, kRect, owner.Wnd(), 0));
    ASSERT_TRUE(inner.CreateEx(0, nullptr, "inner", WS_POPUP, kRect, owner.Wnd(), 0));
    std::vector<std::string> order;
    outer.m_onRun = [&] {
        PostMessageA(inner.m_hWnd, WM_RUN, 0, 0);
        order.push_back("inner returned " + std::to_string(inner.RunModalLoop()));
    };
    inner.m_onRun = [&] {
        // Both loops are ended from inside the inner one.
        outer.EndModalLoop(1);
        inner.EndModalLoop(2);
        order.push_back("ended");
    };
    // Ending a loop that does not run changes nothing.
    outer.EndModalLoop(9);
    EXPECT_FALSE(outer.ContinueModal());
    PostMessageA(outer.m_hWnd, WM_RUN, 0, 0);
    order.push_back("outer returned " + std::to_string(outer.RunModalLoop()));
    EXPECT_EQ(order, (std::vector<std::string>{"ended", "inner returned 2", "outer returned 1"}));

    // The parent hears when a loop waits for messages, unless asked not to.
    inner.m_onRun = [&] { inner.EndModalLoop(3); };
    for (DWORD dwFlags : {DWORD{0}, MLF_NOIDLEMSG}) {
        const int nIdle = owner.EnterIdleCount();
        SetTimer(inner.m_hWnd, 1, 10, &PostRunOnce);
        EXPECT_EQ(inner.RunModalLoop(dwFlags), 3);
        EXPECT_EQ(owner.EnterIdleCount() > nIdle, dwFlags == 0) << dwFlags;
    }

    // A quit request ends the loop and stays for the thread's own loop.
    PostQuitMessage(4);
    EXPECT_EQ(outer.RunModalLoop(), -1);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
}

TEST(Wnd, MenuOwnsItsHandle) {
    HMENU hFirst = CreatePopupMenu(), hSecond = CreatePopupMenu();
    {
        CMenu menu;
        EXPECT_FALSE(menu.Attach(nullptr));
        EXPECT_TRUE(menu.Attach(hFirst));
        EXPECT_FALSE(menu.Attach(hSecond));
        EXPECT_EQ(menu.Detach(), hFirst);
        EXPECT_TRUE(menu.Attach(hSecond));
    }
    EXPECT_TRUE(IsMenu(hFirst) && !IsMenu(hSecond));
    CMenu owner;
    owner.Attach(hFirst);
    EXPECT_TRUE(owner.DestroyMenu() && !IsMenu(hFirst));
    EXPECT_FALSE(owner.DestroyMenu());
}
