// Text functions: wsprintfA with the formats the product uses and its 1024-character
// limit, lstrcmpiA folding case as code page 1252 does, lstrlenA of NULL.
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(Wsprintf, FormatsTheConversionsTheProductUses) {
    char out[128];
    EXPECT_EQ(wsprintfA(out, "%s%.8d.ex_", "C:\\Windows\\System\\", 1234567), 30);
    EXPECT_STREQ(out, "C:\\Windows\\System\\01234567.ex_");
    wsprintfA(out, "%s%.8d.ex_", "C:\\Windows\\System\\", 99999999);
    EXPECT_STREQ(out, "C:\\Windows\\System\\99999999.ex_");

    EXPECT_EQ(wsprintfA(out, "%d", -120), 4);
    EXPECT_STREQ(out, "-120");
    wsprintfA(out, "%d|%i|%u", INT_MIN, 0, 0xFFFFFFFFu);
    EXPECT_STREQ(out, "-2147483648|0|4294967295");
    wsprintfA(out, "%x %X %08x %#x", 0xABCu, 0xABCu, 0x1Fu, 0x1Fu);
    EXPECT_STREQ(out, "abc ABC 0000001f 0x1f");
    wsprintfA(out, "[%5d][%-5d][%05d][%.3d]", 42, 42, -42, 7);
    EXPECT_STREQ(out, "[   42][42   ][-0042][007]");
    wsprintfA(out, "[%4s][%-4s][%.2s][%c][%%][%ld]", "ab", "ab", "abcdef", 'Z', 5);
    EXPECT_STREQ(out, "[  ab][ab  ][ab][Z][%][5]");
    wsprintfA(out, "%s", static_cast<const char*>(nullptr));
    EXPECT_STREQ(out, "(null)");
}

TEST(Wsprintf, OutputStopsAt1024CharactersWithItsTerminator) {
    std::string longText(2000, 'x');
    std::vector<char> out(1100, '#');
    EXPECT_EQ(wsprintfA(out.data(), "%s tail", longText.c_str()), 1023);
    EXPECT_EQ(out[1022], 'x');
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(out[1024], '#');
}

TEST(TextCompare, CaseFoldsLikeCodePage1252AndNullIsEmpty) {
    EXPECT_EQ(lstrcmpiA("vtxpmo01.DLL", "VTXPMO01.dll"), 0);
    EXPECT_LT(lstrcmpiA("apple", "BANANA"), 0);
    EXPECT_GT(lstrcmpiA("b", "A"), 0);
    EXPECT_LT(lstrcmpiA("USB/a", "USB/ab"), 0);
    EXPECT_EQ(lstrcmpiA("\xC9T\xC9", "\xE9t\xE9"), 0); // E acute in both cases
    EXPECT_EQ(lstrcmpiA(nullptr, ""), 0);
    EXPECT_LT(lstrcmpiA(nullptr, "a"), 0);
    EXPECT_GT(lstrcmpiA("a", nullptr), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA("Draftaire"), 9);
}

} // namespace
