#include "common/decimal.h"

#include <gtest/gtest.h>

TEST(ParseDecimal, ReadsAsAtolDoes)
{
    EXPECT_EQ(30, ParseDecimal("30"));
    EXPECT_EQ(500, ParseDecimal(" \t500"));
    EXPECT_EQ(-7, ParseDecimal("-7x"));
    EXPECT_EQ(12, ParseDecimal("+12 34"));
    EXPECT_EQ(0, ParseDecimal("word"));
    EXPECT_EQ(0, ParseDecimal(""));
    EXPECT_EQ(0, ParseDecimal("- 5"));
}

TEST(ParseDecimal, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(INT32_MAX, ParseDecimal("2147483647"));
    EXPECT_EQ(INT32_MAX, ParseDecimal("99999999999999999999999"));
    EXPECT_EQ(INT32_MIN, ParseDecimal("-2147483648"));
    EXPECT_EQ(INT32_MIN, ParseDecimal("-99999999999999999999999"));
}
