// The three portraits as embedded: tonal range, a dark caption area and
// three different pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "assets/assets.h"

namespace {

struct Portrait {
  const char *name;
  const uint8_t *pic;
};
const Portrait kPortraits[] = {{"tamsk", tamsk}, {"dorl", dorl}, {"vesk", vesk}};

// Mean of the rectangle x0..x1-1, y0..y1-1.
double mean_of(const uint8_t *pic, int x0, int y0, int x1, int y1) {
  long long sum = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) sum += pic[y * 320 + x];
  return double(sum) / ((x1 - x0) * (y1 - y0));
}

// The sitter's part of the frame: right of the caption's columns.
constexpr int kFigX = 196, kFigY = 60;

TEST(Portraits, UseTheTonalRange) {
  for (const Portrait &p : kPortraits) {
    std::vector<uint8_t> v;
    for (int y = kFigY; y < 200; y++) v.insert(v.end(), p.pic + y * 320 + kFigX, p.pic + y * 320 + 320);
    std::sort(v.begin(), v.end());
    int p1 = v[v.size() / 100], p99 = v[v.size() * 99 / 100];
    EXPECT_GT(p99 - p1, 150) << p.name << " p1 " << p1 << " p99 " << p99;
    EXPECT_GT(p99, 180) << p.name << ": the lit parts reach near white";
  }
}

// The caption is written over rows 60..179 of columns 0..195: that area is
// dark and calm, the sitter is in the columns to its right.
TEST(Portraits, CaptionAreaStaysDarkBesideTheFigure) {
  for (const Portrait &p : kPortraits) {
    double caption = mean_of(p.pic, 0, 60, 196, 180);
    double figure = mean_of(p.pic, 196, 0, 320, 200);
    EXPECT_LT(caption, 45) << p.name;
    EXPECT_GT(figure, caption * 2.5) << p.name;
    int bright = 0;
    for (int y = 60; y < 180; y++)
      for (int x = 0; x < 196; x++) bright += p.pic[y * 320 + x] > 120;
    EXPECT_LT(bright, 196 * 120 / 50) << p.name << ": too many bright pixels under the caption";
  }
}

// Lit (stone, rope or tin) as the worms' figure test counts it.
bool lit(const uint8_t *pic, int x, int y) { return pic[y * 320 + x] >= 70; }

// Each bust stands whole in the frame and large: nothing lit in the top
// rows or the rightmost columns (head, mallet, rope and pipes stay inside;
// the rope runs out at the top only in its unlit reach), the lit figure
// spans more than half the height, and where it reaches the bottom row (a
// chest running on below the frame) head and shoulders fit above it.
TEST(Portraits, BustWholeAndLargeInFrame) {
  for (const Portrait &p : kPortraits) {
    int edge = 0, top = 200, bottom = -1;
    for (int y = 0; y < 200; y++)
      for (int x = kFigX; x < 320; x++) {
        if (!lit(p.pic, x, y)) continue;
        edge += y < 3 || x >= 317;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    EXPECT_EQ(edge, 0) << p.name << ": the figure is cut by the top or right edge";
    EXPECT_GE(bottom - top + 1, 110) << p.name << ": the bust is too small to read";
    if (bottom == 199) {
      EXPECT_GE(bottom - top, 120) << p.name << ": the bottom edge cuts into the shoulders";
    }
  }
}

TEST(Portraits, ThreeDifferentSitters) {
  for (int a = 0; a < 3; a++)
    for (int b = a + 1; b < 3; b++) {
      long long diff = 0;
      for (int y = kFigY; y < 200; y++)
        for (int x = kFigX; x < 320; x++) diff += std::abs(kPortraits[a].pic[y * 320 + x] - kPortraits[b].pic[y * 320 + x]);
      const double mean = double(diff) / ((200 - kFigY) * (320 - kFigX));
      EXPECT_GT(mean, 16.0) << kPortraits[a].name << " vs " << kPortraits[b].name;
    }
}

}  // namespace
