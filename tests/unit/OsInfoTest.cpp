// The system's version as the library's code for it; the trace log's lines and numbers,
// among them those the application object writes at its start and exit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/velTrayLibApp.h"
#include "framework/ModuleState.h"
#include "util/OsInfo.h"
#include "util/TraceLog.h"

namespace {

// Lines the test sink received, and what it answers.
std::vector<std::string> g_lines;
StatusWord g_nSinkResult = 0;

StatusWord KeepLine(const CStrBuf& line) {
    g_lines.emplace_back(line.CStr(), line.Length());
    return g_nSinkResult;
}

}  // namespace

TEST(OsInfo, MapsEveryVersionToItsCode) {
    struct Row {
        DWORD nPlatform, nMajor, nMinor;
        const char* pszServicePack;
        DWORD nCode;
    };
    const Row rows[] = {
        {1, 4, 0, "", 1},   {1, 4, 10, "", 2},   {1, 4, 10, " B", 2}, {1, 4, 10, " A", 3},
        {1, 4, 10, "A", 2}, {1, 4, 90, " A", 4}, {1, 4, 3, "", 0},    {1, 3, 0, "", 0},
        {1, 5, 0, "", 0},   {2, 3, 51, "", 5},   {2, 4, 0, "", 5},    {2, 4, 90, "", 5},
        {2, 5, 0, "", 6},   {2, 5, 1, "", 7},    {2, 5, 2, "", 0},    {2, 6, 0, "", 8},
        {2, 6, 1, "", 9},   {2, 6, 2, "", 10},   {2, 6, 3, "", 11},   {2, 6, 4, "", 0},
        {2, 10, 0, "", 0},  {0, 4, 0, "", 0},    {3, 4, 0, "", 0},    {2, 7, 0, "", 0},
    };
    for (const Row& row : rows) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        version.dwPlatformId = row.nPlatform;
        version.dwMajorVersion = row.nMajor;
        version.dwMinorVersion = row.nMinor;
        strcpy(version.szCSDVersion, row.pszServicePack);
        EXPECT_EQ(COsInfo::OsCodeOf(version), row.nCode)
            << row.nPlatform << " " << row.nMajor << "." << row.nMinor << " '" << row.pszServicePack
            << "'";
    }

    // The running system is described by the system's own numbers.
    COsInfo* pInfo = g_osInfo.GetOsInfo();
    ASSERT_EQ(pInfo, &g_osInfo);
    const DWORD nVersion = GetVersion();
    EXPECT_EQ(pInfo->m_nMajor, static_cast<DWORD>(LOBYTE(LOWORD(nVersion))));
    EXPECT_EQ(pInfo->m_nMinor, static_cast<DWORD>(HIBYTE(LOWORD(nVersion))));
    EXPECT_EQ(pInfo->m_nOsCode,
              COsInfo::OsCodeOf(*reinterpret_cast<const OSVERSIONINFOA*>(&pInfo->m_version)));
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
        "ExitInstance Tessaroth Tray\r\n",
    };
    EXPECT_EQ(g_lines, expected);

    // Back to the library's sink: nothing arrives here any more and the result is 0.
    EXPECT_EQ(g_traceLog.SetSink(pfnPrevious), KeepLine);
    EXPECT_EQ(g_traceLog.WriteLine("InitInstance Tessaroth Tray"), 0);
    EXPECT_EQ(g_lines.size(), expected.size());
}
