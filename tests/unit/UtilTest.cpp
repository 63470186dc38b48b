// The process finder in both of its modes, chosen by the system's version.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "util/OsInfo.h"
#include "util/ProcessFinder.h"

namespace {

// The version the system reports while a test bends GetVersionExA to it.
OSVERSIONINFOA g_version = {};
BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOA pVersion) {
    const DWORD nSize = pVersion->dwOSVersionInfoSize;
    memcpy(pVersion, &g_version, sizeof g_version);
    pVersion->dwOSVersionInfoSize = nSize;
    return TRUE;
}

// Whether this program's code looked up the process-status library's list of processes while a
// test bends GetProcAddress.
bool g_bPsapiLookedUp = false;
decltype(&GetProcAddress) g_pfnGetProcAddress = nullptr;
FARPROC WINAPI RecordingGetProcAddress(HMODULE hModule, LPCSTR pszName) {
    g_bPsapiLookedUp |= HIWORD(pszName) != 0 && strcmp(pszName, "EnumProcesses") == 0;
    return g_pfnGetProcAddress(hModule, pszName);
}

}  // namespace

TEST(ProcessFind, FindsTheStandInInAnyCaseFromAnyFolderUntilItEnds) {
    // A copy of the SEM stand-in in a folder of its own, its file name in another case.
    TempFolder folder;
    ASSERT_TRUE(folder.Copy("velSEMx.exe", "VelSemX.EXE"));
    // Windows NT 4.0 (and NT 3.51) lists processes with the process-status library, later systems
    // with a snapshot; the two modes must agree.
    CImportPatch version(nullptr, "kernel32.dll", "GetVersionExA",
                         reinterpret_cast<void*>(&FakeGetVersionEx));
    CImportPatch lookup(nullptr, "kernel32.dll", "GetProcAddress",
                        reinterpret_cast<void*>(&RecordingGetProcAddress));
    g_pfnGetProcAddress = reinterpret_cast<decltype(g_pfnGetProcAddress)>(lookup.Original());
    const auto find = [](const char* pszName, DWORD nMajor, DWORD nPlatform = 2) {
        g_version = {sizeof g_version, nMajor, nMajor == 3 ? 51u : nMajor - 4, 0, nPlatform, {}};
        g_bPsapiLookedUp = false;
        DWORD nProcessId = 0;
        const int nFound = CProcessFind().Find(nProcessId, pszName);
        EXPECT_EQ(g_osInfo.m_nMajor, nMajor);  // the menus' record size follows it
        EXPECT_EQ(g_bPsapiLookedUp, nMajor <= 4 && nPlatform == 2);
        return nFound * nProcessId;
    };
    std::unique_ptr<SemStandIn> pStandIn(new SemStandIn(folder("VelSemX.EXE").c_str(), true));
    ASSERT_TRUE(pStandIn->Started());
    const DWORD nFound = find("velSEMx.exe", 5);
    EXPECT_NE(nFound, 0u);
    for (const DWORD nMajor : {3u, 4u, 5u, 6u}) {
        EXPECT_EQ(find("VELSEMX.EXE", nMajor), nFound);
        for (const char* pszName : {"velSEMm.exe", "velSEMx", "elSEMx.exe", ""})
            EXPECT_EQ(find(pszName, nMajor), 0u) << pszName;
    }
    EXPECT_EQ(find("velSEMx.exe", 4, 1), nFound) << "Windows 98 takes the snapshot";
    pStandIn.reset();
    EXPECT_TRUE(PumpUntil(
        [&] { return find("velSEMx.exe", 5) == 0 && find("velSEMx.exe", 4) == 0; }, 5000));
}
