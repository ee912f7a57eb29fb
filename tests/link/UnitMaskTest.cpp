#include "link/UnitMask.h"

#include <gtest/gtest.h>

TEST(UnitMask, EachSlotHasItsOwnBitAndRoundTrips) {
    const std::uint16_t expected[10] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010,
                                        0x0100, 0x0200, 0x0400, 0x0800, 0x1000};
    for (int slot = 0; slot < 10; ++slot) {
        EXPECT_EQ(MaskFromSlot(slot), expected[slot]) << slot;
        EXPECT_EQ(SlotFromMask(expected[slot]), slot) << slot;
    }
    EXPECT_EQ(MaskFromSlot(11), 0x8080);
}

TEST(UnitMask, SlotsOutsideTheTableGiveNoMask) {
    for (int slot : {-1, 10, 12, 13, 255}) {
        EXPECT_EQ(MaskFromSlot(slot), 0) << slot;
    }
}

TEST(UnitMask, SlotFromMaskTakesTheLowestSlotThenAllUnitsThenNone) {
    EXPECT_EQ(SlotFromMask(0x0201), 0);
    EXPECT_EQ(SlotFromMask(0x1100), 5);
    EXPECT_EQ(SlotFromMask(0x8080), 11);
    EXPECT_EQ(SlotFromMask(0x0080), 11);
    EXPECT_EQ(SlotFromMask(0x8000), 11);
    EXPECT_EQ(SlotFromMask(0x8081), 0);
    // Bits 5, 6, 13 and 14 belong to no slot.
    EXPECT_EQ(SlotFromMask(0x6060), -1);
    EXPECT_EQ(SlotFromMask(0x0000), -1);
}
