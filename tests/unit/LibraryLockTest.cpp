// The library lock: a waiter keeps answering messages sent to its windows, and
// a stop requested while someone holds the lock is carried out when it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "core/LibraryLock.h"
#include "core/velTrayLibMgr.h"

TEST(LibraryLock, AWaiterAnswersMessagesSentByTheHolder) {
    CLibraryLock lock;
    ASSERT_TRUE(lock.Acquire(INFINITE));
    // The holder sends a message to a window of a thread that waits for the lock.
    std::atomic<HWND> hWaiterWnd{nullptr};
    std::atomic<bool> bAcquired{false};
    std::thread waiter([&] {
        HWND hWnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                    nullptr);
        hWaiterWnd = hWnd;
        bAcquired = lock.Acquire(INFINITE);
        lock.Release();
        DestroyWindow(hWnd);
    });
    while (hWaiterWnd == nullptr) Sleep(1);
    Sleep(50);  // the waiter is blocked in Acquire by now
    DWORD_PTR nResult = 0;
    EXPECT_NE(SendMessageTimeoutA(hWaiterWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x"),
                                  SMTO_NORMAL, 5000, &nResult),
              0);
    lock.Release();
    waiter.join();
    EXPECT_TRUE(bAcquired);
}

TEST(LibraryLock, TimesOutAndStopsWhenTheHolderLeaves) {
    CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
    mgr.GetChipIcon("lock test reader", 1);
    ASSERT_GT(mgr.GetReaderCount(), 0u);
    std::atomic<bool> bHolding{false};
    std::atomic<bool> bLeave{false};
    std::thread holder([&] {
        CLibraryLock::CScope scope(g_libraryLock);
        bHolding = true;
        while (!bLeave) Sleep(5);
    });
    while (!bHolding) Sleep(1);
    const DWORD nStart = GetTickCount();
    g_libraryLock.RequestStop(100);
    EXPECT_LT(GetTickCount() - nStart, 1000u);
    EXPECT_FALSE(g_libraryLock.Acquire(50));
    // Still held: nothing was destroyed under the holder.
    EXPECT_GT(mgr.GetReaderCount(), 0u);
    bLeave = true;
    holder.join();
    EXPECT_EQ(mgr.GetReaderCount(), 0u);
}

TEST(LibraryLock, TheOutermostScopeCarriesOutADeferredStop) {
    CvelTrayLibMgr& mgr = CvelTrayLibMgr::Instance();
    {
        CLibraryLock::CScope outer(g_libraryLock);
        mgr.GetChipIcon("deferred reader", 1);
        {
            CLibraryLock::CScope inner(g_libraryLock);
            g_libraryLock.DeferStop();
        }
        EXPECT_GT(mgr.GetReaderCount(), 0u);
    }
    EXPECT_EQ(mgr.GetReaderCount(), 0u);
}

TEST(LibraryLock, ALockLeftByAnEndedThreadIsTakenOver) {
    CLibraryLock lock;
    std::thread([&] { EXPECT_TRUE(lock.Acquire(INFINITE)); }).join();
    // Its owner is gone without leaving it; waiters are not shut out for ever.
    EXPECT_TRUE(lock.Acquire(2000));
    EXPECT_TRUE(lock.Acquire(0)) << "taken again by its owner";
    lock.Release();
    lock.Release();
    // Left by its owner: another thread takes it at once.
    bool bTaken = false;
    std::thread([&] {
        bTaken = lock.Acquire(0);
        if (bTaken) lock.Release();
    }).join();
    EXPECT_TRUE(bTaken);
}
