// The window framework: typed handlers, the default procedure, a failing handler, and wrappers of
// windows made elsewhere. Modal loops, the menu handle and the tool bar are the bitmap menu's
// tests'.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Wnd.h"

namespace {

constexpr UINT WM_NESTED = WM_APP + 1, WM_INNER = WM_APP + 2, WM_THROW = WM_APP + 3;

// A window with typed handlers that records what reaches them and its default procedure.
class CRecordingWnd : public CWnd {
  public:
    std::string m_strHandled;      // what the last typed handler got, as text
    std::vector<UINT> m_defaults;  // messages that reached DefWindowProc, in order

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_defaults.push_back(message);
        return CWnd::DefWindowProc(message, wParam, lParam);
    }

  protected:
    void OnLButtonDown(UINT nFlags, POINT pt) { Record({nFlags, UINT(pt.x), UINT(pt.y)}); }
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) { Record({nChar, nRepCnt, nFlags}); }
    LRESULT OnNested(WPARAM, LPARAM) {
        ::SendMessageA(m_hWnd, WM_INNER, 0, 0);
        return Default();
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    // The handler's arguments as "a b c" (signed).
    void Record(std::vector<UINT> values) {
        m_strHandled.clear();
        for (UINT n : values) m_strHandled += std::to_string(int(n)) + " ";
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecordingWnd, CWnd)
ON_WM_LBUTTONDOWN()
ON_WM_KEYDOWN()
ON_MESSAGE(WM_NESTED, OnNested)
ON_MESSAGE(WM_THROW, OnThrow)
END_MESSAGE_MAP()

}  // namespace

TEST(Wnd, HandsMessagesToTypedHandlersAndBindsOnlyItsOwnWindows) {
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "wnd", WS_POPUP, RECT{50, 50, 250, 150}, nullptr, 0));
    const HWND hWnd = wnd.m_hWnd;
    EXPECT_TRUE(CWnd::FromHandle(hWnd) == &wnd && CWnd::FromHandlePermanent(hWnd) == &wnd);
    SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-5, 7));
    EXPECT_EQ(wnd.m_strHandled, "5 -5 7 ");
    SendMessageA(hWnd, WM_KEYDOWN, VK_F5, 0x00410003);
    EXPECT_EQ(wnd.m_strHandled, "116 3 65 ");
    // Default passes the message being handled, not one handled inside it.
    wnd.m_defaults.clear();
    SendMessageA(hWnd, WM_NESTED, 0, 0);
    EXPECT_EQ(wnd.m_defaults, (std::vector<UINT>{WM_INNER, WM_NESTED}));
    // A failing handler is contained at the window procedure.
    EXPECT_EQ(SendMessageA(hWnd, WM_THROW, 0, 0), 0);
    EXPECT_TRUE(wnd.DestroyWindow() && wnd.m_hWnd == nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    // A window made elsewhere gets one wrapper that is no bound object.
    HWND hForeign =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    CWnd* pWrapper = CWnd::FromHandle(hForeign);
    ASSERT_NE(pWrapper, nullptr);
    EXPECT_TRUE(CWnd::FromHandle(hForeign) == pWrapper && pWrapper->m_hWnd == hForeign);
    EXPECT_TRUE(CWnd::FromHandlePermanent(hForeign) == nullptr && !CWnd::FromHandle(nullptr));
    DestroyWindow(hForeign);
    CWnd::ForgetHandle(hForeign);
}

// A quit request during a modal loop (a menu's) ends the loop and stays queued for the host's
// own loop.
TEST(Wnd, QuitDuringAModalLoopStaysForTheThreadsLoop) {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "loop", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    PostQuitMessage(4);
    EXPECT_EQ(wnd.RunModalLoop(), -1);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
}
