#include "tests/support/HexBytes.h"

#include <gtest/gtest.h>

TEST(HexBytes, RoundTripsWithBlanksAndCase) {
    EXPECT_EQ(ToHex(FromHex("01 00 00 20 00 c0")), "01 00 00 20 00 C0");
    EXPECT_EQ(ToHex(FromHex("D0C10850")), "D0 C1 08 50");
    EXPECT_TRUE(FromHex("").empty());
    EXPECT_THROW(FromHex("0"), std::invalid_argument);
    EXPECT_THROW(FromHex("zz"), std::invalid_argument);
}
