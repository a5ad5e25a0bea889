// The names shared by the 3DO materials list and the MAT files.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "core/paths.h"
#include "writer3do/material_name.h"

namespace kesh {
namespace {

TEST(BaseName, IsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(BaseName("C:\\ships\\shuttle.3do"), "shuttle.3do");
    EXPECT_EQ(BaseName("/home/pilot/ships/tie.3do"), "tie.3do");
    EXPECT_EQ(BaseName("ships\\a/b.3do"), "b.3do");
    EXPECT_EQ(BaseName("ships/a\\b.3do"), "b.3do");
    EXPECT_EQ(BaseName("shuttle.3do"), "shuttle.3do");
    EXPECT_EQ(BaseName("ships/"), "");
    EXPECT_EQ(BaseName(""), "");
}

TEST(MaterialName, TakesFourCharactersAndFiveDigits) {
    EXPECT_EQ(MaterialName("shuttle.3do", 0), "shut_00000.mat");
    EXPECT_EQ(MaterialName("shuttle.3do", 1), "shut_00001.mat");
    EXPECT_EQ(MaterialName("shuttle.3do", 99999), "shut_99999.mat");
    EXPECT_EQ(MaterialName("shuttle.3do", 123456), "shut_123456.mat");
    EXPECT_EQ(MaterialName("shut2.3do", 7), "shut_00007.mat");
}

TEST(MaterialName, ShortBaseNamesTakeInTheExtension) {
    EXPECT_EQ(MaterialName("a.3do", 0), "a.3d_00000.mat");
    EXPECT_EQ(MaterialName("ab.3do", 0), "ab.3_00000.mat");
    EXPECT_EQ(MaterialName("abc.3do", 0), "abc._00000.mat");
    EXPECT_EQ(MaterialName("ab", 3), "ab_00003.mat");
    EXPECT_EQ(MaterialName("", 0), "_00000.mat");
}

TEST(MaterialName, NegativeIndicesFormatAsPrintfDoes) {
    EXPECT_EQ(MaterialName("shuttle.3do", -1), "shut_-00001.mat");
    EXPECT_EQ(MaterialName("shuttle.3do", std::numeric_limits<int32_t>::min()),
              "shut_-2147483648.mat");
    EXPECT_EQ(MaterialName("shuttle.3do", std::numeric_limits<int32_t>::max()),
              "shut_2147483647.mat");
}

TEST(MaterialName, AgreesWithPrintfForOrdinaryNames) {
    const char* bases[] = {"shuttle.3do", "x", "xy.3do", "MyShip.3do", "a-b_c.3do"};
    int32_t indices[] = {0, 5, 42, 12345, 100000, -7, -99999};
    for (const char* base : bases) {
        for (int32_t index : indices) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.4s_%.5d.mat", base, index);
            EXPECT_EQ(MaterialName(base, index), expected) << base << " " << index;
        }
    }
}

TEST(MaterialName, BlanksTabsAndHashesInThePrefixBecomeUnderscores) {
    EXPECT_EQ(MaterialName("a b.3do", 0), "a_b._00000.mat");
    EXPECT_EQ(MaterialName("#x\tyz.3do", 2), "_x_y_00002.mat");
    EXPECT_EQ(MaterialName("    ", 0), "_____00000.mat");
    // Only the characters taken into the name are looked at.
    EXPECT_EQ(MaterialName("abcd e#.3do", 0), "abcd_00000.mat");
    // Other characters, also bytes above 127, stay as they are.
    EXPECT_EQ(MaterialName("\xC3\xA9t\xC3\xA9.3do", 0), "\xC3\xA9t\xC3_00000.mat");
    EXPECT_EQ(MaterialName("a;b,c", 0), "a;b,_00000.mat");
}

TEST(MaterialName, StopsAtAZeroByteAsPrintfDoes) {
    EXPECT_EQ(MaterialName(std::string_view("ab\0cd", 5), 0), "ab_00000.mat");
}

}  // namespace
}  // namespace kesh
