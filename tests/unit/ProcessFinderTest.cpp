// Finding a running program by its file name, by the snapshot and by the process-status
// library alike: any case and any folder count, a part of the name does not.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "util/ProcessFinder.h"

namespace {

// Find's answer for the name in both modes; the ids found must agree.
int FindInBothModes(const char* pszName, DWORD& nProcessId) {
    DWORD nSnapshotId = 0;
    DWORD nPsapiId = 0;
    const int bSnapshot = CProcessFind(false).Find(nSnapshotId, pszName);
    EXPECT_EQ(CProcessFind(true).Find(nPsapiId, pszName), bSnapshot) << pszName;
    EXPECT_EQ(nPsapiId, nSnapshotId) << pszName;
    nProcessId = nSnapshotId;
    return bSnapshot;
}

}  // namespace

TEST(ProcessFind, FindsTheStandInInAnyCaseFromAnyFolderUntilItEnds) {
    // A copy of the SEM stand-in built beside the tests, in a folder of its own and with its
    // file name in another case. It ends by itself after a minute at the latest.
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string program(szPath);
    program.replace(program.rfind('\\') + 1, std::string::npos, "velSEMx.exe");
    ASSERT_TRUE(GetTempPathA(MAX_PATH, szPath));
    const std::string folder =
        std::string(szPath) + "velProcessFind" + std::to_string(GetCurrentProcessId());
    const std::string copy = folder + "\\VelSemX.EXE";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE)) << program;

    CProcessFind before(false);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string commandLine = "\"" + copy + "\" 60000";
    ASSERT_TRUE(CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    // It runs once it has made its events.
    HANDLE hReady = nullptr;
    for (int i = 0; i < 2000 && hReady == nullptr; ++i) {
        hReady = OpenEventA(SYNCHRONIZE, FALSE, "MonitorShutdown");
        if (hReady == nullptr) Sleep(10);
    }
    EXPECT_NE(hReady, nullptr);
    CloseHandle(hReady);

    DWORD nProcessId = 0;
    EXPECT_EQ(before.Find(nProcessId, "velSEMx.exe"), 0) << "the snapshot is taken before";
    for (const char* pszName : {"velSEMx.exe", "VELSEMX.EXE"}) {
        EXPECT_EQ(FindInBothModes(pszName, nProcessId), 1) << pszName;
        EXPECT_EQ(nProcessId, pi.dwProcessId) << pszName;
    }
    for (const char* pszName : {"velSEMm.exe", "velSEMx", "elSEMx.exe", ""}) {
        EXPECT_EQ(FindInBothModes(pszName, nProcessId), 0) << pszName;
    }

    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(FindInBothModes("velSEMx.exe", nProcessId), 0);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
