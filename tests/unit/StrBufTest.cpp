// The string buffer: exact growth and block reuse, queries on empty values, replacing,
// numbers as text, adopted blocks, the module's folder and the status of the last error.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "text/StrBuf.h"

TEST(StrBuf, GrowsExactlyAndReusesBlocks) {
    CStrBuf s("abc");
    EXPECT_EQ(s.Capacity(), 4u);
    s.Append("de");
    EXPECT_STREQ(s.CStr(), "abcde");
    EXPECT_EQ(s.Capacity(), 6u);

    s.SetLength(1);
    s.Append("xy");
    EXPECT_STREQ(s.CStr(), "axy");
    EXPECT_EQ(s.Capacity(), 6u);

    s.Append(s);
    EXPECT_STREQ(s.CStr(), "axyaxy");
    EXPECT_EQ(s.Capacity(), 7u);

    ASSERT_EQ(s.Allocate(3), 1);
    EXPECT_STREQ(s.CStr(), "axy");
    EXPECT_EQ(s.Capacity(), 7u);
    ASSERT_EQ(s.Allocate(7), 1);
    EXPECT_EQ(s.Length(), 7u);
    EXPECT_EQ(s.Capacity(), 8u);

    CStrBuf copy(s.Assign("keep"));
    s.Assign("other");
    EXPECT_STREQ(copy.CStr(), "keep");
    s.Right(s, 3);
    EXPECT_STREQ(s.CStr(), "her");
    s.Right(copy, 10);
    EXPECT_STREQ(copy.CStr(), "her");

    s.Assign(nullptr);
    EXPECT_EQ(s.Capacity(), 0u);
    EXPECT_EQ(s.Allocate(0xFFFFFFF0u), ST_E_OUTOFMEMORY);
    EXPECT_EQ(s.Allocate(0xFFFFFFFFu), ST_E_OUTOFMEMORY);
    EXPECT_EQ(s.Capacity(), 0u);
    EXPECT_STREQ(s.CStr(), "");
}

TEST(StrBuf, QueriesTreatEveryEmptyValueAlike) {
    CStrBuf none;
    ASSERT_NE(none.CStr(), nullptr);
    CStrBuf cut("abc");
    cut.SetLength(0);
    EXPECT_EQ(cut.CStr(), none.CStr());
    for (const CStrBuf* empty : {&none, &cut}) {
        EXPECT_NE(empty->Equals(nullptr), 0);
        EXPECT_EQ(empty->Equals(""), ST_OK);
        EXPECT_EQ(empty->EqualsBytes("x", 0), ST_OK);
        EXPECT_EQ(empty->Compare("x", 0), 0);
        EXPECT_NE(empty->Compare("x", 1), 0);
        EXPECT_EQ(empty->Find("", 0), -1);
        EXPECT_EQ(empty->ReverseFind('\0'), -1);
    }

    CStrBuf s("aBcB");
    EXPECT_EQ(s.Equals(nullptr), 0);
    EXPECT_EQ(s.Equals("aBc"), 0);
    EXPECT_EQ(s.EqualsBytes("aBcBx", 4), ST_OK);
    EXPECT_NE(s.Compare("aBcC", 4), 0);
    EXPECT_NE(s.Compare("aBcB", 5), 0);
    EXPECT_EQ(s.Find("B", -5), 1);
    EXPECT_EQ(s.Find("B", 2), 3);
    EXPECT_EQ(s.Find("B", 4), -1);
    EXPECT_EQ(s.Find(nullptr, 0), -1);
    EXPECT_EQ(s.ReverseFind('B'), 3);
    EXPECT_EQ(s.ReverseFind('x'), -1);
    s.ToLower();
    EXPECT_EQ(s.Equals("abcb"), ST_OK);
}

TEST(StrBuf, ReplaceAll) {
    CStrBuf s("a\\\\\\b");
    EXPECT_EQ(s.ReplaceAll("\\\\", "\\"), 1u);
    EXPECT_STREQ(s.CStr(), "a\\\\b");

    s.Assign("%1 and %1");
    EXPECT_EQ(s.ReplaceAll("%1", "Tessaroth"), 2u);
    EXPECT_STREQ(s.CStr(), "Tessaroth and Tessaroth");
    EXPECT_EQ(s.Capacity(), 24u);
    EXPECT_EQ(s.ReplaceAll("Tessaroth", "T"), 2u);
    EXPECT_STREQ(s.CStr(), "T and T");
    EXPECT_EQ(s.Capacity(), 24u);

    EXPECT_EQ(s.ReplaceAll("", "x"), 0u);
    EXPECT_EQ(s.ReplaceAll("zz", "x"), 0u);
    EXPECT_STREQ(s.CStr(), "T and T");

    s.Assign("abab");
    EXPECT_EQ(s.ReplaceAll("ab", ""), 2u);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.CStr(), CStrBuf().CStr());
}

TEST(StrBuf, FromIntegerPadsAndShowsBitPatterns) {
    CStrBuf s;
    auto text = [&s](std::int32_t value, int radix, std::uint32_t width) {
        return s.FromInteger(value, radix, width) == 1 ? std::string(s.CStr(), s.Length()) : "";
    };
    EXPECT_EQ(text(static_cast<std::int32_t>(0x80000000u), 16, 8), "80000000");
    EXPECT_EQ(text(255, 16, 8), "000000ff");
    EXPECT_EQ(text(-42, 10, 0), "-42");
    EXPECT_EQ(text(-1, 2, 0), std::string(32, '1'));
    EXPECT_EQ(text(123456, 10, 3), "123456");
}

TEST(StrBuf, AdoptsBlocks) {
    CStrBuf s("old");
    char* kept = static_cast<char*>(malloc(16));
    strcpy(kept, "hi");
    ASSERT_EQ(s.Adopt(kept, 2, CStrBuf::ADOPT_KEEP_BLOCK), ST_OK);
    EXPECT_EQ(s.CStr(), kept);
    EXPECT_EQ(s.Length(), 2u);
    EXPECT_EQ(s.Capacity(), 3u);

    char* resized = static_cast<char*>(malloc(16));
    strcpy(resized, "hello world");
    ASSERT_EQ(s.Adopt(resized, 5, 0), ST_OK);
    EXPECT_STREQ(s.CStr(), "hello");
    EXPECT_EQ(s.Capacity(), 6u);
}

TEST(StrBuf, ModuleDirectoryAndLastError) {
    char name[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, name, MAX_PATH), 0u);
    std::string expected(name);
    expected.erase(expected.rfind('\\') + 1);

    CStrBuf dir;
    ASSERT_EQ(dir.SetModuleDirectory(GetModuleHandleA(nullptr)), 1);
    EXPECT_STREQ(dir.CStr(), expected.c_str());
    const StatusWord failed = dir.SetModuleDirectory(reinterpret_cast<HMODULE>(0x10));
    EXPECT_LT(failed, 0);
    EXPECT_EQ(failed, StatusFromLastError());

    SetLastError(0);
    EXPECT_EQ(StatusFromLastError(), 0);
    SetLastError(5);
    EXPECT_EQ(StatusFromLastError(), static_cast<StatusWord>(0xEFFF0005u));
    SetLastError(0x80070005u);
    EXPECT_EQ(StatusFromLastError(), static_cast<StatusWord>(0x80070005u));
}
