#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// The whole screen against the dot rule applied pixel by pixel from the
// picture before any dot: for each cell (rows 5 apart from 0, every 6th
// pixel from 0 or 3 on odd rows) its brightness p, the mean of the samples
// at (x - 3 | x, y - 3 | y) inside the picture scaled by level, and for
// each pixel within radius 3.5 of it with T = trunc((r + 0.25) * 256 / 3)
// an add of 255 below p, (21760 - 256 * (T - p)) / 85 (at most 255) below
// p + 85; cells under 4 draw nothing, sums saturate. Random pictures, from
// dark to bright, at levels that leave cells between none and all full.
TEST_F(Halftone, EqualsTheDotRuleOnRandomPictures) {
  uint32_t state = 99;
  auto draw = [&state]() { return (state = state * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 12; round++) {
    const int level = round < 4 ? 60 + 60 * round : round < 8 ? 255 : 600 * round;
    const int top = 64 + 16 * round;
    std::vector<uint8_t> pic(64000), under(64000);
    for (int i = 0; i < 64000; i++) pic[i] = uint8_t(draw() % top), under[i] = uint8_t(draw());
    std::vector<int> want(under.begin(), under.end());
    for (int n = 0, yc = 0; yc < 200; n++, yc += 5)
      for (int xc = 3 * (n % 2); xc < 320; xc += 6) {
        int sum = 0, count = 0;
        for (int sy : {yc - 3, yc})
          for (int sx : {xc - 3, xc})
            if (sx >= 0 && sy >= 0) sum += pic[sy * 320 + sx], count++;
        const int k = sum / count, p = std::min(k * level / 255, 255);
        if (p < 4) continue;
        for (int dy = -3; dy <= 3; dy++)
          for (int dx = -3; dx <= 3; dx++) {
            const int x = xc + dx, y = yc + dy;
            const double r = std::sqrt(double(dx * dx + dy * dy));
            if (x < 0 || x >= 320 || y < 0 || y >= 200 || r > 3.5) continue;
            const int t = int((r + 0.25) * 85.33333333333333);
            const int add = t < p ? 255 : t < p + 85 ? std::min((21760 - 256 * (t - p)) / 85, 255) : 0;
            want[y * 320 + x] = std::min(want[y * 320 + x] + add, 255);
          }
      }
    std::vector<uint8_t> got(under);
    halftone(got.data(), pic.data(), level);
    for (int i = 0; i < 64000; i++) ASSERT_EQ(got[i], want[i]) << "round " << round << " pixel " << i;
  }
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
  uint32_t state = 12345;
  for (uint8_t &b : pic) b = uint8_t((state = state * 1103515245u + 12345u) >> 24);
  for (int level : {40, 255, 700, 65280}) {
    std::vector<uint8_t> src(pic), copy(pic);
    halftone(copy.data(), src.data(), level);
    halftone(src.data(), src.data(), level);
    EXPECT_EQ(src, copy) << level;
  }
}

}  // namespace
