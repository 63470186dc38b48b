// The string buffer: exact growth and block reuse, queries on empty values, replacing, numbers as
// text, adopted blocks, the module's folder and the status of the last error.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "text/StrBuf.h"

namespace {

// A buffer's text and capacity as "text/capacity".
std::string State(const CStrBuf& s) {
    return std::string(s.CStr(), s.Length()) + "/" + std::to_string(s.Capacity());
}

}  // namespace

TEST(StrBuf, GrowsExactlyReusesBlocksAndReplaces) {
    CStrBuf s("abc");
    std::unique_ptr<CStrBuf> pCopy;
    // Each step's result (0 for none) and the state of s afterwards.
    const struct {
        std::function<long()> step;
        long nResult;
        const char* pszState;
    } steps[] = {
        {[] { return 0; }, 0, "abc/4"},
        {[&] { return s.Append("de"), 0; }, 0, "abcde/6"},
        {[&] { return s.SetLength(1), s.Append("xy"), 0; }, 0, "axy/6"},
        {[&] { return s.Append(s), 0; }, 0, "axyaxy/7"},
        {[&] { return s.Allocate(3); }, 1, "axy/7"},
        {[&] {
             const long nResult = s.Allocate(7) * 10 + s.Length();
             return s.Assign("axy"), nResult;
         },
         17, "axy/8"},
        // A copy is a text of its own; Right writes the right end of the text into another.
        {[&] {
             pCopy.reset(new CStrBuf(s.Assign("keep")));
             return s.Assign("other"), s.Right(s, 3), pCopy->Equals("keep") == ST_OK;
         },
         1, "her/8"},
        {[&] { return s.Right(*pCopy, 10), pCopy->Equals("her") == ST_OK; }, 1, "her/8"},
        {[&] { return s.Assign("%1 and %1").ReplaceAll("%1", "Tessaroth"); }, 2,
         "Tessaroth and Tessaroth/24"},
        {[&] { return s.ReplaceAll("Tessaroth", "T"); }, 2, "T and T/24"},
        {[&] { return s.ReplaceAll("", "x") + s.ReplaceAll("zz", "x"); }, 0, "T and T/24"},
        {[&] { return s.Assign("a\\\\\\b").ReplaceAll("\\\\", "\\"); }, 1, "a\\\\b/24"},
        {[&] { return s.Assign("abab").ReplaceAll("ab", ""); }, 2, "/24"},
        {[&] { return s.Assign(nullptr), 0; }, 0, "/0"},
        {[&] { return s.Allocate(0xFFFFFFF0u); }, ST_E_OUTOFMEMORY, "/0"},
        {[&] { return s.Allocate(0xFFFFFFFFu); }, ST_E_OUTOFMEMORY, "/0"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(step.step(), step.nResult) << step.pszState;
        EXPECT_EQ(State(s), step.pszState);
    }
    // Every empty value shares one terminator.
    EXPECT_EQ(s.Assign("x").ReplaceAll("x", ""), 1u);
    EXPECT_EQ(s.CStr(), CStrBuf().CStr());
}

TEST(StrBuf, QueriesTreatEveryEmptyValueAlike) {
    CStrBuf none, cut("abc");
    cut.SetLength(0);
    ASSERT_NE(none.CStr(), nullptr);
    EXPECT_EQ(cut.CStr(), none.CStr());
    for (const CStrBuf* empty : {&none, &cut}) {
        EXPECT_NE(empty->Equals(nullptr), 0);
        EXPECT_EQ(std::vector<int>({empty->Equals(""), empty->EqualsBytes("x", 0),
                                    empty->Compare("x", 0) == 0, empty->Compare("x", 1) != 0,
                                    empty->Find("", 0), empty->ReverseFind('\0')}),
                  std::vector<int>({ST_OK, ST_OK, 1, 1, -1, -1}));
    }
    CStrBuf s("aBcB");
    EXPECT_EQ(std::vector<int>({s.Equals(nullptr), s.Equals("aBc"), s.EqualsBytes("aBcBx", 4),
                                s.Compare("aBcC", 4) != 0, s.Compare("aBcB", 5) != 0,
                                s.Find("B", -5), s.Find("B", 2), s.Find("B", 4), s.Find(nullptr, 0),
                                s.ReverseFind('B'), s.ReverseFind('x')}),
              std::vector<int>({0, 0, ST_OK, 1, 1, 1, 3, -1, -1, 3, -1}));
    s.ToLower();
    EXPECT_EQ(s.Equals("abcb"), ST_OK);
}

TEST(StrBuf, NumbersBlocksFoldersAndErrors) {
    CStrBuf s("old");
    const auto number = [&s](std::int32_t nValue, int nRadix, std::uint32_t nWidth) {
        return s.FromInteger(nValue, nRadix, nWidth) == 1 ? std::string(s.CStr(), s.Length()) : "";
    };
    EXPECT_EQ(number(static_cast<std::int32_t>(0x80000000u), 16, 8), "80000000");
    EXPECT_EQ(number(255, 16, 8), "000000ff");
    EXPECT_EQ(number(-42, 10, 0), "-42");
    EXPECT_EQ(number(-1, 2, 0), std::string(32, '1'));
    EXPECT_EQ(number(123456, 10, 3), "123456");
    // Adopted blocks: kept as they are, or cut to the length.
    char* pKept = static_cast<char*>(malloc(16));
    strcpy(pKept, "hi");
    ASSERT_EQ(s.Adopt(pKept, 2, CStrBuf::ADOPT_KEEP_BLOCK), ST_OK);
    EXPECT_EQ(s.CStr(), pKept);
    EXPECT_EQ(State(s), "hi/3");
    char* pResized = static_cast<char*>(malloc(16));
    strcpy(pResized, "hello world");
    ASSERT_EQ(s.Adopt(pResized, 5, 0), ST_OK);
    EXPECT_EQ(State(s), "hello/6");
    // The module's folder, and the status words of errors.
    ASSERT_EQ(s.SetModuleDirectory(GetModuleHandleA(nullptr)), 1);
    EXPECT_EQ(s.CStr(), ProgramFolder());
    const StatusWord nFailed = s.SetModuleDirectory(reinterpret_cast<HMODULE>(0x10));
    EXPECT_LT(nFailed, 0);
    EXPECT_EQ(nFailed, StatusFromLastError());
    for (const auto& [nError, nStatus] :
         {std::pair<DWORD, DWORD>{0, 0}, {5, 0xEFFF0005u}, {0x80070005u, 0x80070005u}}) {
        SetLastError(nError);
        EXPECT_EQ(StatusFromLastError(), static_cast<StatusWord>(nStatus));
    }
}
