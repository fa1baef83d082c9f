// wsprintfW conversions as the programs use them, on winsim and Wine alike.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(WsprintfTest, LowerCaseSIsWideAndUpperCaseSIsNarrow) {
    WCHAR buffer[64];
    EXPECT_EQ(11, wsprintfW(buffer, L"%s|%S", L"wide", "narrow"));
    EXPECT_STREQ(L"wide|narrow", buffer);
    wsprintfW(buffer, L"%ls %hs", L"a", "b");
    EXPECT_STREQ(L"a b", buffer);
}

TEST(WsprintfTest, NarrowTextWidensByteForCharacter) {
    WCHAR buffer[64];
    wsprintfW(buffer, L"%S/255.255.255.255", "caf\xe9");
    EXPECT_STREQ(L"caf\u00e9/255.255.255.255", buffer);
}

TEST(WsprintfTest, IntegersAndHexadecimalWithPadding) {
    WCHAR buffer[64];
    wsprintfW(buffer, L"%d %d %u", 42, -7, 3000000000u);
    EXPECT_STREQ(L"42 -7 3000000000", buffer);
    HRESULT refused = static_cast<HRESULT>(0x80070005);
    wsprintfW(buffer, L"0x%08lx\n", refused);
    EXPECT_STREQ(L"0x80070005\n", buffer);
    wsprintfW(buffer, L"0x%08lx|%X|%5d|%-3d|", static_cast<HRESULT>(0x1F), 0xABu, 12, 4);
    EXPECT_STREQ(L"0x0000001f|AB|   12|4  |", buffer);
}

TEST(WsprintfTest, PercentSignsAndCharacters) {
    WCHAR buffer[64];
    wsprintfW(buffer, L"%%%d %c%C", 22, L'w', 'n');
    EXPECT_STREQ(L"%22 wn", buffer);
}

TEST(WsprintfTest, OutputIsBoundedAt1024Characters) {
    static WCHAR buffer[2048];
    std::wstring longText(1500, L'x');
    EXPECT_LE(wsprintfW(buffer, L"%s", longText.c_str()), 1024);
    EXPECT_EQ(1023u, wcslen(buffer));
}

}  // namespace
