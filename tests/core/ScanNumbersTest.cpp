#include "core/ScanNumbers.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

TEST(ScanNumbers, MatchesLikeScanf) {
    ScannedNumber f[4];
    EXPECT_EQ(ScanNumbers("1:2:3.5", "%ld:%ld:%ld.%ld", f), 4);
    EXPECT_EQ(f[3].value, 5);
    // Blanks before a number are skipped, literal characters must follow at once.
    EXPECT_EQ(ScanNumbers(" 1: 2:3", "%ld:%ld:%ld", f), 3);
    EXPECT_EQ(ScanNumbers("1 :2:3", "%ld:%ld:%ld", f), 1);
    // A blank in the format takes any run of white space, none included.
    EXPECT_EQ(ScanNumbers("2025 \t01  05", "%4d %02d %02d", f), 3);
    EXPECT_EQ(ScanNumbers("20250105", "%4d %02d %02d", f), 3);
    EXPECT_EQ(f[2].value, 5);
    // Text after the last directive is ignored.
    EXPECT_EQ(ScanNumbers("12:30:15 and more", "%ld:%ld:%ld", f), 3);
    EXPECT_EQ(ScanNumbers("", "%d", f), 0);
    EXPECT_EQ(ScanNumbers("100%", "%d%%", f), 1);
}

TEST(ScanNumbers, WidthCountsTheSignAndStopsTheDigits) {
    ScannedNumber f[4];
    EXPECT_EQ(ScanNumbers("094107.250", "%02d%02d%02d.%d", f), 4);
    EXPECT_EQ(f[0].value, 9);
    EXPECT_EQ(f[1].value, 41);
    EXPECT_EQ(f[2].value, 7);
    EXPECT_EQ(f[3].value, 250);
    EXPECT_EQ(ScanNumbers("-512", "%2d%d", f), 2);
    EXPECT_EQ(f[0].value, -5);
    EXPECT_EQ(f[0].sign, '-');
    EXPECT_EQ(f[1].value, 12);
    EXPECT_EQ(f[1].sign, 0);
    EXPECT_EQ(ScanNumbers("-", "%d", f), 0);
    EXPECT_EQ(ScanNumbers("-0", "%d", f), 1);
    EXPECT_EQ(f[0].sign, '-');
}

TEST(ScanNumbers, NumbersBeyond32BitsMakeTheTextUnreadable) {
    ScannedNumber f[2];
    EXPECT_EQ(ScanNumbers("2147483647", "%d", f), 1);
    EXPECT_EQ(f[0].value, 2147483647);
    EXPECT_EQ(ScanNumbers("-2147483648", "%d", f), 1);
    EXPECT_EQ(f[0].value, -2147483648LL);
    EXPECT_EQ(ScanNumbers("2147483648", "%d", f), kScanTooLarge);
    EXPECT_EQ(ScanNumbers("1:99999999999999999999999999", "%d:%d", f), kScanTooLarge);
    EXPECT_EQ(ScanNumbers("000000000000000000000042", "%d", f), 1);
    EXPECT_EQ(f[0].value, 42);
}

}  // namespace
}  // namespace lv
