#include <gtest/gtest.h>

#include <clocale>

#include "engine/text_format.h"

namespace sorv {
namespace {

TEST(TextFormat, ScanDoubleReadsLikePercentLf) {
    double v = 0;
    size_t used = 0;
    EXPECT_TRUE(ScanDouble("12abc", v, &used));
    EXPECT_EQ(v, 12.0);
    EXPECT_EQ(used, 2u);
    EXPECT_TRUE(ScanDouble("  -0.5e1x", v));
    EXPECT_EQ(v, -5.0);
    EXPECT_TRUE(ScanDouble("404.5 LSB", v));
    EXPECT_EQ(v, 404.5);
    EXPECT_TRUE(ScanDouble(".25", v));
    EXPECT_EQ(v, 0.25);
    EXPECT_FALSE(ScanDouble("abc", v));
    EXPECT_FALSE(ScanDouble("nan", v));
    EXPECT_FALSE(ScanDouble("-inf", v));
    EXPECT_FALSE(ScanDouble("1e999", v));
    EXPECT_FALSE(ScanDouble("", v));
}

TEST(TextFormat, ScanIntReadsLikePercentD) {
    int v = 0;
    EXPECT_TRUE(ScanInt("1000.5", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(ScanInt("-200", v));
    EXPECT_EQ(v, -200);
    EXPECT_TRUE(ScanInt(" +7:30", v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(ScanInt("abc", v));
    EXPECT_FALSE(ScanInt("99999999999", v));
    EXPECT_TRUE(ScanInt("-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
}

TEST(TextFormat, NumbersIgnoreADecimalCommaLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    bool haveComma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(FormatC("%1.1lf Hz", 1015.625), "1015.6 Hz");
    double v = 0;
    EXPECT_TRUE(ScanDouble("404.5", v));
    EXPECT_EQ(v, 404.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!haveComma) GTEST_SKIP() << "no decimal-comma locale installed here";
}

}  // namespace
}  // namespace sorv
