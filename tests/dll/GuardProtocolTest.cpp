// The guard protocol of the exports, seen from a host: results, the busy flag
// left clear on every path (a following velStopTray does not wait), calls after
// the stop ignored, and hostile text pointers contained.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "VelTrayApi.h"

namespace {

constexpr DWORD kStartFailed = 0x10090000;
// A velStopTray that waited for a busy flag takes 3 s; one that did not, far less.
constexpr DWORD kNoWaitMs = 1500;

// Each test gets a freshly loaded library: the stop is for good within one load.
class Exports : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(api.Load()); }
    void TearDown() override { api.Unload(); }

    // True when velStopTray came back without waiting for a busy flag.
    bool StopsWithoutWaiting() {
        const DWORD nStart = GetTickCount();
        EXPECT_EQ(api.velStopTray(), 0u);
        return GetTickCount() - nStart < kNoWaitMs;
    }

    // Calls every export except the two tray ones with the given reader and texts.
    void CallEveryIconExport(LPCSTR pszReader, LPCSTR pszText) {
        EXPECT_EQ(api.velAddChipTray(pszReader, 1), 0u);
        EXPECT_EQ(api.velCardAbsent(pszReader, 1), 0u);
        EXPECT_EQ(api.velCardPresent(pszReader, 1), 0u);
        EXPECT_EQ(api.velCardIdentify(pszReader, 1), 0u);
        EXPECT_EQ(api.velCardIdentified(pszReader, pszText, 0, 0, 1), 0u);
        EXPECT_EQ(api.velCardUnknown(pszReader, 1), 0u);
        EXPECT_EQ(api.velCardActive(pszReader, 1), 0u);
        EXPECT_EQ(api.velHideChipIcon(pszReader), 0u);
        EXPECT_EQ(api.velAddChipMenuItem(pszReader, 4000, 5), 0u);
        EXPECT_EQ(api.velAddSEMMenuItem(4000, 6), 0u);
        EXPECT_EQ(api.velShowInformation(5424), 0u);
        EXPECT_EQ(api.velHideInformation(), 0u);
        EXPECT_EQ(api.velMMVAlert(pszText, pszText, 0), 0u);
        EXPECT_EQ(api.velStartSEMRotation(), 0u);
        EXPECT_EQ(api.velStopSEMRotation(), 0u);
        EXPECT_EQ(api.velSetDsgnColors(0xFFFFFFFF, 0x00123456), 0u);
    }

    VelTrayApi api;
};

}  // namespace

TEST_F(Exports, EveryExportReturnsZeroAndLeavesTheBusyFlagClear) {
    CallEveryIconExport("Reader A", "Some information");
    CallEveryIconExport(nullptr, nullptr);
    EXPECT_TRUE(StopsWithoutWaiting());
}

TEST_F(Exports, StartSucceedsWithTheDesignComponentBesideTheDll) {
    EXPECT_EQ(api.velStartTray(nullptr, TRUE), 0u);
    EXPECT_EQ(api.velStartTray(nullptr, FALSE), 0u);  // a second start is harmless
    EXPECT_TRUE(StopsWithoutWaiting());
}

TEST(ExportsAlone, StartFailsWithoutDesignPicturesAndMayBeRetried) {
    // The DLL alone in a folder: no design component, so the SEM pictures are
    // missing. The start fails, leaves the busy flag clear and a later start tries
    // again; the library goes on working.
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string folder =
        std::string(szTemp) + "velTrayAlone" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string dll = folder + "velTrayLib.dll";
    ASSERT_TRUE(
        CopyFileA((VelTrayApi::ProgramFolder() + "velTrayLib.dll").c_str(), dll.c_str(), FALSE));
    VelTrayApi api;
    ASSERT_TRUE(api.Load(dll));
    EXPECT_EQ(api.velStartTray(nullptr, TRUE), kStartFailed);
    EXPECT_EQ(api.velStartTray(nullptr, FALSE), kStartFailed);
    EXPECT_EQ(api.velCardPresent("Reader", 1), 0u);
    const DWORD nStart = GetTickCount();
    EXPECT_EQ(api.velStopTray(), 0u);
    EXPECT_LT(GetTickCount() - nStart, kNoWaitMs);
    api.Unload();
    DeleteFileA(dll.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(Exports, CallsAfterTheStopAreIgnored) {
    EXPECT_TRUE(StopsWithoutWaiting());
    // Even a start that would fail now returns 0 at once: nothing runs any more.
    EXPECT_EQ(api.velStartTray(nullptr, TRUE), 0u);
    CallEveryIconExport("Reader A", "text");
    EXPECT_TRUE(StopsWithoutWaiting());
}

TEST_F(Exports, UnreadableTextsAreContained) {
    // Pointers that cannot be read: a small number, freed memory and a string that
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
    for (LPCSTR pszHostile : hostile) {
        CallEveryIconExport(pszHostile, pszHostile);
        CallEveryIconExport("Reader A", pszHostile);
    }
    VirtualFree(pPages, 0, MEM_RELEASE);
    // The library is still whole: a long and a non-ASCII reader name work.
    const std::string longName(64 * 1024, 'R');
    CallEveryIconExport(longName.c_str(), "\xC4rger \xFC\xDF");
    CallEveryIconExport("Leser \xC4\xD6\xDC", longName.c_str());
    EXPECT_TRUE(StopsWithoutWaiting());
}
