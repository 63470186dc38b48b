// The guard of the exports from inside: the stop waiting for a busy call, the containment of
// failures, and the readability check of host texts. Calls after the stop: the DLL tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "exports/ExportGuard.h"
#include "framework/ModuleState.h"
#include "util/ReadableText.h"
#include "velTrayLib.h"

TEST(Guard, RunGuardedContainsFailuresAndClearsTheBusyFlag) {
    bool bSawBusy = false;
    EXPECT_EQ(RunGuarded([&] { bSawBusy = g_bBusy != 0; }), 0u);
    EXPECT_TRUE(bSawBusy);
    EXPECT_EQ(g_bBusy, 0);
    EXPECT_EQ(RunGuarded([] { throw std::runtime_error("x"); }, VEL_RESULT_FAIL), VEL_RESULT_FAIL);
    EXPECT_EQ(RunGuarded([] { throw 42; }), 0u);
    EXPECT_EQ(g_bBusy, 0);
    // The library's module state is current inside and restored after.
    AFX_MODULE_STATE other = {};
    AFX_MAINTAIN_STATE2 outer(&other);
    AFX_MODULE_STATE* pInside = nullptr;
    RunGuarded([&] { pInside = AfxGetModuleState(); });
    EXPECT_EQ(pInside, AfxGetStaticModuleState());
    EXPECT_EQ(AfxGetModuleState(), &other);
}

// velStopTray waits for a busy call until it leaves, for 2 s at least, but not for ever. A call
// that waited for the tray's lock meanwhile runs nothing once it has the lock.
TEST(Guard, StopWaitsForABusyCallButNotForEver) {
    std::atomic<bool> bLeaving{false}, bRan{false};
    g_bBusy = 1;
    std::thread busy([&] {
        Sleep(2000);
        bLeaving = true;
        g_bBusy = 0;
    });
    EXPECT_EQ(velStopTray(), 0u);
    EXPECT_TRUE(bLeaving) << "the stop did not wait for the busy call";
    busy.join();
    g_bStopping = 0;
    std::thread late;
    {
        CScopedLock lock(CvelTrayLibMgr::Instance().GetLock());
        late = std::thread([&] { RunGuarded([&] { bRan = true; }); });
        while (g_bBusy == 0) Sleep(1);
        const DWORD nStart = GetTickCount();
        EXPECT_EQ(velStopTray(), 0u);
        EXPECT_LT(GetTickCount() - nStart, 5000u);
    }
    late.join();
    EXPECT_FALSE(bRan);
    g_bStopping = 0;  // loaded again for the other tests
}

TEST(ReadableText, FindsTheTerminatorOnlyInReadableMemory) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const DWORD nPage = si.dwPageSize;
    auto* pPages = static_cast<char*>(
        VirtualAlloc(nullptr, 3 * nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pPages, nullptr);
    memset(pPages, 'a', 3 * nPage);
    // Page 0 read-only, page 1 writable, page 2 not readable: a text from page 0 may end at the
    // very end of page 1, but not run into page 2.
    pPages[2 * nPage - 1] = '\0';
    DWORD dwOld = 0;
    ASSERT_TRUE(VirtualProtect(pPages, nPage, PAGE_READONLY, &dwOld));
    ASSERT_TRUE(VirtualProtect(pPages + 2 * nPage, nPage, PAGE_NOACCESS, &dwOld));
    EXPECT_TRUE(IsReadableText(pPages));
    pPages[2 * nPage - 1] = 'a';
    EXPECT_FALSE(IsReadableText(pPages + nPage));
    // A guard page.
    ASSERT_TRUE(VirtualProtect(pPages, nPage, PAGE_READWRITE | PAGE_GUARD, &dwOld));
    EXPECT_FALSE(IsReadableText(pPages + 10));
    VirtualFree(pPages, 0, MEM_RELEASE);
    EXPECT_TRUE(IsReadableText(nullptr) && IsReadableText(""));
}
