#include <gtest/gtest.h>

#include <vector>

#include "fx/guarded_frame.h"
#include "fx/halftone.h"

namespace {

class Halftone : public ::testing::Test {
 protected:
  void SetUp() override { halftone_init(320, 200); }
};

TEST_F(Halftone, FullBrightnessFillsAlmostEverythingButTheRimOnlyPixels) {
  GuardedFrame src(255), dst(0);
  halftone(dst.data(), src.data(), 255);
  EXPECT_EQ(dst.at(3, 2), 189);  // reached only by a dot entry 277: ramp[22]
  EXPECT_EQ(dst.at(0, 4), 147);  // reached only by a dot entry 291: ramp[36]
  EXPECT_EQ(dst.at(100, 100), 255);
  for (int x = 0; x < 320; x++) ASSERT_EQ(dst.at(x, 199), 0) << x;  // last cell row reaches 198
  // Away from the borders only the 277-only pixels fall short of 255.
  for (int y = 4; y < 194; y++)
    for (int x = 4; x < 314; x++) {
      const int v = dst.at(x, y);
      ASSERT_TRUE(v == 255 || v == 189) << x << "," << y << " holds " << v;
    }
  EXPECT_TRUE(dst.guards_intact());
  EXPECT_TRUE(src.guards_intact());
}

TEST_F(Halftone, DarkSourceLeavesTheDestinationAsItWas) {
  GuardedFrame dst(0);
  for (int i = 0; i < 64000; i++) dst.data()[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> before(dst.data(), dst.data() + 64000);
  GuardedFrame three(3), hundred(100);
  halftone(dst.data(), three.data(), 255);
  halftone(dst.data(), hundred.data(), 10);  // 100 * 10 / 255 = 3
  halftone(dst.data(), hundred.data(), -40);  // no negative brightness
  EXPECT_EQ(std::vector<uint8_t>(dst.data(), dst.data() + 64000), before);
}

TEST_F(Halftone, MidGreyGivesSmallCoresWithSoftRims) {
  GuardedFrame src(100), dst(0);
  halftone(dst.data(), src.data(), 255);
  EXPECT_EQ(dst.at(6, 10), 255);
  for (auto [x, y] : {std::pair{5, 10}, {7, 10}, {6, 9}, {6, 11}}) EXPECT_EQ(dst.at(x, y), 237);
  for (auto [x, y] : {std::pair{5, 9}, {7, 9}, {5, 11}, {7, 11}}) EXPECT_EQ(dst.at(x, y), 129);
  for (auto [x, y] : {std::pair{8, 10}, {6, 8}, {4, 12}, {9, 10}}) EXPECT_EQ(dst.at(x, y), 0);
}

TEST_F(Halftone, CornerCellSamplesOnlyItsCentreAndDrawsAQuarter) {
  GuardedFrame src(0), dst(0);
  src.at(0, 0) = 255;
  halftone(dst.data(), src.data(), 255);
  const int expect[4][4] = {{255, 255, 255, 189},
                            {255, 255, 255, 147},
                            {255, 255, 234, 0},
                            {189, 147, 0, 0}};
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) EXPECT_EQ(dst.at(x, y), expect[y][x]) << x << "," << y;
  EXPECT_EQ(dst.count(0), 64000 - 13);
  EXPECT_TRUE(dst.guards_intact());
}

TEST_F(Halftone, OverlappingRimsSaturate) {
  GuardedFrame src(255), dst(200);
  halftone(dst.data(), src.data(), 255);
  EXPECT_EQ(dst.at(3, 2), 255);  // 200 + 189
  EXPECT_EQ(dst.at(0, 199), 200);
}

}  // namespace

namespace {

TEST(HalftoneSmall, DotsAreClippedAtTheRightAndBottomEdges) {
  // 10x6 picture with guards: cells (0, 0), (6, 0), (3, 5), (9, 5).
  constexpr int w = 10, h = 6, guard = 64;
  std::vector<uint8_t> src(w * h, 255), dst(w * h + 2 * guard, 0xA5);
  std::fill(dst.begin() + guard, dst.end() - guard, 0);
  halftone_init(w, h);
  halftone(dst.data() + guard, src.data(), 255);
  halftone_init(320, 200);
  auto at = [&](int x, int y) { return dst[guard + w * y + x]; };
  for (int i = 0; i < guard; i++) {
    ASSERT_EQ(dst[i], 0xA5);
    ASSERT_EQ(dst[guard + w * h + i], 0xA5);
  }
  EXPECT_EQ(at(9, 5), 255);
  // Reached only by (3, 5) at dot entry 291; cell (9, 5) does not spill
  // from column 10 of row 3 into column 0 of row 4.
  EXPECT_EQ(at(0, 4), 147);
  EXPECT_EQ(at(0, 3), 189);  // (0, 0) at dot entry 277
}

// In place (dst = src, as the demo draws it) gives what a copy does: every
// dot's brightness comes from the picture before any dot.
TEST_F(Halftone, InPlaceEqualsDrawingOntoACopy) {
  std::vector<uint8_t> pic(64000);
  uint32_t seed = 12345;
  for (uint8_t &b : pic) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  for (int level : {40, 255, 700, 65280}) {
    std::vector<uint8_t> src(pic), copy(pic);
    halftone(copy.data(), src.data(), level);
    halftone(src.data(), src.data(), level);
    EXPECT_EQ(src, copy) << level;
  }
}

}  // namespace
