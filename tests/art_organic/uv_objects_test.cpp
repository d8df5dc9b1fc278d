// The skull and gargoyle shading pictures with their UV maps, as embedded:
// coverage, continuity and scale of the texture mapping, and brightness
// suited to how the scenes combine shading and texture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "assets/assets.h"

namespace {

struct UvObject {
  const char *name;
  const uint8_t *pic;
  const uint8_t *uv;
  int min_mean, max_mean;  // range for the mean shading of covered pixels
};

// The skull member multiplies texel by shading over D (30..170), so its
// shading sits around the middle; the gargoyle member only adds half the
// shading to a texture difference, so its shading must be bright.
const UvObject kObjects[] = {
    {"skulle", skulle, skulletc, 55, 130},
    {"skulle2", skulle2, skulle2tc, 55, 130},
    {"gargoyle", gargoyle, gargoyletc, 120, 210},
    {"gargoyle2", gargoyle2, gargoyle2tc, 120, 210},
};

void PrintTo(const UvObject &o, std::ostream *os) { *os << o.name; }

uint16_t entry(const uint8_t *uv, int i) { return uint16_t(uv[2 * i] | (uv[2 * i + 1] << 8)); }

// Distance between two texel coordinates on the 256-periodic texture.
int wrapped_step(int a, int b) {
  int d = std::abs(a - b) & 255;
  return std::min(d, 256 - d);
}

class UvObjectTest : public ::testing::TestWithParam<UvObject> {};

TEST_P(UvObjectTest, CoverageIsOneSizeableObjectOnBlack) {
  const UvObject &o = GetParam();
  std::vector<int> label(64000, -1);
  int covered = 0;
  for (int i = 0; i < 64000; i++) {
    if (entry(o.uv, i) == 0xFFFF) {
      EXPECT_EQ(o.pic[i], 0) << o.name << " pixel " << i << " is shaded but not covered";
      continue;
    }
    covered++;
  }
  double frac = covered / 64000.0;
  EXPECT_GT(frac, 0.10) << o.name;
  EXPECT_LT(frac, 0.60) << o.name;
  // The largest 4-connected component holds nearly all covered pixels:
  // one object, not scattered specks.
  int largest = 0;
  std::vector<int> stack;
  for (int s = 0; s < 64000; s++) {
    if (entry(o.uv, s) == 0xFFFF || label[s] >= 0) continue;
    int size = 0;
    stack.push_back(s);
    label[s] = s;
    while (!stack.empty()) {
      int i = stack.back();
      stack.pop_back();
      size++;
      int x = i % 320, y = i / 320;
      const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto &n : nb) {
        if (n[0] < 0 || n[0] >= 320 || n[1] < 0 || n[1] >= 200) continue;
        int j = n[1] * 320 + n[0];
        if (label[j] < 0 && entry(o.uv, j) != 0xFFFF) {
          label[j] = s;
          stack.push_back(j);
        }
      }
    }
    largest = std::max(largest, size);
  }
  EXPECT_GT(largest, covered * 97 / 100) << o.name;
}

TEST_P(UvObjectTest, TextureCoordinatesAreContinuousAndAboutPixelSized) {
  const UvObject &o = GetParam();
  int pairs = 0, jumps = 0;
  long long steps = 0;
  std::vector<uint8_t> seen(65536, 0);
  int distinct = 0, covered = 0;
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 320; x++) {
      uint16_t a = entry(o.uv, y * 320 + x);
      if (a == 0xFFFF) continue;
      covered++;
      if (!seen[a]) distinct++;
      seen[a] = 1;
      const int nb[2][2] = {{x + 1, y}, {x, y + 1}};
      for (const auto &n : nb) {
        if (n[0] >= 320 || n[1] >= 200) continue;
        uint16_t b = entry(o.uv, n[1] * 320 + n[0]);
        if (b == 0xFFFF) continue;
        int du = wrapped_step(a & 255, b & 255), dv = wrapped_step(a >> 8, b >> 8);
        pairs++;
        steps += du + dv;
        if (du > 6 || dv > 6) jumps++;  // only where one part hides another
      }
    }
  ASSERT_GT(pairs, 0) << o.name;
  EXPECT_LT(jumps, pairs / 50) << o.name << ": " << jumps << " jumps in " << pairs << " neighbour pairs";
  // About one texel per pixel or a little less (texels at most a few pixels
  // wide), so the texture's detail shows.
  double mean_step = double(steps) / pairs;
  EXPECT_GT(mean_step, 0.3) << o.name;
  EXPECT_LT(mean_step, 2.5) << o.name;
  // Not a near-constant map: the object shows a large part of the texture.
  EXPECT_GT(distinct, covered / 5) << o.name;
}

TEST_P(UvObjectTest, ShadingIsBrightEnoughAndHasForm) {
  const UvObject &o = GetParam();
  std::vector<int> v;
  for (int i = 0; i < 64000; i++)
    if (entry(o.uv, i) != 0xFFFF) v.push_back(o.pic[i]);
  ASSERT_FALSE(v.empty()) << o.name;
  long long sum = 0;
  for (int x : v) sum += x;
  double mean = double(sum) / v.size();
  EXPECT_GE(mean, o.min_mean) << o.name;
  EXPECT_LE(mean, o.max_mean) << o.name;
  // Light and shade, not a flat fill: the 5th and 95th percentiles of the
  // covered shading lie well apart.
  std::sort(v.begin(), v.end());
  int p5 = v[v.size() * 5 / 100], p95 = v[v.size() * 95 / 100];
  EXPECT_GT(p95 - p5, 70) << o.name << " p5 " << p5 << " p95 " << p95;
}

INSTANTIATE_TEST_SUITE_P(Art, UvObjectTest, ::testing::ValuesIn(kObjects),
                         [](const auto &p) { return std::string(p.param.name); });

// The two pictures of one object alternate in the demo, so they must show
// the same object in about the same place: their covered areas overlap.
TEST(UvObjectPairs, BothViewsShowTheSameObjectInPlace) {
  const std::pair<const uint8_t *, const uint8_t *> pairs[] = {{skulletc, skulle2tc}, {gargoyletc, gargoyle2tc}};
  for (const auto &p : pairs) {
    int both = 0, either = 0;
    for (int i = 0; i < 64000; i++) {
      bool a = entry(p.first, i) != 0xFFFF, b = entry(p.second, i) != 0xFFFF;
      both += a && b;
      either += a || b;
    }
    ASSERT_GT(either, 0);
    EXPECT_GT(double(both) / either, 0.6);
    // ...but they are not the same picture.
    EXPECT_NE(0, std::memcmp(p.first, p.second, 128000));
  }
}

}  // namespace
