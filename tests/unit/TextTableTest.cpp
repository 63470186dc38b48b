// The localised text table over language libraries written by the test, and the shipped ones.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "text/TextTable.h"

namespace {

// The text of an id, or "<none>" when the lookup left its output as it was.
std::string Text(const CTextTable& table, UINT id) {
    CStrBuf out("<none>");
    const StatusWord status = table.Lookup(id, out);
    EXPECT_EQ(status == ST_OK, !out.Equals("<none>")) << id;
    return out.CStr();
}

// A folder with a module loaded from it as the tray library would be, and language libraries that
// are copies of the shipped English library with texts of the test's own.
struct LangFolder : TempFolder {
    LangFolder() : hHost((Copy("enuSEMk.dll", "velTrayLib.dll"), Load("velTrayLib.dll"))) {}
    void Add(const std::string& name, const std::map<UINT, std::wstring>& texts) {
        EXPECT_TRUE(Copy("enuSEMk.dll", name) &&
                    WriteStringBlocks((*this)(name), BlocksOf(texts), true))
            << name;
    }
    // Names of language libraries (or of those that match a pattern) in the file system's order.
    std::vector<std::string> Listing(const char* pszPattern = "???SEMk.dll") const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE hFind = FindFirstFileA((*this)(pszPattern).c_str(), &found);
        for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore;
             bMore = FindNextFileA(hFind, &found))
            names.push_back(found.cFileName);
        FindClose(hFind);
        return names;
    }
    // Files of this folder mapped as data files into this process.
    int Mapped() const {
        static const auto pfnMappedName =
            reinterpret_cast<DWORD(WINAPI*)(HANDLE, LPVOID, LPSTR, DWORD)>(reinterpret_cast<void*>(
                GetProcAddress(LoadLibraryA("psapi.dll"), "GetMappedFileNameA")));
        const std::string folder = (*this)().substr((*this)().rfind('\\', (*this)().size() - 2));
        int nCount = 0;
        MEMORY_BASIC_INFORMATION info;
        char szName[MAX_PATH];
        for (BYTE* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
             p = static_cast<BYTE*>(info.BaseAddress) + info.RegionSize)
            nCount += info.Type == MEM_MAPPED && info.BaseAddress == info.AllocationBase &&
                      pfnMappedName(GetCurrentProcess(), info.BaseAddress, szName, MAX_PATH) > 0 &&
                      strstr(szName, folder.c_str()) != nullptr;
        return nCount;
    }
    HMODULE hHost;  // the module whose folder the table searches
};

}  // namespace

TEST(TextTable, LoadsNineAcceptedLibrariesInFolderOrderAndReleasesThemAtTheNextLoad) {
    LangFolder folder, second, empty;
    for (int k = 0; k < 10; ++k) {
        const std::wstring code = L"k0" + std::to_wstring(k);
        folder.Add("w0" + std::to_string(k) + "SEMk.dll",
                   {{2, code}, {100, code}, {1000u + k, L"x"}});
    }
    // Not accepted: a name beginning with "vel", codes of two and four letters, no code, a name
    // of four letters.
    UINT nId = 1100;
    for (const auto& [name, code] : std::map<std::string, std::wstring>{{"VeLSEMk.dll", L"vel"},
                                                                        {"twoSEMk.dll", L"tw"},
                                                                        {"forSEMk.dll", L"four"},
                                                                        {"nonSEMk.dll", L""},
                                                                        {"abcdSEMk.dll", L"abd"}})
        folder.Add(name, {{code.empty() ? 3 : 2, code.empty() ? L"abc" : code}, {nId++, L"x"}});
    second.Add("thrSEMk.dll", {{2, L"thr"}, {200, L"3"}});
    const std::vector<std::string> accepted = folder.Listing("w0?SEMk.dll");
    ASSERT_EQ(accepted.size(), 10u);
    {
        CTextTable table;
        ASSERT_EQ(table.Load(folder.hHost), ST_OK);
        EXPECT_EQ(folder.Mapped(), 9);
        EXPECT_EQ(Text(table, 100), "k0" + accepted[0].substr(2, 1));
        for (size_t i = 0; i < accepted.size(); ++i) {
            EXPECT_EQ(Text(table, 1000 + accepted[i][2] - '0') == "x", i < 9) << accepted[i];
            EXPECT_EQ(table.SelectLanguage(("k0" + accepted[i].substr(2, 1)).c_str()),
                      i < 9 ? ST_OK : ST_E_NOTFOUND);
        }
        for (UINT id = 1100; id < nId; ++id) EXPECT_EQ(Text(table, id), "<none>") << id;
        EXPECT_EQ(table.SelectLanguage("vel"), ST_E_NOTFOUND);
        // A new load gives back the libraries of the last one; so does the table's end.
        ASSERT_EQ(table.Load(second.hHost), ST_OK);
        EXPECT_EQ(folder.Mapped(), 0);
        EXPECT_EQ(Text(table, 100), "<none>");
        EXPECT_EQ(Text(table, 200), "3");
        EXPECT_EQ(table.SelectLanguage("k00"), ST_E_NOTFOUND);
        ASSERT_EQ(table.Load(second.hHost), ST_OK);
        EXPECT_EQ(second.Mapped(), 1);
    }
    EXPECT_EQ(second.Mapped(), 0);
    CTextTable table;
    EXPECT_EQ(table.Load(empty.hHost), ST_E_NOTFOUND);
    EXPECT_EQ(Text(table, 2), "<none>");
}

TEST(TextTable, SelectsLanguagesAndFallsThroughInLoadOrder) {
    LangFolder folder;
    folder.Add("aaaSEMk.dll", {{2, L"abc"}, {100, L"A"}, {700, L"A"}, {800, L""}});
    folder.Add("bbbSEMk.dll", {{2, L"DEF"}, {100, L"B"}, {700, L"B"}, {800, L"B"}});
    folder.Add("cccSEMk.dll",
               {{2, L"ghi"}, {100, L"C"}, {800, L"C"}, {1003, std::wstring(3000, L'x')}});
    std::string order;
    for (const std::string& name : folder.Listing()) order += static_cast<char>(toupper(name[0]));
    CTextTable table;
    ASSERT_EQ(table.Load(folder.hHost), ST_OK);
    EXPECT_EQ(Text(table, 100), order.substr(0, 1));
    // Codes in any case; nothing selected keeps the language.
    EXPECT_EQ(table.SelectLanguage(nullptr), 0);
    EXPECT_EQ(table.SelectLanguage("ABC"), ST_OK);
    EXPECT_EQ(table.SelectLanguage("def"), ST_OK);
    for (const char* pszUnknown : {"", "de", "defg", "xyz"})
        EXPECT_EQ(table.SelectLanguage(pszUnknown), ST_E_NOTFOUND);
    EXPECT_EQ(Text(table, 100), "B");
    // A text missing or empty in the current language comes from the first library that has one.
    ASSERT_EQ(table.SelectLanguage("GHI"), ST_OK);
    EXPECT_EQ(Text(table, 700), order.substr(order.find_first_of("AB"), 1));
    ASSERT_EQ(table.SelectLanguage("abc"), ST_OK);
    EXPECT_EQ(Text(table, 800), order.substr(order.find_first_of("BC"), 1));
    // Cut at 2023 characters.
    EXPECT_EQ(Text(table, 1003), std::string(2023, 'x'));
    // An id beyond 16 bits must not alias the text whose block name it would truncate to.
    EXPECT_EQ(Text(table, 0x100064), "<none>");
}
