#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fx/guarded_frame.h"
#include "fx/noise.h"

namespace {

// Columns whose 200 pixels were all darkened from `base`.
std::vector<int> full_columns(GuardedFrame &f, uint8_t base) {
  std::vector<int> cols;
  for (int x = 0; x < 320; x++) {
    bool all = true;
    for (int y = 0; y < 200 && all; y++) all = f.at(x, y) < base;
    if (all) cols.push_back(x);
  }
  return cols;
}

TEST(Noise, AtTimeZeroTenSpecksAndTheCrossBlotch) {
  GuardedFrame f(200);
  noise(f.data(), 0);
  // Specks at x = i * i + 19 * i, y = (x + 10 * i) % 200.
  const std::pair<int, int> specks[10] = {{0, 0},    {20, 30},   {42, 62},   {66, 96},
                                          {92, 132}, {120, 170}, {150, 10},  {182, 52},
                                          {216, 96}, {252, 142}};
  for (auto [x, y] : specks) EXPECT_EQ(f.at(x, y), 100) << x << "," << y;
  // Blotch at offset 1000 (x 40, y 3), the nine cells of mask B.
  const std::pair<int, int> blotch[9] = {{41, 3}, {41, 4}, {42, 4}, {40, 5}, {41, 5},
                                         {42, 5}, {43, 5}, {41, 6}, {42, 6}};
  for (auto [x, y] : blotch) EXPECT_EQ(f.at(x, y), 0) << x << "," << y;
  EXPECT_EQ(f.count(100), 10);
  EXPECT_EQ(f.count(0), 9);
  EXPECT_EQ(f.count(200), 64000 - 19);
  EXPECT_TRUE(f.guards_intact());
}

TEST(Noise, ScratchOnlyWhenTheFiftyBlockIsOddAndNotAMultipleOf15) {
  GuardedFrame f(200);
  noise(f.data(), 50);
  EXPECT_EQ(full_columns(f, 200), std::vector<int>{191});
  // Twelve specks away from the scratch, and the four cells of mask A.
  int specks = 0;
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 320; x++) specks += x != 191 && f.at(x, y) == 100;
  EXPECT_EQ(specks, 12);
  EXPECT_EQ(f.count(0), 4);

  for (int t : {150, 1000}) {
    GuardedFrame g(200);
    noise(g.data(), t);
    EXPECT_TRUE(full_columns(g, 200).empty()) << t;
  }
  GuardedFrame g(200);
  noise(g.data(), 150);  // 17 specks, blotch with mask B
  EXPECT_EQ(g.count(100) + g.count(50), 17);
  EXPECT_EQ(g.count(0), 9);
}

TEST(Noise, HalvingTakesOneToZeroAndStaysInsideTheFrame) {
  GuardedFrame f(1);
  noise(f.data(), 0);
  EXPECT_EQ(f.count(1), 64000 - 19);
  EXPECT_EQ(f.count(0), 19);
  // The last safe time, and times beyond it, which wrap around.
  for (int t : {12852, 12853, 30000, -5}) {
    GuardedFrame g(9);
    noise(g.data(), t);
    EXPECT_TRUE(g.guards_intact()) << t;
  }
  GuardedFrame a(77), b(77);
  noise(a.data(), 12853);
  noise(b.data(), 0);
  EXPECT_TRUE(std::equal(a.data(), a.data() + 64000, b.data()));
}

}  // namespace
