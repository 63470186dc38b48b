// The guard protocol of the exports, seen from a host: hostile text pointers contained (a call
// with one does nothing at all), the busy flag left clear on that path too (a following
// velStopTray does not wait), and calls after the stop ignored.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "VelTrayApi.h"

TEST(Exports, UnreadableTextsAndCallsAfterTheStopDoNothing) {
    // Pointers that cannot be read: a small number, a kernel address and a string that runs
    // without terminator into an inaccessible page.
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
    VelTrayApi api;
    ASSERT_TRUE(api.Load());
    auto shell = std::make_unique<ShellRecorder>(api.hModule);
    EXPECT_EQ(api.velCardPresent("Reader A", 1), 0u);
    for (LPCSTR pszHostile : hostile) {
        shell->Take();
        EXPECT_EQ(api.velCardPresent(pszHostile, 1) + api.velCardAbsent(pszHostile, 1) +
                      api.velHideChipIcon(pszHostile) +
                      api.velCardIdentified("Reader A", pszHostile, 0, 0, 1) +
                      api.velMMVAlert(pszHostile, "text", 0) +
                      api.velMMVAlert("tip", pszHostile, 0),
                  0u);
        EXPECT_TRUE(shell->Take().empty());
    }
    VirtualFree(pPages, 0, MEM_RELEASE);
    // The library is still whole: a long and a non-ASCII reader name work.
    const std::string longName(64 * 1024, 'R');
    api.velCardPresent(longName.c_str(), 1);
    api.velCardIdentified("Leser \xC4\xD6\xDC", longName.c_str(), 0, 0, 1);
    const std::string added = "add MIT ? '" + longName.substr(0, 127) + "'";  // tooltips are cut
    EXPECT_EQ(Describe(shell->Take(), {}), (std::vector<std::string>{added, added}));
    // A velStopTray that waited for a busy flag takes 3 s; one that did not, far less.
    DWORD nStart = GetTickCount();
    EXPECT_EQ(api.velStopTray(), 0u);
    EXPECT_LT(GetTickCount() - nStart, 1500u);
    // After the stop nothing runs: even a start returns 0 at once, and nothing reaches the shell.
    shell->Take();
    nStart = GetTickCount();
    EXPECT_EQ(api.velStartTray(nullptr, TRUE) + api.velCardPresent("Reader B", 1) +
                  api.velAddChipTray("Reader A", 1) + api.velShowInformation(5424) +
                  api.velStartSEMRotation() + api.velStopTray(),
              0u);
    EXPECT_LT(GetTickCount() - nStart, 1500u);
    EXPECT_TRUE(shell->Take().empty());
    shell.reset();
    api.Unload();
}
