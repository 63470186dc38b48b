// An object whose window is answering a message on its own thread is not destroyed
// under it by another thread: the destroying thread waits until the answer is given.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "core/NotifyWnd.h"
#include "core/WndRegistry.h"

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

    int m_nCanary;                          // zeroed by the destructor
    static std::atomic<bool> s_bInside;     // the slow answer is running
    static std::atomic<int> s_nCanarySeen;  // the member as the answer read it at its end
};

std::atomic<bool> CSlowWnd::s_bInside{false};
std::atomic<int> CSlowWnd::s_nCanarySeen{0};

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
        MSG msg;
        const DWORD nStart = GetTickCount();
        while ((!bDestroyed || IsWindow(hWnd)) && GetTickCount() - nStart < 5000) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(1);
        }
        bWindowWent = !IsWindow(hWnd);
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
