// Outside components staged in a folder of their own beside a copy of the built library, faulty
// ones and changing ones. The copy is loaded from there and driven through its exports; what it
// tells the shell shows which design, texts and language it took.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "DesktopUser.h"
#include "ImportPatch.h"
#include "TestSupport.h"
#include "VelTrayApi.h"

namespace {

// A text in the system code page, as the library hands it to the shell.
std::string Ansi(const wchar_t* pszText) {
    char szText[64] = "";
    WideCharToMultiByte(CP_ACP, 0, pszText, -1, szText, sizeof szText, nullptr, nullptr);
    return szText;
}

// The tooltips of the identify and unknown states and of the turning SEM icon.
using Texts = std::vector<std::string>;
const Texts kEnglish = {"Identifying card...", "Unknown card", "Working, please wait..."};
const Texts kGerman = {"Karte wird erkannt...", "Unbekannte Karte",
                       Ansi(L"Bitte warten, Vorgang l\u00e4uft...")};

// Bytes that no loader and no profile reader makes sense of.
std::string Garbage(size_t nSize) {
    std::string bytes(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i) bytes[i] = static_cast<char>((i * 7919 + 13) >> 3);
    return bytes;
}

// velOptions.reg naming a language, with or without the switch that makes the file the source.
std::string Options(const std::string& language, bool bSwitch = true) {
    const std::string section = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmark\\Options\\0x";
    return "REGEDIT4\r\n\r\n" +
           (bSwitch ? section + "80000000]\r\n\"Value\"=dword:00000001\r\n" : "") + section +
           "00000002]\r\n\"Value\"=\"" + language + "\"\r\n";
}

// A folder with a copy of the library and the shipped components it needs, English chosen.
struct Stage : TempFolder {
    Stage() : TempFolder({"velTrayLib.dll", "enuSEMk.dll", "deuSEMk.dll", "velDsgn.dll"}) {
        Write("velOptions.reg", Options("enu"));
    }
};

// The library's pauses, cut short: the rotation's stop waits for the frame's pause to end.
void WINAPI QuickSleep(DWORD nMs) { Sleep(nMs / 50); }

// The first tooltip among the calls.
std::string Tip(const std::vector<ShellCall>& calls) {
    for (const ShellCall& call : calls)
        if (call.uFlags & NIF_TIP) return "'" + call.tip + "'";
    return "no tooltip";
}

// Loads the staged copy, starts the tray, puts a new reader through identify and unknown (running
// between them what the case changes), turns the SEM icon when the start succeeded, stops and
// unloads. The line tells the start's result and shell calls, the reader's calls, the unknown
// state's tooltip and the turning icon's.
std::string Drive(const Stage& stage, const std::function<void()>& between = nullptr) {
    VelTrayApi api;
    if (!api.Load(stage("velTrayLib.dll"))) return "the staged library does not load";
    std::string line;
    {
        ShellRecorder shell(api.hModule);
        CImportPatch quick(api.hModule, "kernel32.dll", "Sleep",
                           reinterpret_cast<void*>(&QuickSleep));
        const PictureNames names = {{LoadIconA(api.hModule, MAKEINTRESOURCEA(202)), "own 202"}};
        const DWORD nStart = api.velStartTray(nullptr, TRUE);
        line = nStart == VEL_OK ? "started" : nStart == VEL_E_FAIL ? "failed" : "?";
        for (const std::string& call : Describe(shell.Take(), names)) line += ", " + call;
        api.velCardIdentify("R", 1);
        for (const std::string& call : Describe(shell.Take(), names)) line += " | " + call;
        if (between) between();
        api.velCardUnknown("R", 1);
        line += " | " + Tip(shell.Take());
        api.velSetDsgnColors(0xFFFFFFFF, 0x00123456);
        if (nStart == VEL_OK) {
            api.velStartSEMRotation();
            PumpUntil([&] { return !shell.Calls().empty(); }, 5000);
            api.velStopSEMRotation();
            line += " | " + Tip(shell.Take());
        }
        api.velStopTray();
    }
    api.Unload();
    // A copy left loaded would carry its state into the next case.
    return GetModuleHandleA(stage("velTrayLib.dll").c_str()) == nullptr ? line : "still loaded";
}

// What Drive tells of a start that succeeds or fails, with these texts.
std::string Expected(bool bStarts, const Texts& texts) {
    return std::string(bStarts ? "started, add MIT ? 'Tessaroth Quillmark'" : "failed") +
           " | add MIT own 202 '" + texts[0] + "' | '" + texts[1] + "'" +
           (bStarts ? " | '" + texts[2] + "'" : "");
}

}  // namespace

TEST(Faults, DesignComponentsThatCannotServeFailTheStartOnly) {
    // Without four pictures there is no SEM icon; the chip icons keep the library's own pictures.
    const auto built = [](const std::string& name) { return ReadBytes(ProgramFolder() + name); };
    const struct {
        const char* pszCase;
        std::string bytes;  // written as velDsgn.dll; empty: no velDsgn.dll
        bool bStarts;       // the start succeeds
    } cases[] = {
        {"shipped", built("velDsgn.dll"), true},
        {"missing", "", false},
        {"text file", "This is no library.\r\n", false},
        {"MZ and garbage", "MZ" + Garbage(3000), false},
        {"no DllGetClassObject", built("testdata\\design\\anchor\\velAnchor.dll"), false},
        {"no IvelDsgn", built("testdata\\design\\refusing\\velDsgn.dll"), false},
        {"every read fails", built("testdata\\design\\failing\\velDsgn.dll"), false},
        {"picture without status", built("testdata\\design\\withhold\\velDsgn.dll"), false},
        {"odd types, failed 101 and 205", built("testdata\\design\\odd\\velDsgn.dll"), true},
    };
    for (const auto& c : cases) {
        Stage stage;
        stage.Remove("velDsgn.dll");
        EXPECT_TRUE(c.bytes.empty() || stage.Write("velDsgn.dll", c.bytes));
        EXPECT_EQ(Drive(stage), Expected(c.bStarts, kEnglish)) << c.pszCase;
    }
}

TEST(Faults, BrokenLanguageLibrariesGiveNoTextOfTheirOwn) {
    // Unread, the shipped library would fail the intact case.
    const std::string english = ReadBytes(ProgramFolder() + "enuSEMk.dll");
    // Block 307 (ids 4896 to 4911): id 4908 whole, then 4909 claiming 65535 characters where two
    // follow. Block 318 (ids 5072 to 5087): its first entry claims more than the whole block, so
    // the way to 5083 runs out of it.
    const StringBlocks shortBlocks = {{307, std::wstring(12, L'\0') + L"\x3Xid\xFFFFYY"},
                                      {318, L"\x7FFFZZ"}};
    // The staged enuSEMk.dll, its string blocks 307 and 318 cut short or not, deuSEMk.dll beside.
    struct Case {
        std::string name, bytes;
        bool bShortBlocks, bGerman;
        Texts expected;
    };
    std::vector<Case> cases = {
        {"intact", english, false, true, kEnglish},
        {"text", "enu is not a library\r\n", false, true, kGerman},
        {"MZ and garbage", "MZ" + Garbage(english.size()), false, true, kGerman},
        {"short blocks", english, true, true, {"Xid", kGerman[1], kGerman[2]}},
        {"first half alone", english.substr(0, english.size() / 2), false, false, {"", "", ""}},
        {"garbage alone", Garbage(4096), false, false, {"", "", ""}},
        {"short blocks alone", english, true, false, {"Xid", "", ""}},
    };
    // Cut in the headers, the resource directory, the texts, and the padding after them: a file
    // that is not whole is refused, even where the lost part held no text.
    for (const size_t nLength : {size_t{512}, english.size() * 41 / 64, english.size() * 3 / 4,
                                 english.size() * 13 / 16, english.size() - 100})
        cases.push_back({"first " + std::to_string(nLength) + " bytes", english.substr(0, nLength),
                         false, true, kGerman});
    for (const auto& c : cases) {
        Stage stage;
        stage.Write("enuSEMk.dll", c.bytes);
        EXPECT_TRUE(!c.bShortBlocks || WriteStringBlocks(stage("enuSEMk.dll"), shortBlocks, false));
        if (!c.bGerman) stage.Remove("deuSEMk.dll");
        // Texts are no part of the start: it succeeds whatever the libraries hold.
        EXPECT_EQ(Drive(stage), Expected(true, c.expected)) << c.name;
    }
}

// Options that cannot be used leave the first language the folder lists; a change of the
// language, in the file (one of another size, as an editor leaves it) or at the server, takes
// effect at the next call.
TEST(Faults, UnusableOptionsLeaveTheFirstLanguageAndAChangeShowsAtTheNextCall) {
    OptionServer server;
    const std::string chooseOther = "[0x00000002]\r\nType=BSTR\r\nValue=<other>\r\n",
                      chooseFirst = "[0x00000002]\r\nType=BSTR\r\nValue=<first>\r\n";
    const struct {
        const char* pszCase;
        std::string options;  // velOptions.reg; empty: none; "<other>" stands for the language
        std::string answers;  // the server's answers
        bool bOther;          // the other language is chosen, not the first
        std::string options2 = "", answers2 = "";  // changed between two calls (to the other one)
    } cases[] = {
        {"file chooses", Options("<other>"), "", true},
        {"server chooses", "", chooseOther, true},
        {"garbage file, server chooses", Garbage(8192), chooseOther, true},
        {"garbage file, no answers", Garbage(8192), "", false},
        {"no switch, server not made", Options("<other>", false),
         "[Server]\r\nCreateResult=0x80004005\r\n", false},
        {"option 2 a number", "", "[0x00000002]\r\nType=I4\r\nValue=7\r\n", false},
        {"garbage answers", "", Garbage(8192), false},
        {"file changes", Options("<first>"), chooseOther, false, Options("<other>") + "\r\n"},
        {"server changes", Options("<other>", false), chooseFirst, false, "", chooseOther},
    };
    for (const auto& c : cases) {
        Stage stage;
        // The language the folder lists first is the one without option.
        WIN32_FIND_DATAA found;
        FindClose(FindFirstFileA(stage("???SEMk.dll").c_str(), &found));
        const std::string first(found.cFileName, 3), other = first == "enu" ? "deu" : "enu";
        const auto fill = [&](const std::string& text) {
            return std::regex_replace(std::regex_replace(text, std::regex("<other>"), other),
                                      std::regex("<first>"), first);
        };
        stage.Remove("velOptions.reg");
        if (!c.options.empty()) stage.Write("velOptions.reg", fill(c.options));
        server.Answer(fill(c.answers));
        const Texts& before = (c.bOther ? other : first) == "enu" ? kEnglish : kGerman;
        const bool bChanges = !c.options2.empty() || !c.answers2.empty();
        const Texts& after = bChanges ? (other == "enu" ? kEnglish : kGerman) : before;
        const auto change = [&] {
            if (!c.options2.empty()) stage.Write("velOptions.reg", fill(c.options2));
            if (!c.answers2.empty()) server.Answer(fill(c.answers2));
        };
        EXPECT_EQ(Drive(stage, change), Expected(true, {before[0], after[1], after[2]}))
            << c.pszCase;
    }
}
