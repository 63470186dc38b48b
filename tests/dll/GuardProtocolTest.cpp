// The guard protocol of the exports, seen from a host: results, the busy flag left clear on
// every path (a following velStopTray does not wait), calls after the stop ignored, and
// hostile text pointers contained: a call with one does nothing at all.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

// A velStopTray that waited for a busy flag takes 3 s; one that did not, far less.
constexpr DWORD kNoWaitMs = 1500;

// Each test gets a freshly loaded library: the stop is for good within one load.
class Exports : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api.Load());
        shell.reset(new ShellRecorder(api.hModule));
    }
    void TearDown() override {
        shell.reset();
        api.Unload();
    }

    // True when velStopTray came back without waiting for a busy flag.
    bool StopsWithoutWaiting() {
        const DWORD nStart = GetTickCount();
        EXPECT_EQ(api.velStopTray(), 0u);
        return GetTickCount() - nStart < kNoWaitMs;
    }

    // The results of every export but the two tray ones, called with a reader and a text.
    std::vector<DWORD> CallEveryIconExport(LPCSTR pszReader, LPCSTR pszText) {
        return {api.velAddChipTray(pszReader, 1),
                api.velCardAbsent(pszReader, 1),
                api.velCardPresent(pszReader, 1),
                api.velCardIdentify(pszReader, 1),
                api.velCardIdentified(pszReader, pszText, 0, 0, 1),
                api.velCardUnknown(pszReader, 1),
                api.velCardActive(pszReader, 1),
                api.velHideChipIcon(pszReader),
                api.velAddChipMenuItem(pszReader, 4000, 5),
                api.velAddSEMMenuItem(4000, 6),
                api.velShowInformation(5424),
                api.velHideInformation(),
                api.velMMVAlert(pszText, pszText, 0),
                api.velStartSEMRotation(),
                api.velStopSEMRotation(),
                api.velSetDsgnColors(0xFFFFFFFF, 0x00123456)};
    }

    VelTrayApi api;
    std::unique_ptr<ShellRecorder> shell;
};

const std::vector<DWORD> kAllZero(16, 0);

}  // namespace

TEST_F(Exports, ResultsAndTheBusyFlagOnEveryPath) {
    EXPECT_EQ(api.velStartTray(nullptr, TRUE), 0u);
    EXPECT_EQ(api.velStartTray(nullptr, FALSE), 0u);  // a second start is harmless
    EXPECT_EQ(CallEveryIconExport("Reader A", "Some information"), kAllZero);
    EXPECT_EQ(CallEveryIconExport(nullptr, nullptr), kAllZero);
    EXPECT_TRUE(StopsWithoutWaiting());
    // After the stop nothing runs: even a start returns 0 at once, and nothing reaches the
    // shell.
    shell->Take();
    EXPECT_EQ(api.velStartTray(nullptr, TRUE), 0u);
    EXPECT_EQ(CallEveryIconExport("Reader A", "text"), kAllZero);
    EXPECT_TRUE(shell->Take().empty());
    EXPECT_TRUE(StopsWithoutWaiting());
}

TEST_F(Exports, UnreadableTextsDoNothing) {
    // Pointers that cannot be read: a small number, a kernel address and a string that
    // runs without terminator into an inaccessible page.
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    auto* pPages = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pPages, nullptr);
    DWORD dwOld = 0;
    ASSERT_TRUE(VirtualProtect(pPages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &dwOld));
    memset(pPages, 'x', si.dwPageSize);
    const LPCSTR hostile[] = {reinterpret_cast<LPCSTR>(1), reinterpret_cast<LPCSTR>(0xFFFF0000),
                              pPages + si.dwPageSize - 8, pPages + si.dwPageSize};
    ASSERT_EQ(api.velCardPresent("Reader A", 1), 0u);
    for (LPCSTR pszHostile : hostile) {
        shell->Take();
        const std::vector<DWORD> results = {api.velCardPresent(pszHostile, 1),
                                            api.velCardAbsent(pszHostile, 1),
                                            api.velHideChipIcon(pszHostile),
                                            api.velCardIdentified("Reader A", pszHostile, 0, 0, 1),
                                            api.velMMVAlert(pszHostile, "text", 0),
                                            api.velMMVAlert("tip", pszHostile, 0)};
        EXPECT_EQ(results, std::vector<DWORD>(results.size(), 0));
        EXPECT_TRUE(shell->Take().empty());
    }
    VirtualFree(pPages, 0, MEM_RELEASE);
    // The library is still whole: a long and a non-ASCII reader name work.
    const std::string longName(64 * 1024, 'R');
    EXPECT_EQ(CallEveryIconExport(longName.c_str(), "\xC4rger \xFC\xDF"), kAllZero);
    EXPECT_EQ(CallEveryIconExport("Leser \xC4\xD6\xDC", longName.c_str()), kAllZero);
    EXPECT_FALSE(shell->Take().empty());
    EXPECT_TRUE(StopsWithoutWaiting());
}
