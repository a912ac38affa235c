#include <gtest/gtest.h>

#include <limits>

#include "ui/ValueText.h"

namespace {

using namespace sheet_text;

TEST(ValueText, TwoDecimalsAreRoundedDownButNotBelowTheNumberMeant) {
    EXPECT_EQ(FormatTwoDecimals(0.7), "0.70");
    EXPECT_EQ(FormatTwoDecimals(static_cast<double>(0.7f)), "0.70");  // 0.69999998807907
    EXPECT_EQ(FormatTwoDecimals(0.29), "0.29");                       // 28.999999999999996 / 100
    EXPECT_EQ(FormatTwoDecimals(15), "15.00");
    EXPECT_EQ(FormatTwoDecimals(7.456), "7.45");
    EXPECT_EQ(FormatTwoDecimals(0.999), "0.99");
    EXPECT_EQ(FormatTwoDecimals(-0.001), "-0.01");
    EXPECT_EQ(FormatTwoDecimals(static_cast<double>(59.94f)), "59.94");
    EXPECT_EQ(FormatTwoDecimals(1e300).size(), 304u);  // no fixed buffer to overrun
    EXPECT_EQ(FormatTwoDecimals(std::numeric_limits<double>::infinity()), "inf");
}

TEST(ValueText, RangesInTheirThreeFormats) {
    EXPECT_EQ(FormatRange(RangeFormat::Integer, 64, 20000), "[64 ... 20000]");
    EXPECT_EQ(FormatRange(RangeFormat::Integer, -2147483648.0, 2147483647.0),
              "[-2147483648 ... 2147483647]");
    EXPECT_EQ(FormatRange(RangeFormat::OneDecimal, 1, 15), "[1.0 ... 15.0]");
    EXPECT_EQ(FormatRange(RangeFormat::ThreeDecimals, 0, static_cast<double>(0.7f)),
              "[0.000 ... 0.700]");
    EXPECT_EQ(FormatRange(RangeFormat::None, 0, 1), "");
}

TEST(ValueText, NumbersAreReadAsAtoiAndAtofReadThem) {
    EXPECT_EQ(ReadInteger(" \t+42abc"), 42);
    EXPECT_EQ(ReadInteger("-7"), -7);
    EXPECT_EQ(ReadInteger("x1"), 0);
    EXPECT_EQ(ReadInteger(""), 0);
    EXPECT_EQ(ReadInteger("12.9"), 12);
    EXPECT_EQ(ReadInteger("4294967297"), std::numeric_limits<int>::max());
    EXPECT_EQ(ReadInteger("-99999999999999999999999"), std::numeric_limits<int>::min());
    EXPECT_DOUBLE_EQ(ReadDecimal(" 7.5fps"), 7.5);
    EXPECT_DOUBLE_EQ(ReadDecimal("1e2"), 100.0);
    EXPECT_EQ(ReadDecimal("fast"), 0.0);
}

}  // namespace
