// The guard of the exports from inside: the stop waiting for a busy call, the
// containment of failures, and the readability check of host texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "exports/ExportGuard.h"
#include "framework/ModuleState.h"
#include "util/ReadableText.h"
#include "velTrayLib.h"

namespace {

// Puts the process back into the loaded state after a test stopped the tray.
class GuardTest : public ::testing::Test {
  protected:
    void TearDown() override {
        g_bBusy = 0;
        g_bStopping = 0;
    }
};

}  // namespace

TEST_F(GuardTest, RunGuardedContainsFailuresAndClearsTheBusyFlag) {
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

TEST_F(GuardTest, StoppedLibraryRunsNothing) {
    g_bStopping = 1;
    bool bRan = false;
    EXPECT_EQ(RunGuarded([&] { bRan = true; }, VEL_RESULT_FAIL), 0u);
    EXPECT_FALSE(bRan);
    EXPECT_EQ(g_bBusy, 0);
    EXPECT_EQ(velStartTray(nullptr, TRUE), 0u);
}

// velStopTray waits for a busy call: until it leaves, or about 3 s when it never does.
TEST_F(GuardTest, StopWaitsForABusyCallButNotForEver) {
    for (const bool bLeaves : {true, false}) {
        g_bStopping = 0;
        std::atomic<bool> bRelease{false};
        std::atomic<bool> bLeft{false};
        std::thread busy([&] {
            g_bBusy = 1;
            if (bLeaves) Sleep(350);
            while (!bLeaves && !bRelease) Sleep(10);
            g_bBusy = 0;
            bLeft = true;
        });
        while (g_bBusy == 0) Sleep(1);
        const DWORD nStart = GetTickCount();
        EXPECT_EQ(velStopTray(), 0u);
        const DWORD nWaited = GetTickCount() - nStart;
        const bool bLeftBeforeStop = bLeft;
        bRelease = true;
        busy.join();
        EXPECT_EQ(g_bStopping, 1);
        if (bLeaves) {
            EXPECT_TRUE(bLeftBeforeStop) << "the stop did not wait for the busy call";
        } else {
            EXPECT_FALSE(bLeftBeforeStop);
            EXPECT_GE(nWaited, 2900u);
        }
    }
}

TEST(ReadableText, FindsTheTerminatorOnlyInReadableMemory) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const DWORD nPage = si.dwPageSize;
    auto* pPages = static_cast<char*>(
        VirtualAlloc(nullptr, 3 * nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pPages, nullptr);
    memset(pPages, 'a', 3 * nPage);
    DWORD dwOld = 0;
    // Page 0 and 1 readable, page 2 not: a text that ends at the very end of page 1
    // is fine, one that runs into page 2 is not.
    ASSERT_TRUE(VirtualProtect(pPages + 2 * nPage, nPage, PAGE_NOACCESS, &dwOld));
    pPages[2 * nPage - 1] = '\0';
    EXPECT_TRUE(IsReadableText(pPages));  // crosses from page 0 into page 1
    pPages[2 * nPage - 1] = 'a';
    EXPECT_FALSE(IsReadableText(pPages));
    EXPECT_FALSE(IsReadableText(pPages + 2 * nPage));
    // A read-only page and a guard page.
    pPages[nPage - 1] = '\0';
    ASSERT_TRUE(VirtualProtect(pPages, nPage, PAGE_READONLY, &dwOld));
    EXPECT_TRUE(IsReadableText(pPages + 10));
    ASSERT_TRUE(VirtualProtect(pPages, nPage, PAGE_READWRITE | PAGE_GUARD, &dwOld));
    EXPECT_FALSE(IsReadableText(pPages + 10));
    VirtualFree(pPages, 0, MEM_RELEASE);
    EXPECT_FALSE(IsReadableText(pPages));  // released
    EXPECT_FALSE(IsReadableText(reinterpret_cast<const char*>(1)));
    EXPECT_TRUE(IsReadableText(nullptr));
    EXPECT_TRUE(IsReadableText(""));
}
