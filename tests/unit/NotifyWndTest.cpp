// The library's hidden notification windows: one window class whose procedure hands each
// message to the window's own object through the registry, nothing to one destroyed, and no
// object destroyed by another thread while its window is answering on its own thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "DesktopUser.h"
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
    const HWND hFirst = first.m_hWnd, hSecond = pSecond->m_hWnd;
    ASSERT_TRUE(hFirst != nullptr && hSecond != nullptr);
    EXPECT_EQ(g_wndRegistry.Count(), nBefore + 2);
    EXPECT_FALSE(IsWindowVisible(hFirst));
    char szClass[32] = {};
    GetClassNameA(hSecond, szClass, sizeof(szClass));
    EXPECT_STREQ(szClass, "SC_WND");
    // Each object answers its own window. Every other message, and every message to a window of
    // the class that was never entered in the registry, get the base answer 1, never the
    // system's default handling.
    const HWND hStranger = CreateWindowExA(0, "SC_WND", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                           GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(std::vector<LRESULT>({SendMessageA(hFirst, kTestMessage, 5, 0),
                                    SendMessageA(hSecond, kTestMessage, 6, 0),
                                    SendMessageA(hStranger, kTestMessage, 9, 0),
                                    SendMessageA(hFirst, WM_GETTEXTLENGTH, 0, 0)}),
              std::vector<LRESULT>({1005, 2006, 1, 1}));
    EXPECT_EQ(first.m_received, std::vector<WPARAM>{5});
    EXPECT_EQ(pSecond->m_received, std::vector<WPARAM>{6});
    DestroyWindow(hStranger);

    // A destroyed object takes its window and its entry with it; the other one stays.
    delete pSecond;
    EXPECT_TRUE(!IsWindow(hSecond) && g_wndRegistry.Find(hSecond) == nullptr);
    EXPECT_EQ(g_wndRegistry.Count(), nBefore + 1);
    EXPECT_EQ(SendMessageA(hFirst, kTestMessage, 1, 0), 1001);
}

namespace {

// Answers WM_NULL slowly, then reads its own member: freed memory would show there.
class CSlowWnd : public CNotifyWnd {
  public:
    CSlowWnd() : CNotifyWnd(GetModuleHandleA(nullptr)), m_nCanary(0x5EED) {}
    ~CSlowWnd() override {
        LeaveRegistry();
        m_nCanary = 0;
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_NULL) return CNotifyWnd::OnMessage(message, wParam, lParam);
        s_bInside = true;
        Sleep(300);
        s_nCanarySeen = m_nCanary;
        s_bInside = false;
        return 7;
    }

    int m_nCanary;                                     // zeroed by the destructor
    static inline std::atomic<bool> s_bInside{false};  // the slow answer is running
    static inline std::atomic<int> s_nCanarySeen{0};  // the member as the answer read it at its end
};

}  // namespace

TEST(WndDispatch, DestructionOnAnotherThreadWaitsForTheRunningAnswer) {
    CSlowWnd* pWnd = new CSlowWnd;
    std::atomic<bool> bDestroyed{false};
    LRESULT nAnswer = 0;
    HWND hWnd = nullptr;
    bool bWindowWent = false;
    std::thread windowThread([&] {
        pWnd->Create();
        hWnd = pWnd->m_hWnd;
        // The window's own thread answers a system message while the object is destroyed.
        nAnswer = SendMessageA(hWnd, WM_NULL, 0, 0);
        // Then the self-destroy request that the destructor posted takes the window away,
        // while this thread is still there to own it.
        bWindowWent = PumpUntil([&] { return bDestroyed && !IsWindow(hWnd); }, 5000);
    });
    while (!CSlowWnd::s_bInside) Sleep(1);
    delete pWnd;
    EXPECT_FALSE(CSlowWnd::s_bInside) << "the object was destroyed while it answered";
    bDestroyed = true;
    windowThread.join();
    EXPECT_EQ(nAnswer, 7);
    EXPECT_EQ(CSlowWnd::s_nCanarySeen, 0x5EED);
    EXPECT_EQ(g_wndRegistry.Find(hWnd), nullptr);
    EXPECT_TRUE(bWindowWent);
}
