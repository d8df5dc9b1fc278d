// The skull and gargoyle pictures composed with the embedded texture the
// way their scenes compose them, at the extremes of the scenes' factors:
// the skull neither burns out nor sinks into the dark, and the gargoyle's
// frame keeps the form of its own shading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "assets/assets.h"

namespace {

uint16_t entry(const uint8_t *uv, int i) { return uint16_t(uv[2 * i] | (uv[2 * i + 1] << 8)); }

double correlation(const std::vector<int> &a, const std::vector<int> &b) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = double(a.size());
  for (size_t i = 0; i < a.size(); i++) {
    sa += a[i], sb += b[i];
    saa += double(a[i]) * a[i], sbb += double(b[i]) * b[i], sab += double(a[i]) * b[i];
  }
  return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
}

// Texture offsets spread over the scroll's whole cycle.
constexpr uint32_t kOffsets[] = {0, 256 * 37, 256 * 101 + 40, 256 * 190 + 201};

// The shading of every covered pixel, in map order.
std::vector<int> shading(const uint8_t *pic, const uint8_t *uv) {
  std::vector<int> v;
  for (int i = 0; i < 64000; i++)
    if (entry(uv, i) != 0xFFFF) v.push_back(pic[i]);
  return v;
}

// v = T * img / D + img / 4 for every covered pixel, clamped.
std::vector<int> skull_frame(const uint8_t *pic, const uint8_t *uv, uint32_t S, int D) {
  std::vector<int> v;
  for (int i = 0; i < 64000; i++)
    if (entry(uv, i) != 0xFFFF)
      v.push_back(std::min(255, kiehkura[(S + entry(uv, i)) & 0xFFFF] * pic[i] / D + pic[i] / 4));
  return v;
}

}  // namespace

TEST(SkullComposed, NeitherBurnsOutNorSinksAtTheExtremesOfD) {
  const std::pair<const uint8_t *, const uint8_t *> views[] = {{skulle, skulletc}, {skulle2, skulle2tc}};
  for (const auto &[pic, uv] : views)
    for (uint32_t S : kOffsets) {
      // Brightest moment: at most 4% of the bone at white.
      std::vector<int> bright = skull_frame(pic, uv, S, 30);
      const long white = std::count_if(bright.begin(), bright.end(), [](int v) { return v >= 252; });
      EXPECT_LE(white, long(bright.size()) * 4 / 100) << "offset " << S;
      // Darkest moment: the median bone still well off black (index 58
      // shows as about 40 in the sepia palette).
      std::vector<int> dark = skull_frame(pic, uv, S, 170);
      std::nth_element(dark.begin(), dark.begin() + dark.size() / 2, dark.end());
      EXPECT_GE(dark[dark.size() / 2], 58) << "offset " << S;
      EXPECT_GE(correlation(bright, shading(pic, uv)), 0.8) << "offset " << S;
    }
}

TEST(GargoyleComposed, FrameFollowsItsShadingWhateverTheLayersDo) {
  const std::pair<const uint8_t *, const uint8_t *> views[] = {{gargoyle, gargoyletc}, {gargoyle2, gargoyle2tc}};
  const int factors[][2] = {{36, 204}, {204, 36}, {204, 204}};
  for (const auto &[pic, uv] : views)
    for (uint32_t A : kOffsets)
      for (const auto &c : factors) {
        const uint32_t B = A * 7 + 256 * 13;
        std::vector<int> v;
        for (int i = 0; i < 64000; i++) {
          const uint32_t u = entry(uv, i);
          if (u == 0xFFFF) continue;
          const int x = ((kiehkura[~(B + u) & 0xFFFF] * c[1]) >> 8) - ((kiehkura[(A + u) & 0xFFFF] * c[0]) >> 8);
          v.push_back(std::clamp(x + (pic[i] >> 1), 0, 255));
        }
        EXPECT_GE(correlation(v, shading(pic, uv)), 0.85) << "c1 " << c[0] << " c2 " << c[1];
      }
}
