#include <gtest/gtest.h>
#include "assets/assets.h"
TEST(Smoke, PaletteBlock) { EXPECT_EQ(pal_bright, pal_blue + 768); }
