// The string buffer: exact growth and block reuse, queries on empty values, replacing, numbers as
// text, adopted blocks, the module's folder and the status of the last error.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "text/StrBuf.h"

namespace {

using Lines = std::vector<std::string>;

// A buffer's text and capacity as "text/capacity", after the result of the step that made it.
std::string State(const CStrBuf& s, long nResult = 0) {
    return std::to_string(nResult) + " " + std::string(s.CStr(), s.Length()) + "/" +
           std::to_string(s.Capacity());
}

}  // namespace

TEST(StrBuf, GrowsExactlyReusesBlocksAndReplaces) {
    CStrBuf s("abc"), keep;
    long nResult = 0;
    // A braced list runs its steps in order.
    const Lines steps = {
        State(s), State(s.Append("de")), (s.SetLength(1), State(s.Append("xy"))),
        State(s.Append(s)), State(s, s.Allocate(3)),
        (nResult = s.Allocate(7) * 10 + s.Length(), State(s.Assign("axy"), nResult)),
        // A copy is a text of its own; Right writes the right end of a text into another.
        (keep = CStrBuf(s.Assign("keep")), s.Assign("other"), s.Right(s, 3),
         keep.CStr() + State(s)),
        (s.Right(keep, 10), keep.CStr() + State(s)),
        State(s, s.Assign("%1 and %1").ReplaceAll("%1", "Tessaroth")),
        State(s, s.ReplaceAll("Tessaroth", "T")),
        State(s, s.ReplaceAll("", "x") + s.ReplaceAll("zz", "x")),
        State(s, s.Assign("a\\\\\\b").ReplaceAll("\\\\", "\\")),
        State(s, s.Assign("abab").ReplaceAll("ab", "")), State(s.Assign(nullptr)),
        State(s, s.Allocate(0xFFFFFFF0u)), State(s, s.Allocate(0xFFFFFFFFu))};
    const std::string oom = std::to_string(ST_E_OUTOFMEMORY) + " /0";
    EXPECT_EQ(steps,
              (Lines{"0 abc/4", "0 abcde/6", "0 axy/6", "0 axyaxy/7", "1 axy/7", "17 axy/8",
                     "keep0 her/8", "her0 her/8", "2 Tessaroth and Tessaroth/24", "2 T and T/24",
                     "0 T and T/24", "1 a\\\\b/24", "2 /24", "0 /0", oom, oom}));
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
    EXPECT_EQ((Lines{number(static_cast<std::int32_t>(0x80000000u), 16, 8), number(255, 16, 8),
                     number(-42, 10, 0), number(-1, 2, 0), number(123456, 10, 3)}),
              (Lines{"80000000", "000000ff", "-42", std::string(32, '1'), "123456"}));
    // Adopted blocks: kept as they are, or cut to the length.
    char* pKept = strcpy(static_cast<char*>(malloc(16)), "hi");
    ASSERT_EQ(s.Adopt(pKept, 2, CStrBuf::ADOPT_KEEP_BLOCK), ST_OK);
    EXPECT_EQ(s.CStr(), pKept);
    EXPECT_EQ(State(s), "0 hi/3");
    ASSERT_EQ(s.Adopt(strcpy(static_cast<char*>(malloc(16)), "hello world"), 5, 0), ST_OK);
    EXPECT_EQ(State(s), "0 hello/6");
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
