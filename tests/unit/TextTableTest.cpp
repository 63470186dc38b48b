#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "text/TextTable.h"
#include "text/WideText.h"

namespace {

using Texts = std::map<UINT, std::wstring>;

// The test program's folder, where the shipped language libraries lie.
std::string ProgramDir() {
    char name[MAX_PATH];
    const std::string path(name, GetModuleFileNameA(nullptr, name, MAX_PATH));
    return path.substr(0, path.rfind('\\') + 1);
}

// The text in the system code page.
std::string Ansi(const std::wstring& text) {
    char out[256];
    const int n =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return std::string(out, n > 0 ? n - 1 : 0);
}

// The text of an id, or "<none>" when the lookup left its output as it was.
std::string Text(const CTextTable& table, UINT id) {
    CStrBuf out("<none>");
    const StatusWord status = table.Lookup(id, out);
    EXPECT_EQ(status == ST_OK, !out.Equals("<none>")) << id;
    return out.CStr();
}

// A temporary folder with a host module loaded from it as the tray library would be. Its language
// libraries are copies of the shipped English library with their resources replaced.
class CLangFolder {
  public:
    CLangFolder() {
        static int serial = 0;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "velTextTable" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++serial) + "\\";
        CreateDirectoryA(m_dir.c_str(), nullptr);
        CopyIn("enuSEMk.dll", "velTrayLib.dll");
        m_hHost = LoadLibraryA((m_dir + "velTrayLib.dll").c_str());
        EXPECT_NE(m_hHost, nullptr) << "enuSEMk.dll must lie beside the test program";
    }
    ~CLangFolder() {
        FreeLibrary(m_hHost);
        for (const std::string& name : Listing("*")) DeleteFileA((m_dir + name).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    // The module standing in for the tray library.
    HMODULE Host() const { return m_hHost; }
    // Copies a file from beside the test program into the folder, under its own or a new name.
    void CopyIn(const std::string& shipped, const std::string& name = "") {
        ASSERT_TRUE(CopyFileA((ProgramDir() + shipped).c_str(),
                              (m_dir + (name.empty() ? shipped : name)).c_str(), FALSE))
            << shipped;
    }
    // A library with the texts in standard blocks (16 entries of length and characters). Damaged
    // blocks are staged beside the built library by the fault program (tests/faults).
    void AddLibrary(const std::string& name, const Texts& texts) {
        CopyIn("enuSEMk.dll", name);
        std::map<WORD, std::wstring[16]> entries;
        for (const auto& [id, text] : texts)
            entries[static_cast<WORD>(id / 16 + 1)][id % 16] = text;
        const HANDLE hUpdate = BeginUpdateResourceA((m_dir + name).c_str(), TRUE);
        ASSERT_NE(hUpdate, nullptr);
        for (const auto& [block, slots] : entries) {
            std::wstring words;
            for (const std::wstring& text : slots)
                words += static_cast<wchar_t>(text.size()) + text;
            ASSERT_TRUE(UpdateResourceA(hUpdate, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(block), 0,
                                        &words[0],
                                        static_cast<DWORD>(words.size() * sizeof(wchar_t))));
        }
        ASSERT_TRUE(EndUpdateResourceA(hUpdate, FALSE));
    }
    // Names matching the pattern, in the file system's order.
    std::vector<std::string> Listing(const char* pattern = "???SEMk.dll") const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE hFind = FindFirstFileA((m_dir + pattern).c_str(), &found);
        for (BOOL more = hFind != INVALID_HANDLE_VALUE; more; more = FindNextFileA(hFind, &found)) {
            names.push_back(found.cFileName);
        }
        if (hFind != INVALID_HANDLE_VALUE) FindClose(hFind);
        return names;
    }
    // Files of this folder mapped as data files into this process.
    int MappedFiles() const {
        using GetMappedFileNameFn = DWORD(WINAPI*)(HANDLE, LPVOID, LPSTR, DWORD);
        static const auto getMappedFileName =
            reinterpret_cast<GetMappedFileNameFn>(reinterpret_cast<void (*)()>(
                GetProcAddress(LoadLibraryA("psapi.dll"), "GetMappedFileNameA")));
        const std::string folder = m_dir.substr(m_dir.rfind('\\', m_dir.size() - 2));
        int count = 0;
        MEMORY_BASIC_INFORMATION info;
        for (BYTE* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
             p = static_cast<BYTE*>(info.BaseAddress) + info.RegionSize) {
            char name[MAX_PATH];
            if (info.Type == MEM_MAPPED && info.BaseAddress == info.AllocationBase &&
                getMappedFileName(GetCurrentProcess(), info.BaseAddress, name, MAX_PATH) > 0 &&
                strstr(name, folder.c_str()) != nullptr) {
                ++count;
            }
        }
        return count;
    }

  private:
    // The folder, ending with a backslash.
    std::string m_dir;
    // The module whose folder the table searches.
    HMODULE m_hHost;
};

}  // namespace

TEST(TextTable, LoadsNineAcceptedLibrariesInFolderOrder) {
    CLangFolder folder;
    std::map<std::string, std::string> codes;
    for (int k = 0; k < 10; ++k) {
        const std::string code = "k0" + std::to_string(k);
        codes["w0" + std::to_string(k) + "SEMk.dll"] = code;
        const std::wstring wideCode(code.begin(), code.end());
        folder.AddLibrary("w0" + std::to_string(k) + "SEMk.dll",
                          {{2, wideCode}, {100, wideCode}, {1000u + k, L"x"}});
    }
    folder.AddLibrary("VeLSEMk.dll", {{2, L"vel"}, {1100, L"x"}});
    folder.AddLibrary("twoSEMk.dll", {{2, L"tw"}, {1101, L"x"}});
    folder.AddLibrary("forSEMk.dll", {{2, L"four"}, {1102, L"x"}});
    folder.AddLibrary("nonSEMk.dll", {{3, L"abc"}, {1103, L"x"}});
    folder.AddLibrary("abcdSEMk.dll", {{2, L"abd"}, {1104, L"x"}});

    std::vector<std::string> accepted;
    for (const std::string& name : folder.Listing()) {
        if (codes.count(name) != 0) accepted.push_back(name);
    }
    ASSERT_EQ(accepted.size(), 10u);

    CTextTable table;
    ASSERT_EQ(table.Load(folder.Host()), ST_OK);
    EXPECT_EQ(folder.MappedFiles(), 9);
    EXPECT_EQ(Text(table, 100), codes[accepted[0]]);
    for (size_t i = 0; i < accepted.size(); ++i) {
        const UINT id = 1000 + accepted[i][2] - '0';
        EXPECT_EQ(Text(table, id) == "x", i < 9) << accepted[i];
        EXPECT_EQ(table.SelectLanguage(codes[accepted[i]].c_str()), i < 9 ? ST_OK : ST_E_NOTFOUND);
    }
    for (UINT id = 1100; id <= 1104; ++id) EXPECT_EQ(Text(table, id), "<none>") << id;
    EXPECT_EQ(table.SelectLanguage("vel"), ST_E_NOTFOUND);
}

TEST(TextTable, SelectsLanguagesAndFallsThroughInLoadOrder) {
    CLangFolder folder;
    folder.AddLibrary("aaaSEMk.dll", {{2, L"abc"}, {100, L"A"}, {700, L"A"}, {800, L""}});
    folder.AddLibrary("bbbSEMk.dll", {{2, L"DEF"}, {100, L"B"}, {700, L"B"}, {800, L"B"}});
    folder.AddLibrary("cccSEMk.dll", {{2, L"ghi"},
                                      {100, L"C"},
                                      {800, L"C"},
                                      {1001, L"Gr\u00fc\u00dfe"},
                                      {1002, L"a\u4e00"},
                                      {1003, std::wstring(3000, L'x')}});
    std::string order;
    for (const std::string& name : folder.Listing()) order += static_cast<char>(toupper(name[0]));

    CTextTable table;
    ASSERT_EQ(table.Load(folder.Host()), ST_OK);
    EXPECT_EQ(Text(table, 100), order.substr(0, 1));
    EXPECT_EQ(table.SelectLanguage(nullptr), 0);
    EXPECT_EQ(table.SelectLanguage("ABC"), ST_OK);
    EXPECT_EQ(table.SelectLanguage("def"), ST_OK);
    for (const char* unknown : {"", "de", "defg", "xyz"}) {
        EXPECT_EQ(table.SelectLanguage(unknown), ST_E_NOTFOUND);
    }
    EXPECT_EQ(Text(table, 100), "B");

    ASSERT_EQ(table.SelectLanguage("GHI"), ST_OK);
    EXPECT_EQ(Text(table, 700), order.substr(order.find_first_of("AB"), 1));
    ASSERT_EQ(table.SelectLanguage("abc"), ST_OK);
    EXPECT_EQ(Text(table, 800), order.substr(order.find_first_of("BC"), 1));
    EXPECT_EQ(Text(table, 1001), Ansi(L"Gr\u00fc\u00dfe"));
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(Text(table, 1002), std::string("a") + static_cast<char>(info.DefaultChar[0]));
    EXPECT_EQ(Text(table, 1003), std::string(2023, 'x'));
    // An id beyond 16 bits must not alias the text whose block name it would truncate to.
    EXPECT_EQ(Text(table, 0x100064), "<none>");
}

TEST(TextTable, LoadReleasesTheLibrariesOfTheLastLoad) {
    CLangFolder first, second, empty;
    first.AddLibrary("oneSEMk.dll", {{2, L"one"}, {100, L"1"}});
    first.AddLibrary("twoSEMk.dll", {{2, L"two"}, {100, L"2"}});
    second.AddLibrary("thrSEMk.dll", {{2, L"thr"}, {200, L"3"}});
    {
        CTextTable table;
        ASSERT_EQ(table.Load(first.Host()), ST_OK);
        EXPECT_EQ(first.MappedFiles(), 2);
        ASSERT_EQ(table.Load(second.Host()), ST_OK);
        EXPECT_EQ(first.MappedFiles(), 0);
        EXPECT_EQ(Text(table, 100), "<none>");
        EXPECT_EQ(Text(table, 200), "3");
        EXPECT_EQ(table.SelectLanguage("one"), ST_E_NOTFOUND);
        ASSERT_EQ(table.Load(second.Host()), ST_OK);
        EXPECT_EQ(second.MappedFiles(), 1);
    }
    EXPECT_EQ(second.MappedFiles(), 0);

    CTextTable table;
    EXPECT_EQ(table.Load(empty.Host()), ST_E_NOTFOUND);
    EXPECT_EQ(table.Load(reinterpret_cast<HMODULE>(0x10)), ST_E_NOTFOUND);
    EXPECT_EQ(Text(table, 2), "<none>");
}

TEST(TextTable, ShippedLibrariesCarryEveryTextTheLibraryUses) {
    const std::map<std::string, std::wstring> verify = {{"DEU", L"Signatur &pr\u00fcfen..."},
                                                        {"enu", L"&Verify signature..."}};
    for (const auto& [code, text] : verify) {
        CLangFolder folder;
        folder.CopyIn(code + "SEMk.dll");
        CTextTable table;
        ASSERT_EQ(table.Load(folder.Host()), ST_OK);
        EXPECT_EQ(table.SelectLanguage(code.c_str()), ST_OK);
        EXPECT_EQ(Text(table, 6001), Ansi(text));
        for (UINT id : {4783, 4784, 4785, 4786, 4908, 4909, 5081, 5083, 5424, 6000, 6002, 6010}) {
            EXPECT_NE(Text(table, id), "<none>") << code << " " << id;
        }
    }
}

TEST(WideText, RefusesEmptyTextsAndKeepsThePreviousOne) {
    CWideText text;
    ASSERT_EQ(text.AssignAnsi("abc"), ST_OK);
    EXPECT_EQ(text.AssignAnsi(nullptr), ST_E_INVALIDARG);
    EXPECT_EQ(text.AssignAnsi(""), ST_E_INVALIDARG);
    EXPECT_EQ(text.AssignWide(nullptr), ST_E_INVALIDARG);
    EXPECT_EQ(text.AssignWide(L""), ST_E_INVALIDARG);
    EXPECT_STREQ(text.CStr(), L"abc");
    EXPECT_EQ(text.Length(), 3u);
}
