#include "support/Error.h"
#include "support/NumericText.h"

#include <gtest/gtest.h>

#include <cmath>

using support::CInt;
using support::CLng;
using support::Val;

TEST(Val, ReadsTheLeadingNumberOfAText)
{
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"12", 12},        {"  7", 7},        {"\t3", 3},        {"-4", -4},      {"+5", 5},
        {"2.5", 2.5},      {".5", 0.5},       {"5.", 5},         {"3abc", 3},     {"abc", 0},
        {"", 0},           {" ", 0},          {"-", 0},          {".", 0},        {"1.2.3", 1.2},
        {"1e3", 1000},     {"1e", 1},         {"2E-1x", 0.2},    {"1 2", 1},      {"0012", 12},
        {"99999999", 99999999},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(Val(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(WholeNumbers, RoundHalvesToEvenAndOverflowOutsideTheRange)
{
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(2.51), 3);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768), -32768);
    EXPECT_EQ(CLng(2147483647), 2147483647);

    for (double outside : {32767.5, 32768.0, -32768.6, 1e300, std::nan("")}) {
        try {
            CInt(outside);
            ADD_FAILURE() << "no overflow for " << outside;
        } catch (const support::Error &e) {
            EXPECT_EQ(e.Number(), 6);
            EXPECT_EQ(e.Description(), QStringLiteral("Overflow"));
        }
    }
    EXPECT_THROW(CLng(2147483648.0), support::Error);
}
