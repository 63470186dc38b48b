// The options store: values of the options file, the file's switch between the file and the
// suite's options server, the server's answers, and the profile reader beneath.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "text/OptionStore.h"

namespace {

// The section of an option in velOptions.reg, and a value in it.
std::string Option(const char* pszId, const std::string& value, const char* pszKey = "Value") {
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x" + std::string(pszId) +
           "]\r\n\"" + pszKey + "\"=" + value + "\r\n";
}
std::string Switch(const char* pszValue) { return Option("80000000", pszValue); }

// An option as the store gives it, "=" and the status in hex.
std::string Read(COptionStore& store, UINT nId = 2) {
    CStrBuf out("stale");
    char szStatus[16];
    wsprintfA(szStatus, "=%lx", static_cast<unsigned long>(store.GetOption(nId, out)));
    return out.CStr() + std::string(szStatus);
}

}  // namespace

TEST(OptionStore, ReadsFileValues) {
    TempFolder folder;
    folder.Write("velOptions.reg",
                 "REGEDIT4\r\n\r\n" + Switch("dword:00000001") +
                     Option("00000002", "\"C:\\\\Program Files\\\\x\"") +
                     Option("00000003", "\"%INSTALLDIR%lang\\\\%TEMP%\"") +
                     Option("00000004", "\"%TEMP%a%TEMP%\"") + Option("00000005", "\"x\\\\\\y\"") +
                     Option("00000006", "\"\"") +
                     Option("000000AB", "\"" + std::string(3000, 'v') + "\"", "value"));
    COptionStore store(folder().substr(0, folder().size() - 1).c_str());
    char szTemp[MAX_PATH];
    const std::string temp(szTemp, GetTempPathA(MAX_PATH, szTemp)), ok = "=21000001";
    std::vector<std::string> values;
    for (const UINT nId : {2, 3, 4, 5, 0xAB, 6, 8}) values.push_back(Read(store, nId));
    EXPECT_EQ(values,
              (std::vector<std::string>{"C:\\Program Files\\x" + ok, folder() + "lang\\%TEMP%" + ok,
                                        temp + "a" + temp + ok, "x\\\\y" + ok,
                                        std::string(3000, 'v') + ok, "=0", "=0"}));
    // The file is read on every query, but its switch only once: without it the store would have
    // turned to the options server, which is not registered here. Values are kept while the file
    // is unchanged; an edit of the same size, with a new time, is seen.
    for (const char* pszLanguage : {"deu", "enu"}) {
        folder.Write("velOptions.reg",
                     "REGEDIT4\r\n" + Option("00000002", "\"" + std::string(pszLanguage) + "\""));
        const HANDLE hFile = CreateFileA(folder("velOptions.reg").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME time = {pszLanguage[0] == 'd' ? 1u : 2u, 0x01D00000};
        SetFileTime(hFile, nullptr, nullptr, &time);
        CloseHandle(hFile);
        EXPECT_EQ(Read(store) + Read(store), pszLanguage + ok + pszLanguage + ok);
    }
    folder.Remove("velOptions.reg");
    EXPECT_EQ(Read(store), "=0");
}

TEST(OptionServer, TheSwitchTheAnswersTheProbeAndTheThreads) {
    OptionServer server;
    server.Answer("[0x00000002]\r\nType=BSTR\r\nValue=srv\r\n");
    // A non-zero number after the switch's first six characters makes the file the source; each
    // read by a fresh store on a thread of its own (its own COM apartment).
    for (const auto& [pszSwitch, pszRead] :
         std::vector<std::pair<const char*, const char*>>{{"dword:FFFFFFFF", "file=21000001"},
                                                          {"\"abcdef1\"", "file=21000001"},
                                                          {"dword:00000000", "srv=1"},
                                                          {"dw", "srv=1"},
                                                          {"dword:zz", "srv=1"}}) {
        TempFolder folder;
        folder.Write("velOptions.reg", Switch(pszSwitch) + Option("00000002", "\"file\""));
        std::thread([&, pszSwitch = pszSwitch, pszRead = pszRead] {
            COptionStore store(folder().c_str());
            EXPECT_EQ(Read(store), pszRead) << pszSwitch;
        }).join();
    }
    TempFolder folder;
    std::thread([&] {
        COptionStore store(folder().c_str());
        server.Answer(
            "[0x00000002]\r\nType=BSTR\r\nValue=enu\r\nStatus=5\r\n[0x00000003]\r\nType="
            "LPSTR\r\nValue=deu\r\n"
            "[0x00000004]\r\nType=I4\r\nValue=7\r\n[0x00000005]\r\nType=BSTR\r\nValue=x\r\nResult="
            "0x80004005\r\n"
            "[0x00000006]\r\nType=BSTR\r\nValue=x\r\nStatus=0xE100FFF3\r\n[0x00000007]\r\nType="
            "LPSTR\r\nValue=\r\n");
        std::vector<std::string> answers;
        for (const UINT nId : {2, 3, 4, 5, 6, 7, 8, 2}) answers.push_back(Read(store, nId));
        EXPECT_EQ(answers, (std::vector<std::string>{"enu=5", "deu=1", "=e100fff3", "=e100ffff",
                                                     "=e100fff3", "=1", "=0", "enu=5"}));
        // A probe that answers 0 leaves the store to try again at the next query; one that
        // answers no boolean or fails leaves it unusable until ReleaseServer.
        const std::string option2 = "[0x00000002]\r\nType=BSTR\r\nValue=enu\r\n";
        for (const auto& [pszProbe, pszNext] : std::vector<std::pair<const char*, const char*>>{
                 {"Status=0", "enu=1"}, {"Type=BSTR\r\nValue=maybe", "=0"}, {"Status=-5", "=0"}}) {
            COptionStore probed(folder().c_str());
            server.Answer(option2 + "[0xffffffff]\r\n" + pszProbe + "\r\n");
            EXPECT_EQ(Read(probed), "=0") << pszProbe;
            server.Answer(option2);
            EXPECT_EQ(Read(probed), pszNext) << pszProbe;
            probed.ReleaseServer();
            EXPECT_EQ(Read(probed), "enu=1") << pszProbe;
        }
    }).join();
    // Another thread with COM gets an instance of its own for its query.
    COptionStore store(folder().c_str());
    std::thread([&] { EXPECT_EQ(Read(store), "enu=1"); }).join();
    std::thread([&] {
        CoInitialize(nullptr);
        EXPECT_EQ(Read(store), "enu=1");
        server.Answer("[0x00000002]\r\nResult=0x80004005\r\n");
        EXPECT_EQ(Read(store), "=0");
        server.Answer("[Server]\r\nCreateResult=0x80004005\r\n");
        EXPECT_EQ(Read(store), "=e100ffff");
        CoUninitialize();
    }).join();
    // Without COM on the asking thread no new instance can be made for it: the store does not
    // initialise COM on a thread of the host.
    server.Answer("[0x00000002]\r\nType=LPSTR\r\nValue=deu\r\n");
    std::thread([&] { EXPECT_EQ(Read(store), "=e100ffff"); }).join();
}
