// The support utilities: the system's version as the library's code for it, the trace log with
// the lines the application object writes at its start and exit, and the process finder in both
// of its modes, chosen by the system's version.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "core/velTrayLibApp.h"
#include "framework/ModuleState.h"
#include "util/OsInfo.h"
#include "util/ProcessFinder.h"
#include "util/TraceLog.h"

namespace {

// The version the system reports while a test bends GetVersionExA to it.
OSVERSIONINFOA g_version = {};
BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOA pVersion) {
    const DWORD nSize = pVersion->dwOSVersionInfoSize;
    memcpy(pVersion, &g_version, sizeof g_version);
    pVersion->dwOSVersionInfoSize = nSize;
    return TRUE;
}

// The names this program's code looked up with GetProcAddress while a test bends it.
std::vector<std::string> g_lookups;
decltype(&GetProcAddress) g_pfnGetProcAddress = nullptr;
FARPROC WINAPI RecordingGetProcAddress(HMODULE hModule, LPCSTR pszName) {
    if (HIWORD(pszName) != 0) g_lookups.push_back(pszName);
    return g_pfnGetProcAddress(hModule, pszName);
}

// Lines the test sink received, and what it answers.
std::vector<std::string> g_lines;
StatusWord g_nSinkResult = 0;
StatusWord KeepLine(const CStrBuf& line) {
    g_lines.emplace_back(line.CStr(), line.Length());
    return g_nSinkResult;
}

}  // namespace

TEST(OsInfo, MapsEveryVersionToItsCode) {
    CImportPatch patch(nullptr, "kernel32.dll", "GetVersionExA",
                       reinterpret_cast<void*>(&FakeGetVersionEx));
    ASSERT_TRUE(patch.IsActive());
    const struct {
        DWORD nPlatform, nMajor, nMinor;
        const char* pszServicePack;
        DWORD nCode;
    } rows[] = {
        {1, 4, 0, "", 1},   {1, 4, 10, "", 2},   {1, 4, 10, " B", 2}, {1, 4, 10, " A", 3},
        {1, 4, 10, "A", 2}, {1, 4, 90, " A", 4}, {1, 4, 3, "", 0},    {1, 3, 0, "", 0},
        {1, 5, 0, "", 0},   {2, 3, 51, "", 5},   {2, 4, 0, "", 5},    {2, 4, 90, "", 5},
        {2, 5, 0, "", 6},   {2, 5, 1, "", 7},    {2, 5, 2, "", 0},    {2, 6, 0, "", 8},
        {2, 6, 1, "", 9},   {2, 6, 2, "", 10},   {2, 6, 3, "", 11},   {2, 6, 4, "", 0},
        {2, 10, 0, "", 0},  {0, 4, 0, "", 0},    {3, 4, 0, "", 0},    {2, 7, 0, "", 0},
    };
    for (const auto& row : rows) {
        g_version = {sizeof g_version, row.nMajor, row.nMinor, 0, row.nPlatform, {}};
        strcpy(g_version.szCSDVersion, row.pszServicePack);
        const COsInfo* pInfo = g_osInfo.GetOsInfo();
        ASSERT_EQ(pInfo, &g_osInfo);
        EXPECT_EQ(std::vector<DWORD>({pInfo->m_nOsCode, pInfo->m_nMajor, pInfo->m_nMinor}),
                  std::vector<DWORD>({row.nCode, row.nMajor, row.nMinor}))
            << row.nPlatform << " " << row.nMajor << "." << row.nMinor << " '" << row.pszServicePack
            << "'";
    }
}

TEST(TraceLog, WritesLinesAndNumbersToTheSink) {
    g_lines.clear();
    g_nSinkResult = 0;
    const TraceSink pfnPrevious = g_traceLog.SetSink(KeepLine);
    EXPECT_EQ(g_traceLog.IsEnabled(), ST_OK);
    EXPECT_EQ(
        g_traceLog.WriteNumber("Failed to retrieve MenuItemInfo LastError == %x", 0x57, 16, 8), 0);
    EXPECT_FALSE(g_traceLog.IsLineEnded());
    EXPECT_EQ(g_traceLog.WriteLine("ProcessFind: NTOS: bad psapi dll"), 0);
    EXPECT_TRUE(g_traceLog.IsLineEnded());
    EXPECT_EQ(g_traceLog.WriteNumber("n=", -2, 16, 4), 0);
    g_nSinkResult = 5;
    EXPECT_EQ(g_traceLog.WriteNumber("n=", 42, 10, 0), 5);
    EXPECT_EQ(g_traceLog.WriteLine(""), 5);
    g_nSinkResult = 0;
    // The framework hands the module to the application object, which traces start and exit.
    EXPECT_TRUE(AfxDllAttach(GetModuleHandleA(nullptr)));
    EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleA(nullptr));
    AfxDllDetach();
    const std::vector<std::string> expected = {
        "Failed to retrieve MenuItemInfo LastError == %x00000057",
        "ProcessFind: NTOS: bad psapi dll\r\n",
        "n=fffffffe",
        "n=42",
        "\r\n",
        "InitInstance Tessaroth Tray\r\n",
        "ExitInstance Tessaroth Tray\r\n"};
    EXPECT_EQ(g_lines, expected);
    // Back to the library's sink: nothing arrives here any more and the result is 0.
    EXPECT_EQ(g_traceLog.SetSink(pfnPrevious), KeepLine);
    EXPECT_EQ(g_traceLog.WriteLine("InitInstance Tessaroth Tray"), 0);
    EXPECT_EQ(g_lines.size(), expected.size());
}

TEST(ProcessFind, FindsTheStandInInAnyCaseFromAnyFolderUntilItEnds) {
    // A copy of the SEM stand-in in a folder of its own, its file name in another case.
    TempFolder folder;
    ASSERT_TRUE(folder.Copy("velSEMx.exe", "VelSemX.EXE"));
    // Windows NT 4.0 lists processes with the process-status library, later systems with a
    // snapshot; the two modes must agree.
    CImportPatch version(nullptr, "kernel32.dll", "GetVersionExA",
                         reinterpret_cast<void*>(&FakeGetVersionEx));
    CImportPatch lookup(nullptr, "kernel32.dll", "GetProcAddress",
                        reinterpret_cast<void*>(&RecordingGetProcAddress));
    ASSERT_TRUE(version.IsActive() && lookup.IsActive());
    g_pfnGetProcAddress = reinterpret_cast<decltype(g_pfnGetProcAddress)>(lookup.Original());
    const auto find = [](const char* pszName, bool bNT4) {
        g_version = {
            sizeof g_version, bNT4 ? 4u : 5u, bNT4 ? 0u : 1u, 0, VER_PLATFORM_WIN32_NT, {}};
        g_lookups.clear();
        DWORD nProcessId = 0;
        const int nFound = CProcessFind().Find(nProcessId, pszName);
        EXPECT_EQ(std::count(g_lookups.begin(), g_lookups.end(),
                             bNT4 ? "EnumProcesses" : "CreateToolhelp32Snapshot"),
                  1);
        return nFound * nProcessId;
    };
    std::unique_ptr<CProcessFind> pBefore(new CProcessFind(false));
    std::unique_ptr<SemStandIn> pStandIn(new SemStandIn(folder("VelSemX.EXE").c_str(), true));
    ASSERT_TRUE(pStandIn->Started());
    DWORD nProcessId = 0;
    EXPECT_EQ(pBefore->Find(nProcessId, "velSEMx.exe"), 0) << "the snapshot is taken before";
    for (const bool bNT4 : {false, true}) {
        const DWORD nFound = find("velSEMx.exe", bNT4);
        EXPECT_NE(nFound, 0u);
        EXPECT_EQ(find("VELSEMX.EXE", bNT4), nFound);
        for (const char* pszName : {"velSEMm.exe", "velSEMx", "elSEMx.exe", ""})
            EXPECT_EQ(find(pszName, bNT4), 0u) << pszName;
    }
    pStandIn.reset();
    EXPECT_TRUE(PumpUntil(
        [&] { return find("velSEMx.exe", false) == 0 && find("velSEMx.exe", true) == 0; }, 5000));
}
