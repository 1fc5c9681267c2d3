#include "config/TextNumber.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace textnum;

TEST(TextNumber, IntegersFollowAtoi)
{
    const char* cases[] = {"42", "  -17", "\t+8", "12abc", "abc", "", "  ", "-", "007", "3.9", " \n 5 6"};
    for (const char* c : cases)
        EXPECT_EQ(ParseInt(c), std::atoi(c)) << "'" << c << "'";
}

TEST(TextNumber, IntegerOverflowClampsInsteadOfWrapping)
{
    EXPECT_EQ(ParseInt("99999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseInt("-99999999999"), std::numeric_limits<int>::min());
    EXPECT_EQ(ParseInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(ParseLong("999999999999999999999999"), std::numeric_limits<long long>::max());
}

TEST(TextNumber, DoublesFollowAtofInTheCLocale)
{
    const char* cases[] = {"1.5", "  -2.25e3", "+.5", "12.5km", "abc", "", "1e", "1e+", "0x1p4", "0x", ".", "-.e1",
                           "3.", "1e-5", "  +0.000001", "123456789012345678901234567890"};
    for (const char* c : cases)
        EXPECT_DOUBLE_EQ(ParseDouble(c), std::strtod(c, nullptr)) << "'" << c << "'";
    EXPECT_TRUE(std::isinf(ParseDouble("1e999")));
    EXPECT_EQ(ParseDouble("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(ParseDouble("-INF")));
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
}

TEST(TextNumber, DoublesIgnoreACommaLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // Whatever locale is active, "1.5" is one and a half and is written with a point.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_DOUBLE_EQ(ParseDouble("1.5"), 1.5);
        EXPECT_EQ(FormatFixed(2.5), "2.500000");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(TextNumber, HexLikeScanfX)
{
    EXPECT_EQ(ParseHex("ff"), 0xFFu);
    EXPECT_EQ(ParseHex("FF00"), 0xFF00u);
    EXPECT_EQ(ParseHex("ff00zz"), 0xFF00u);
    EXPECT_EQ(ParseHex("zz"), 0u);
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("0x1a"), 0x1Au);
    EXPECT_EQ(ParseHex(" c8"), 200u);
}

TEST(TextNumber, FormatsMatchPrintf)
{
    const double values[] = {0.0, 1.0, -1.5, 2.5, 123.4567891, 1e-7, 0.0000005, 1e20, -0.0};
    for (double v : values) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%f", v);
        EXPECT_EQ(FormatFixed(v), buf);
        std::snprintf(buf, sizeof buf, "%.15g", v);
        EXPECT_EQ(FormatShortest15(v), buf);
    }
    EXPECT_EQ(FormatShortest15(100000.0), "100000");
    EXPECT_EQ(FormatShortest15(25.5), "25.5");
    EXPECT_EQ(FormatFixed(1.0 / 3.0, 2), "0.33");
    EXPECT_EQ(FormatHex(0xFF00), "ff00");
    std::string s = "x=";
    AppendInt(s, -42);
    EXPECT_EQ(s, "x=-42");
}
