#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "core/velTrayLibApp.h"
#include "text/OptionStore.h"

namespace {

// The section of an option in velOptions.reg.
std::string Section(const char* pszId) {
    return std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x") + pszId + "]\r\n";
}

// The file's switch with the given value.
std::string Switch(const char* pszValue) {
    return Section("80000000") + "\"Value\"=" + pszValue + "\r\n";
}

// The folder of the running test program, with its trailing backslash.
std::string ProgramFolder() {
    char szPath[MAX_PATH];
    DWORD nLength = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath, nLength);
    return path.substr(0, path.rfind('\\') + 1);
}

void WriteBytes(const std::string& path, const std::string& content) {
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << path;
    DWORD nWritten = 0;
    WriteFile(hFile, content.data(), static_cast<DWORD>(content.size()), &nWritten, nullptr);
    CloseHandle(hFile);
    ASSERT_EQ(nWritten, content.size());
}

// A fresh folder under the temporary folder, removed with the files written into it.
struct TempFolder {
    TempFolder() {
        static int s_nCount = 0;
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        path = std::string(szTemp) + "velopt" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(GetTickCount()) + "_" + std::to_string(++s_nCount) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA find;
        HANDLE hFind = FindFirstFileA((path + "*").c_str(), &find);
        if (hFind != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((path + find.cFileName).c_str());
            } while (FindNextFileA(hFind, &find));
            FindClose(hFind);
        }
        RemoveDirectoryA(path.c_str());
    }
    // Writes velOptions.reg into the folder.
    void WriteOptions(const std::string& content) const {
        WriteBytes(path + "velOptions.reg", content);
    }
    std::string path;
};

// Option 2 as the store gives it, with the status.
std::string ReadLanguage(COptionStore& store, StatusWord* pStatus = nullptr) {
    CStrBuf out;
    StatusWord nStatus = store.GetOption(2, out);
    if (pStatus != nullptr) *pStatus = nStatus;
    return out.CStr();
}

// Runs fn on a thread of its own, which gets its own COM apartment when fn initialises COM.
void RunInThread(const std::function<void()>& fn) { std::thread(fn).join(); }

}  // namespace

TEST(OptionStore, ReadsFileValues) {
    TempFolder folder;
    std::string big(1024 * 1024, 'x');
    std::string content =
        "REGEDIT4\r\n\r\n" + Switch("dword:00000001") + Section("00000002") +
        "\"Value\"=\"C:\\\\Program Files\\\\x\"\r\n" + Section("00000003") +
        "\"Value\"=\"%INSTALLDIR%lang\\\\%TEMP%\"\r\n" + Section("00000004") +
        "\"Value\"=\"%TEMP%a%TEMP%\"\r\n" + Section("00000005") + "\"Value\"=\"x\\\\\\y\"\r\n" +
        Section("00000006") + "\"Value\"=\"\"\r\n" + Section("000000AB") + "\"value\"=\"" +
        std::string(600, 'v') + "\"\r\n" + Section("00000007") + "\"Value\"=\"" + big + "\"\r\n";
    folder.WriteOptions(content);
    COptionStore store(folder.path.substr(0, folder.path.size() - 1).c_str());
    char szTemp[MAX_PATH];
    std::string temp(szTemp, GetTempPathA(MAX_PATH, szTemp));

    const struct {
        UINT nId;
        std::string expected;
    } cases[] = {
        {2, "C:\\Program Files\\x"},   {3, folder.path + "lang\\%TEMP%"},
        {4, temp + "a" + temp},        {5, "x\\\\y"},
        {0xAB, std::string(600, 'v')}, {7, big},
    };
    for (const auto& c : cases) {
        CStrBuf out;
        EXPECT_EQ(store.GetOption(c.nId, out), ST_OK) << c.nId;
        EXPECT_TRUE(out.CStr() == c.expected) << c.nId << ": " << std::string(out.CStr(), 0, 80);
    }
    for (UINT nId : {6u, 8u}) {
        CStrBuf out("stale");
        EXPECT_EQ(store.GetOption(nId, out), 0) << nId;
        EXPECT_TRUE(out.IsEmpty()) << nId;
    }

    // The file is read on every query, but its switch only once: without it the store would
    // have turned to the options server, which is not registered here. Values are kept while
    // the file is unchanged; an edit of the same size, written right after, must still be seen.
    for (const char* pszLanguage : {"deu", "enu"}) {
        folder.WriteOptions("REGEDIT4\r\n" + Section("00000002") + "\"Value\"=\"" + pszLanguage +
                            "\"\r\n");
        EXPECT_EQ(ReadLanguage(store), pszLanguage);
        EXPECT_EQ(ReadLanguage(store), pszLanguage);
    }
    DeleteFileA((folder.path + "velOptions.reg").c_str());
    EXPECT_EQ(ReadLanguage(store), "");

    // The default store finds the file beside the library's module: in this program the
    // shipped sample beside the test program, which selects English.
    HINSTANCE hSaved = g_hLibInstance;
    g_hLibInstance = GetModuleHandleA(nullptr);
    COptionStore shipped;
    StatusWord nStatus = 0;
    EXPECT_EQ(ReadLanguage(shipped, &nStatus), "enu");
    EXPECT_EQ(nStatus, ST_OK);
    g_hLibInstance = hSaved;
}

TEST(OptionStore, ReadProfileStringRefusesBadArgumentsAndGrows) {
    TempFolder folder;
    std::string file = folder.path + "p.ini";
    std::string fill511(511, 'a');
    std::string fill512(512, 'b');
    WriteBytes(file, "[s]\r\nk511=" + fill511 + "\r\nk512=" + fill512 + "\r\nempty=\r\n");
    std::string longPath = "C:\\" + std::string(MAX_PATH, 'p');

    const char* badArgs[][3] = {{nullptr, "s", "k511"},          {"", "s", "k511"},
                                {longPath.c_str(), "s", "k511"}, {file.c_str(), nullptr, "k511"},
                                {file.c_str(), "", "k511"},      {file.c_str(), "s", ""},
                                {file.c_str(), "s", nullptr}};
    for (const auto& args : badArgs) {
        CStrBuf out("stale");
        EXPECT_EQ(COptionStore::ReadProfileString(args[0], args[1], args[2], out, "dflt"),
                  ST_E_INVALIDARG);
        EXPECT_STREQ(out.CStr(), "dflt");
    }

    CStrBuf out("stale");
    EXPECT_EQ(COptionStore::ReadProfileString(file.c_str(), "s", "missing", out, "dflt"), 0);
    EXPECT_STREQ(out.CStr(), "dflt");
    EXPECT_EQ(COptionStore::ReadProfileString(file.c_str(), "s", "empty", out, nullptr), 0);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(COptionStore::ReadProfileString(file.c_str(), "s", "k511", out, nullptr), ST_OK);
    EXPECT_EQ(out.CStr(), fill511);
    EXPECT_EQ(COptionStore::ReadProfileString(file.c_str(), "S", "K512", out, nullptr), ST_OK);
    EXPECT_EQ(out.CStr(), fill512);
}

// Registers the shipped options server for the test's duration and
// points it at answers files of the test's own.
class OptionServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_hServer = LoadLibraryA((ProgramFolder() + "velOptSrv.dll").c_str());
        ASSERT_NE(m_hServer, nullptr) << "velOptSrv.dll beside the test program";
        ASSERT_EQ(CallServer("DllRegisterServer"), S_OK);
    }
    void TearDown() override {
        SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", nullptr);
        if (m_hServer == nullptr) return;
        EXPECT_EQ(CallServer("DllUnregisterServer"), S_OK);
        FreeLibrary(m_hServer);
    }

    HRESULT CallServer(const char* pszEntry) {
        auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(m_hServer, pszEntry)));
        return pfn != nullptr ? pfn() : E_NOTIMPL;
    }

    // Makes the server answer from a new file with this content; a new file each time, so
    // that no cached copy of an earlier one is read.
    void SetAnswers(const std::string& content) {
        std::string path = m_answers.path + "answers" + std::to_string(++m_nAnswers) + ".ini";
        WriteBytes(path, content);
        SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", path.c_str());
    }

    // Option 2 from a fresh store over folder, asked on a thread of its own.
    std::string LanguageInThread(const TempFolder& folder) {
        std::string result;
        RunInThread([&] {
            COptionStore store(folder.path.c_str());
            result = ReadLanguage(store);
        });
        return result;
    }

    HMODULE m_hServer = nullptr;
    TempFolder m_answers;
    int m_nAnswers = 0;
};

TEST_F(OptionServerTest, SwitchChoosesTheSource) {
    SetAnswers("[0x00000002]\r\nType=BSTR\r\nValue=srv\r\n");
    std::string option2 = Section("00000002") + "\"Value\"=\"file\"\r\n";

    const struct {
        std::string content;
        const char* pszExpected;
    } cases[] = {
        {Switch("dword:00000001") + option2, "file"},
        {Switch("dword:FFFFFFFF") + option2, "file"},
        {Switch("\"abcdef1\"") + option2, "file"},
        {std::string(1024 * 1024, '#') + "\r\n" + Switch("dword:00000001") + option2, "file"},
        {Switch("dword:00000000") + option2, "srv"},
        {Switch("dword:") + option2, "srv"},
        {Switch("dw") + option2, "srv"},
        {Switch("dword:zz") + option2, "srv"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        folder.WriteOptions(c.content);
        EXPECT_EQ(LanguageInThread(folder), c.pszExpected) << c.content.substr(0, 80);
    }
}

TEST_F(OptionServerTest, ConvertsTheServersAnswers) {
    SetAnswers(
        "[0x00000002]\r\nType=BSTR\r\nValue=enu\r\nStatus=5\r\n"
        "[0x00000003]\r\nType=LPSTR\r\nValue=deu\r\n"
        "[0x00000004]\r\nType=I4\r\nValue=7\r\n"
        "[0x00000005]\r\nType=BSTR\r\nValue=x\r\nResult=0x80004005\r\n"
        "[0x00000006]\r\nType=BSTR\r\nValue=x\r\nStatus=0xE100FFF3\r\n"
        "[0x00000007]\r\nType=LPSTR\r\nValue=\r\n");
    TempFolder folder;
    RunInThread([&] {
        COptionStore store(folder.path.c_str());
        const struct {
            UINT nId;
            StatusWord nStatus;
            const char* pszText;
        } cases[] = {
            {2, 5, "enu"},      {3, 1, "deu"},          {4, ST_E_NOTFOUND, ""},
            {5, ST_E_FAIL, ""}, {6, ST_E_NOTFOUND, ""}, {7, 1, ""},
            {8, 0, ""},         {2, 5, "enu"},
        };
        for (const auto& c : cases) {
            CStrBuf out("stale");
            EXPECT_EQ(store.GetOption(c.nId, out), c.nStatus) << c.nId;
            EXPECT_STREQ(out.CStr(), c.pszText) << c.nId;
        }
    });
}

TEST_F(OptionServerTest, ProbeDecidesWhetherTheServerIsUsed) {
    const std::string option2 = "[0x00000002]\r\nType=BSTR\r\nValue=enu\r\n";
    TempFolder folder;
    RunInThread([&] {
        // A probe that answers 0 leaves the store to try again at the next query.
        COptionStore retried(folder.path.c_str());
        SetAnswers(option2 + "[0xffffffff]\r\nStatus=0\r\n");
        EXPECT_EQ(ReadLanguage(retried), "");
        SetAnswers(option2);
        EXPECT_EQ(ReadLanguage(retried), "enu");

        // Failures make the store unusable until ReleaseServer.
        for (const char* pszFailure :
             {"[0xffffffff]\r\nType=BSTR\r\nValue=maybe\r\n", "[0xffffffff]\r\nStatus=-5\r\n"}) {
            COptionStore store(folder.path.c_str());
            SetAnswers(option2 + pszFailure);
            StatusWord nStatus = 1;
            EXPECT_EQ(ReadLanguage(store, &nStatus), "") << pszFailure;
            EXPECT_EQ(nStatus, 0);
            SetAnswers(option2);
            EXPECT_EQ(ReadLanguage(store), "") << pszFailure;
            store.ReleaseServer();
            EXPECT_EQ(ReadLanguage(store), "enu") << pszFailure;
        }
    });
}

TEST_F(OptionServerTest, AnotherThreadGetsItsOwnInstance) {
    SetAnswers("[0x00000002]\r\nType=BSTR\r\nValue=enu\r\n");
    TempFolder folder;
    COptionStore store(folder.path.c_str());
    RunInThread([&] { EXPECT_EQ(ReadLanguage(store), "enu"); });

    RunInThread([&] {
        CoInitialize(nullptr);
        StatusWord nStatus = 0;
        EXPECT_EQ(ReadLanguage(store, &nStatus), "enu");
        EXPECT_EQ(nStatus, 1);

        SetAnswers("[0x00000002]\r\nResult=0x80004005\r\n");
        EXPECT_EQ(ReadLanguage(store, &nStatus), "");
        EXPECT_EQ(nStatus, 0);

        SetAnswers("[Server]\r\nCreateResult=0x80004005\r\n");
        EXPECT_EQ(ReadLanguage(store, &nStatus), "");
        EXPECT_EQ(nStatus, ST_E_FAIL);
        CoUninitialize();
    });

    // Without COM on the asking thread no instance can be made for it.
    SetAnswers("[0x00000002]\r\nType=LPSTR\r\nValue=deu\r\n");
    RunInThread([&] {
        StatusWord nStatus = 0;
        EXPECT_EQ(ReadLanguage(store, &nStatus), "");
        EXPECT_EQ(nStatus, ST_E_FAIL);
    });
}
