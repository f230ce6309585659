// Text-to-integer conversion as the address entry and the function files use it.
#include <gtest/gtest.h>

#include <limits>

#include "platform/IntegerText.h"

namespace zqb {
namespace {

TEST(IntegerText, AcceptsDecimalAndPrefixedHexadecimal)
{
    EXPECT_EQ(ParseInteger("010"), 10);
    EXPECT_EQ(ParseInteger("255"), 255);
    EXPECT_EQ(ParseInteger("-1"), -1);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("  42"), 42);
    EXPECT_EQ(ParseInteger("0x0CCC"), 0x0CCC);
    EXPECT_EQ(ParseInteger("0xff"), 255);
    EXPECT_EQ(ParseInteger("$1F"), 31);
    EXPECT_EQ(ParseInteger("0x0"), 0);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseInteger("0xFFFFFFFF"), -1);
}

TEST(IntegerText, RefusesEmptyPartialAndOverlongText)
{
    for (const char* bad : {"", " ", "-", "0x", "$", "x", "10 ", "1.5", "4.5", "12a", "0xG1", "2147483648",
                            "0x100000000", "--1", "0x-1"}) {
        EXPECT_FALSE(ParseInteger(QString::fromLatin1(bad)).has_value()) << bad;
    }
}

TEST(IntegerText, ComplaintQuotesTheTextAsGiven)
{
    EXPECT_EQ(InvalidIntegerText("0x"), QStringLiteral("'0x' is not a valid integer value"));
    EXPECT_EQ(InvalidIntegerText(""), QStringLiteral("'' is not a valid integer value"));
}

}  // namespace
}  // namespace zqb
