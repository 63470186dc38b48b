// The library's hidden notification windows: one window class whose procedure hands each
// message to the window's own object through the registry, and nothing to one destroyed.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/NotifyWnd.h"
#include "core/WndRegistry.h"

namespace {

constexpr UINT kTestMessage = WM_APP + 7;

// A hidden window that answers the test message with its own number plus wParam and keeps a
// log of the test messages it got.
class CNumberWnd : public CNotifyWnd {
  public:
    explicit CNumberWnd(LRESULT nNumber)
        : CNotifyWnd(GetModuleHandleA(nullptr)), m_nNumber(nNumber) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kTestMessage) return CNotifyWnd::OnMessage(message, wParam, lParam);
        m_received.push_back(wParam);
        return m_nNumber + static_cast<LRESULT>(wParam);
    }

    LRESULT m_nNumber;               // the number answered
    std::vector<WPARAM> m_received;  // wParam of each test message
};

}  // namespace

TEST(NotifyWnd, EachWindowReachesItsOwnObjectThroughTheOneClass) {
    const size_t nBefore = g_wndRegistry.Count();
    CNumberWnd first(1000);
    CNumberWnd* pSecond = new CNumberWnd(2000);
    first.Create();
    pSecond->Create();
    // The creation messages, sent before the registry knows the window, were answered 1: with
    // an answer of 0 to WM_NCCREATE no window would exist.
    ASSERT_NE(first.m_hWnd, nullptr);
    const HWND hSecond = pSecond->m_hWnd;
    ASSERT_NE(hSecond, nullptr);
    EXPECT_EQ(g_wndRegistry.Count(), nBefore + 2);
    EXPECT_FALSE(IsWindowVisible(first.m_hWnd));
    char szClass[32] = {};
    GetClassNameA(hSecond, szClass, sizeof(szClass));
    EXPECT_STREQ(szClass, "SC_WND");

    EXPECT_EQ(SendMessageA(first.m_hWnd, kTestMessage, 5, 0), 1005);
    EXPECT_EQ(SendMessageA(hSecond, kTestMessage, 6, 0), 2006);
    EXPECT_EQ(first.m_received, std::vector<WPARAM>{5});
    EXPECT_EQ(pSecond->m_received, std::vector<WPARAM>{6});
    // Every other message gets the base answer 1, never the system's default handling.
    EXPECT_EQ(SendMessageA(first.m_hWnd, WM_GETTEXTLENGTH, 0, 0), 1);

    // A window of the class that was never entered in the registry is answered 1 as well.
    const HWND hStranger = CreateWindowExA(0, "SC_WND", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                           GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hStranger, nullptr);
    EXPECT_EQ(SendMessageA(hStranger, kTestMessage, 9, 0), 1);
    EXPECT_EQ(first.m_received.size() + pSecond->m_received.size(), 2u);
    DestroyWindow(hStranger);

    // A destroyed object takes its window and its entry with it; the other one stays.
    delete pSecond;
    EXPECT_FALSE(IsWindow(hSecond));
    EXPECT_EQ(g_wndRegistry.Find(hSecond), nullptr);
    EXPECT_EQ(g_wndRegistry.Count(), nBefore + 1);
    EXPECT_EQ(SendMessageA(first.m_hWnd, kTestMessage, 1, 0), 1001);
}
