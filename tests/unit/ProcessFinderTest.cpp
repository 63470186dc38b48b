#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "util/ProcessFinder.h"

namespace {

// Generous bound for the stand-in's start and end; only a fault makes a wait time out.
constexpr DWORD kPatience = 20000;

// The folder of this test program, where the build puts the SEM stand-ins, with a backslash.
std::string ProgramFolder() {
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}

// A SEM stand-in started by the test, its output read through a pipe. It ends by itself after
// the time-out given on its command line; a stand-in still running at the end is ended here.
class CStandIn {
  public:
    CStandIn() : m_process{}, m_hOutput(nullptr) {}
    ~CStandIn() {
        if (m_process.hProcess != nullptr) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 3);
            }
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        if (m_hOutput != nullptr) CloseHandle(m_hOutput);
    }

    // Starts the program in the folder and returns its first line ("ready" once it runs).
    std::string Launch(const std::string& program, const std::string& folder) {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        HANDLE hWrite = nullptr;
        if (!CreatePipe(&m_hOutput, &hWrite, &sa, 0)) return "no pipe";
        SetHandleInformation(m_hOutput, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
        std::string commandLine = "\"" + program + "\" 60000";
        const BOOL bStarted =
            CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                           CREATE_NO_WINDOW, nullptr, folder.c_str(), &si, &m_process);
        CloseHandle(hWrite);
        if (!bStarted) {
            m_process = {};
            return "not started";
        }
        return ReadLine();
    }

    // The next line of output without its line end; empty at the end of the output.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        DWORD nRead = 0;
        while (ReadFile(m_hOutput, &c, 1, &nRead, nullptr) && nRead == 1 && c != '\n') {
            if (c != '\r') line += c;
        }
        return line;
    }

    // Waits for the end of the program; its exit code, or 0xFFFFFFFF when it did not end.
    DWORD WaitForExit() {
        if (WaitForSingleObject(m_process.hProcess, kPatience) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD nExitCode = 0xFFFFFFFF;
        GetExitCodeProcess(m_process.hProcess, &nExitCode);
        return nExitCode;
    }

    PROCESS_INFORMATION m_process;
    HANDLE m_hOutput;
};

// Signals the SEM program's events as the tray library does: break first, then shutdown.
void SignalShutdown() {
    const HANDLE hShutdown = OpenEventA(EVENT_MODIFY_STATE, FALSE, "MonitorShutdown");
    const HANDLE hBreak = OpenEventA(EVENT_MODIFY_STATE, FALSE, "MonitorBreakEvent");
    ASSERT_NE(hShutdown, nullptr);
    ASSERT_NE(hBreak, nullptr);
    SetEvent(hBreak);
    SetEvent(hShutdown);
    CloseHandle(hBreak);
    CloseHandle(hShutdown);
}

// Find's answer for the name in both modes; the ids found must agree.
int FindInBothModes(const char* pszName, DWORD& nProcessId) {
    DWORD nSnapshotId = 0;
    DWORD nPsapiId = 0;
    const int bSnapshot = CProcessFind(false).Find(nSnapshotId, pszName);
    const int bPsapi = CProcessFind(true).Find(nPsapiId, pszName);
    EXPECT_EQ(bSnapshot, bPsapi) << pszName;
    EXPECT_EQ(nSnapshotId, nPsapiId) << pszName;
    nProcessId = nSnapshotId;
    return bSnapshot;
}

}  // namespace

TEST(ProcessFind, FindsTheStandInInAnyCaseFromAnyFolderUntilItEnds) {
    const std::string program = ProgramFolder() + "velSEMx.exe";
    ASSERT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the SEM stand-in is built beside the tests: " << program;
    // A copy in a folder of its own, its file name in another case.
    char szTemp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, szTemp), 0u);
    const std::string folder =
        std::string(szTemp) + "velProcessFind" + std::to_string(GetCurrentProcessId());
    const std::string copy = folder + "\\VelSemX.EXE";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE));

    {
        CProcessFind before(false);
        CStandIn standIn;
        ASSERT_EQ(standIn.Launch(copy, ProgramFolder()), "ready");
        const DWORD nStandInId = standIn.m_process.dwProcessId;

        DWORD nProcessId = 0;
        EXPECT_EQ(before.Find(nProcessId, "velSEMx.exe"), 0) << "the snapshot is taken before";
        for (const char* pszName : {"velSEMx.exe", "VELSEMX.EXE"}) {
            nProcessId = 0;
            EXPECT_EQ(FindInBothModes(pszName, nProcessId), 1) << pszName;
            EXPECT_EQ(nProcessId, nStandInId) << pszName;
        }
        for (const char* pszName : {"velSEMm.exe", "velSEMx", "elSEMx.exe", ""}) {
            EXPECT_EQ(FindInBothModes(pszName, nProcessId), 0) << pszName;
        }

        SignalShutdown();
        EXPECT_EQ(standIn.ReadLine(), "MonitorBreakEvent");
        EXPECT_EQ(standIn.ReadLine(), "MonitorShutdown");
        EXPECT_EQ(standIn.WaitForExit(), 0u);
        EXPECT_EQ(FindInBothModes("velSEMx.exe", nProcessId), 0);
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
