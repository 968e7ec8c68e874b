#include "gui/ShelfPacker.h"

#include <gtest/gtest.h>

TEST(ShelfPacker, RowsOfTenPixelImages) {
    ShelfPacker packer;
    int x = 0, y = 0;
    for (int i = 1; i <= 86; ++i) {
        ASSERT_TRUE(packer.place(10, 10, &x, &y));
        if (i == 1) {
            EXPECT_EQ(x, 1);
            EXPECT_EQ(y, 1);
        } else if (i == 2) {
            EXPECT_EQ(x, 13);
        } else if (i == 3) {
            EXPECT_EQ(x, 25);
        } else if (i == 85) {
            EXPECT_EQ(x, 1009);
            EXPECT_EQ(y, 1);
        } else if (i == 86) {
            EXPECT_EQ(x, 1);
            EXPECT_EQ(y, 13);
        }
    }
}

TEST(ShelfPacker, FullPageRefusesAndStaysUnchanged) {
    ShelfPacker packer(64, 64);
    int x = 0, y = 0;
    ASSERT_TRUE(packer.place(40, 30, &x, &y));  // row 0, height 30
    ASSERT_TRUE(packer.place(40, 20, &x, &y));  // row at y 32
    EXPECT_EQ(y, 33);
    EXPECT_FALSE(packer.place(40, 20, &x, &y));  // would need 54 + 22 > 64
    // A smaller image still fits after the refusal: the packer did not move.
    ASSERT_TRUE(packer.place(10, 10, &x, &y));
    EXPECT_EQ(x, 43);
    EXPECT_EQ(y, 33);
}

TEST(ShelfPacker, ImageLargerThanThePageNeverFits) {
    ShelfPacker packer(64, 64);
    int x = 0, y = 0;
    EXPECT_FALSE(packer.place(63, 10, &x, &y));
    EXPECT_FALSE(packer.place(10, 63, &x, &y));
    EXPECT_TRUE(packer.empty());
    EXPECT_TRUE(packer.place(62, 62, &x, &y));
}
