// Faulty outside components, each staged in a folder of its own beside a copy of the built
// library. The copy is loaded from there and driven through its exports; what it tells the shell
// shows which design, texts and language it fell back on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ShellRecorder.h"
#include "VelTrayApi.h"

namespace {

const std::string kBin = VelTrayApi::ProgramFolder();
// The SEM icon's tooltip while it rests.
constexpr char kProduct[] = "Tessaroth Quillmark";
// Option 2 lives in this section of velOptions.reg; the switch in the one ending in 80000000.
const std::string kOptionSection = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x";

// The text in the system code page, as the library hands it to the shell.
std::string Ansi(const wchar_t* pszText) {
    char out[256];
    const int n = WideCharToMultiByte(CP_ACP, 0, pszText, -1, out, sizeof out, nullptr, nullptr);
    return std::string(out, n > 0 ? n - 1 : 0);
}

// The tooltips of the identify and unknown states and of the rotating SEM icon.
struct Texts {
    std::string identify, unknown, rotating;
};
const Texts kEnglish = {"Identifying card...", "Unknown card", "Working, please wait..."};
const Texts kGerman = {"Karte wird erkannt...", "Unbekannte Karte",
                       Ansi(L"Bitte warten, Vorgang l\u00e4uft...")};
const Texts kNoText = {"", "", ""};

std::string ReadAll(const std::string& path) {
    std::string bytes;
    const HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(hFile, nullptr));
    DWORD nRead = 0;
    ReadFile(hFile, &bytes[0], static_cast<DWORD>(bytes.size()), &nRead, nullptr);
    CloseHandle(hFile);
    bytes.resize(nRead);
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    const HANDLE hFile =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << path;
    DWORD nWritten = 0;
    WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr);
    CloseHandle(hFile);
    ASSERT_EQ(nWritten, bytes.size()) << path;
}

// Bytes that no loader and no profile reader makes sense of.
std::string Garbage(size_t nSize) {
    std::string bytes(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i) bytes[i] = static_cast<char>((i * 7919 + 13) >> 3);
    return bytes;
}

// velOptions.reg naming a language, with or without the switch that makes the file the source.
std::string Options(const std::string& language, bool bSwitch = true) {
    return "REGEDIT4\r\n\r\n" +
           (bSwitch ? kOptionSection + "80000000]\r\n\"Value\"=dword:00000001\r\n" : "") +
           kOptionSection + "00000002]\r\n\"Value\"=\"" + language + "\"\r\n";
}

// What a run of the staged library showed.
struct Outcome {
    DWORD nStart = 0;               // velStartTray's result
    std::vector<ShellCall> start;   // the shell calls of the start
    ShellCall identify = {};        // the first call for a new reader in the identify state
    HICON hOwnIdentify = nullptr;   // the library's own picture of that state
    std::string unknownTip;         // the tooltip the unknown state gave that reader
    std::string rotatingTip = "-";  // the SEM icon's tooltip while rotating ("-": no start)
};

// The tooltip of the first call in the list that carries one.
std::string FirstTip(const std::vector<ShellCall>& calls) {
    for (const ShellCall& call : calls) {
        if (call.uFlags & NIF_TIP) return call.tip;
    }
    return "<no tooltip>";
}

// A folder holding a copy of the library and the shipped components it needs, with
// velOptions.reg choosing English.
class CStage {
  public:
    CStage() {
        static int s_nStages = 0;
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        m_dir = std::string(szTemp) + "velFaults" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++s_nStages) + "\\";
        CreateDirectoryA(m_dir.c_str(), nullptr);
        for (const char* pszFile :
             {"velTrayLib.dll", "enuSEMk.dll", "deuSEMk.dll", "velDsgn.dll"}) {
            EXPECT_TRUE(CopyFileA((kBin + pszFile).c_str(), Path(pszFile).c_str(), FALSE))
                << pszFile;
        }
        Write("velOptions.reg", Options("enu"));
    }
    ~CStage() {
        WIN32_FIND_DATAA found;
        const HANDLE hFind = FindFirstFileA((m_dir + "*").c_str(), &found);
        for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore;
             bMore = FindNextFileA(hFind, &found)) {
            DeleteFileA(Path(found.cFileName).c_str());
        }
        if (hFind != INVALID_HANDLE_VALUE) FindClose(hFind);
        RemoveDirectoryA(m_dir.c_str());
    }
    CStage(const CStage&) = delete;
    CStage& operator=(const CStage&) = delete;

    std::string Path(const std::string& name) const { return m_dir + name; }
    void Write(const std::string& name, const std::string& bytes) const {
        WriteAll(Path(name), bytes);
    }
    void Remove(const std::string& name) const { DeleteFileA(Path(name).c_str()); }
    // Replaces string-table blocks (language 0) of a staged library.
    void ReplaceBlocks(const std::string& name,
                       const std::vector<std::pair<WORD, std::vector<WORD>>>& blocks) const {
        const HANDLE hUpdate = BeginUpdateResourceA(Path(name).c_str(), FALSE);
        ASSERT_NE(hUpdate, nullptr);
        for (const auto& block : blocks) {
            std::vector<WORD> words = block.second;
            ASSERT_TRUE(UpdateResourceA(hUpdate, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(block.first),
                                        0, words.data(),
                                        static_cast<DWORD>(words.size() * sizeof(WORD))));
        }
        ASSERT_TRUE(EndUpdateResourceA(hUpdate, FALSE));
    }
    // The code of the language library the folder lists first: the language without option.
    std::string FirstLanguage() const {
        WIN32_FIND_DATAA found;
        const HANDLE hFind = FindFirstFileA((m_dir + "???SEMk.dll").c_str(), &found);
        if (hFind == INVALID_HANDLE_VALUE) return "";
        FindClose(hFind);
        return std::string(found.cFileName, 3);
    }

    // Loads the copy, starts the tray, puts a reader through identify and unknown, turns the
    // SEM icon when the start succeeded, and stops and unloads the copy.
    Outcome Drive() const {
        Outcome out;
        VelTrayApi api;
        if (!api.Load(Path("velTrayLib.dll"))) {
            ADD_FAILURE() << "the staged library does not load";
            return out;
        }
        {
            ShellRecorder recorder(api.hModule);
            EXPECT_TRUE(recorder.IsActive());
            out.nStart = api.velStartTray(nullptr, TRUE);
            out.start = recorder.Take();
            EXPECT_EQ(api.velCardIdentify("R", 1), VEL_OK);
            const std::vector<ShellCall> identify = recorder.Take();
            if (!identify.empty()) out.identify = identify.front();
            out.hOwnIdentify = LoadIconA(api.hModule, MAKEINTRESOURCEA(202));
            EXPECT_EQ(api.velCardUnknown("R", 1), VEL_OK);
            out.unknownTip = FirstTip(recorder.Take());
            EXPECT_EQ(api.velSetDsgnColors(0xFFFFFFFF, 0x00123456), VEL_OK);
            if (out.nStart == VEL_OK) {
                EXPECT_EQ(api.velStartSEMRotation(), VEL_OK);
                for (int nWait = 0; nWait < 100 && recorder.Calls().empty(); ++nWait) Sleep(20);
                EXPECT_EQ(api.velStopSEMRotation(), VEL_OK);
                out.rotatingTip = FirstTip(recorder.Take());
            }
            EXPECT_EQ(api.velStopTray(), VEL_OK);
        }
        api.Unload();
        // A copy left loaded would carry its state into the next case.
        EXPECT_EQ(GetModuleHandleA(Path("velTrayLib.dll").c_str()), nullptr);
        return out;
    }

  private:
    std::string m_dir;  // the folder, ending with a backslash
};

// Checks the three tooltips and that the chip shows the library's own picture.
void ExpectTexts(const Outcome& out, const Texts& texts) {
    EXPECT_EQ(out.identify.dwMessage, static_cast<DWORD>(NIM_ADD));
    EXPECT_NE(out.hOwnIdentify, nullptr);
    EXPECT_EQ(out.identify.hIcon, out.hOwnIdentify);
    EXPECT_EQ(out.identify.tip, texts.identify);
    EXPECT_EQ(out.unknownTip, texts.unknown);
    EXPECT_EQ(out.rotatingTip, texts.rotating);
}

// Registers the shipped options server for the life of the object.
class COptionServer {
  public:
    COptionServer() : m_hServer(LoadLibraryA((kBin + "velOptSrv.dll").c_str())) {
        EXPECT_EQ(Call("DllRegisterServer"), S_OK);
    }
    ~COptionServer() {
        SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", nullptr);
        EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
        if (m_hServer != nullptr) FreeLibrary(m_hServer);
    }
    COptionServer(const COptionServer&) = delete;
    COptionServer& operator=(const COptionServer&) = delete;
    // Makes the server answer from this file.
    static void Answer(const std::string& path) {
        SetEnvironmentVariableA("VEL_OPTSRV_ANSWERS", path.c_str());
    }

  private:
    HRESULT Call(const char* pszEntry) const {
        const auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(m_hServer, pszEntry)));
        return pfn != nullptr ? pfn() : E_NOTIMPL;
    }
    HMODULE m_hServer;  // velOptSrv.dll from build/bin, loaded to call its registration
};

}  // namespace

TEST(Faults, DesignComponentsThatCannotServeFailTheStartOnly) {
    const std::string variants = kBin + "testdata\\design\\";
    const struct {
        const char* pszCase;
        std::string source;  // copied as velDsgn.dll; empty: the bytes below instead
        std::string bytes;   // written as velDsgn.dll; empty too: no velDsgn.dll
        bool bStarts;
    } cases[] = {
        {"shipped", kBin + "velDsgn.dll", "", true},
        {"missing", "", "", false},
        {"text file", "", "This is no library.\r\n", false},
        {"MZ and garbage", "", "MZ" + Garbage(3000), false},
        {"no DllGetClassObject", variants + "anchor\\velAnchor.dll", "", false},
        {"no IvelDsgn", variants + "refusing\\velDsgn.dll", "", false},
        {"every read fails", variants + "failing\\velDsgn.dll", "", false},
        {"picture without status", variants + "withhold\\velDsgn.dll", "", false},
        {"odd types, failed 101 and 205", variants + "odd\\velDsgn.dll", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        CStage stage;
        stage.Remove("velDsgn.dll");
        if (!c.source.empty()) {
            ASSERT_TRUE(CopyFileA(c.source.c_str(), stage.Path("velDsgn.dll").c_str(), FALSE));
        } else if (!c.bytes.empty()) {
            stage.Write("velDsgn.dll", c.bytes);
        }
        const Outcome out = stage.Drive();
        if (c.bStarts) {
            // The SEM icon comes up with the component's resting picture.
            EXPECT_EQ(out.nStart, VEL_OK);
            ASSERT_EQ(out.start.size(), 1u);
            EXPECT_EQ(out.start[0].dwMessage, static_cast<DWORD>(NIM_ADD));
            EXPECT_NE(out.start[0].hIcon, nullptr);
            EXPECT_EQ(out.start[0].tip, kProduct);
            ExpectTexts(out, kEnglish);
        } else {
            // Without four pictures there is no SEM icon; the chip icons keep the library's own
            // pictures and the language library's texts.
            EXPECT_EQ(out.nStart, VEL_E_FAIL);
            EXPECT_TRUE(out.start.empty());
            ExpectTexts(out, {kEnglish.identify, kEnglish.unknown, "-"});
        }
    }
}

TEST(Faults, BrokenLanguageLibrariesGiveNoTextOfTheirOwn) {
    const std::string english = ReadAll(kBin + "enuSEMk.dll");
    ASSERT_GT(english.size(), 1024u);
    // Block 307 (ids 4896 to 4911): id 4908 whole, then 4909 claiming 65535 characters where two
    // follow. Block 318 (ids 5072 to 5087): its first entry claims more than the whole block, so
    // the way to 5083 runs out of it.
    std::vector<WORD> block307(12, 0);
    block307.insert(block307.end(), {3, 'X', 'i', 'd', 0xFFFF, 'Y', 'Y'});
    const std::vector<std::pair<WORD, std::vector<WORD>>> shortBlocks = {{307, block307},
                                                                         {318, {0x7FFF, 'Z', 'Z'}}};
    const Texts kCut = {"Xid", "", ""};
    const Texts kCutThenGerman = {"Xid", kGerman.unknown, kGerman.rotating};

    struct Case {
        std::string name;
        std::string bytes;  // the staged enuSEMk.dll
        bool bShortBlocks;  // its string blocks 307 and 318 cut short
        bool bGerman;       // deuSEMk.dll beside it
        Texts expected;
    };
    std::vector<Case> cases = {
        {"intact", english, false, true, kEnglish},
        {"text", "enu is not a library\r\n", false, true, kGerman},
        {"MZ and garbage", "MZ" + Garbage(english.size()), false, true, kGerman},
        {"short blocks", english, true, true, kCutThenGerman},
        {"first half alone", english.substr(0, english.size() / 2), false, false, kNoText},
        {"garbage alone", Garbage(4096), false, false, kNoText},
        {"short blocks alone", english, true, false, kCut},
    };
    // Cut in the headers, the resource directory, the texts, and the padding after them: a
    // file that is not whole is refused, even where the lost part held no text.
    for (const size_t nLength : {size_t{512}, english.size() * 41 / 64, english.size() * 3 / 4,
                                 english.size() * 13 / 16, english.size() - 100}) {
        cases.push_back({"first " + std::to_string(nLength) + " bytes", english.substr(0, nLength),
                         false, true, kGerman});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CStage stage;
        stage.Write("enuSEMk.dll", c.bytes);
        if (c.bShortBlocks) stage.ReplaceBlocks("enuSEMk.dll", shortBlocks);
        if (!c.bGerman) stage.Remove("deuSEMk.dll");
        const Outcome out = stage.Drive();
        // Texts are no part of the start: it succeeds whatever the libraries hold.
        EXPECT_EQ(out.nStart, VEL_OK);
        ExpectTexts(out, c.expected);
    }
}

TEST(Faults, UnusableOptionsLeaveTheFirstLanguage) {
    COptionServer server;
    const struct {
        const char* pszCase;
        std::string options;  // velOptions.reg; empty: none; "<other>" stands for the language
        std::string answers;  // the server's answers file; empty: a file that does not exist
        bool bOther;          // the other language is chosen, not the first
    } cases[] = {
        {"file chooses", Options("<other>"), "", true},
        {"server chooses", "", "[0x00000002]\r\nType=BSTR\r\nValue=<other>\r\n", true},
        // Taken whole: a reader that kept only the start of the line would choose the other.
        {"1 MB language", Options("<other>" + std::string(1 << 20, 'x')), "", false},
        {"garbage file, server chooses", Garbage(8192),
         "[0x00000002]\r\nType=BSTR\r\nValue=<other>\r\n", true},
        {"garbage file, no answers", Garbage(8192), "", false},
        {"no switch, server not made", Options("<other>", false),
         "[Server]\r\nCreateResult=0x80004005\r\n", false},
        {"probe fails", "", "[0xffffffff]\r\nResult=0x80004005\r\n", false},
        {"probe status 0", "",
         "[0xffffffff]\r\nStatus=0\r\n[0x00000002]\r\nType=BSTR\r\nValue=<other>\r\n", false},
        {"option 2 fails", "",
         "[0x00000002]\r\nType=BSTR\r\nValue=<other>\r\nResult=0x80004005\r\n", false},
        {"option 2 a number", "", "[0x00000002]\r\nType=I4\r\nValue=7\r\n", false},
        {"garbage answers", "", Garbage(8192), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        CStage stage;
        const std::string first = stage.FirstLanguage();
        const std::string other = first == "enu" ? "deu" : "enu";
        auto withOther = [&other](std::string text) {
            for (size_t nAt; (nAt = text.find("<other>")) != std::string::npos;) {
                text.replace(nAt, 7, other);
            }
            return text;
        };
        stage.Remove("velOptions.reg");
        if (!c.options.empty()) stage.Write("velOptions.reg", withOther(c.options));
        if (!c.answers.empty()) stage.Write("answers.ini", withOther(c.answers));
        COptionServer::Answer(stage.Path("answers.ini"));
        const Outcome out = stage.Drive();
        EXPECT_EQ(out.nStart, VEL_OK);
        ExpectTexts(out, (c.bOther ? other : first) == "enu" ? kEnglish : kGerman);
    }
}
