// The shared price table the dose window relies on, and the channel count the poll walks.
#include <gtest/gtest.h>

#include "engine/DeviceState.h"

namespace {

TEST(MainWindowTables, OnlyPricesReadFromTheControllerCount) {
    TMainWindowTables tables;
    for (int ch = 0; ch < kChannelCount; ++ch) EXPECT_FALSE(tables.PriceKnown(ch)) << ch;

    tables.RememberPrice(0, 5450);
    tables.RememberPrice(14, 6100);
    // The price editor stages a value without claiming it was read.
    tables.KnownPrices[3] = 4000;
    // Indices from a broken answer must not touch anything.
    tables.RememberPrice(-1, 1);
    tables.RememberPrice(15, 1);
    tables.RememberPrice(32, 1);

    const std::pair<int, bool> known[] = {{0, true}, {3, false}, {14, true}, {-1, false}, {15, false}, {31, false}};
    for (const auto& [ch, expected] : known) EXPECT_EQ(expected, tables.PriceKnown(ch)) << ch;
    EXPECT_EQ(0x4001u, tables.KnownPriceMask);
    EXPECT_EQ(5450u, tables.KnownPrices[0]);

    // A later reading replaces the price; the bit stays set.
    tables.RememberPrice(0, 5500);
    EXPECT_EQ(5500u, tables.KnownPrices[0]);
    EXPECT_TRUE(tables.PriceKnown(0));
}

TEST(DeviceState, LogicalChannelCountPrefersTheSubControllerView) {
    struct Case {
        uint8_t trkChannels, subLogical;
        int expected;
    };
    const Case cases[] = {{5, 0, 5}, {3, 0, 3}, {5, 12, 12}, {0, 0, 0}};
    for (const Case& c : cases) {
        TDeviceState s;
        s.TrkCfg[0] = c.trkChannels;
        s.SubTrkCfg[2] = c.subLogical;
        EXPECT_EQ(c.expected, s.LogicalChannelCount()) << int(c.trkChannels) << "/" << int(c.subLogical);
    }
}

}  // namespace
