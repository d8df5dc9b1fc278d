// The church pictures and their UV maps.
#include <gtest/gtest.h>

#include <cstdint>

#include "art_arch/measure.h"
#include "assets/assets.h"

namespace {

// Pixels whose UV lands on the window's texture (not the body texel 0, not
// uncovered).
bool textured(uint16_t e) { return e != 0 && e != 0xFFFF; }

struct Church {
  const char *name;
  const uint8_t *img, *map;
};
const Church churches[] = {{"kirkko", kirkko, kirkkotc}, {"kirkko2", kirkko2, kirkko2tc}};

TEST(ArtChurch, WindowCarriesTheWholeTextureContinuously) {
  for (const Church &c : churches) {
    SCOPED_TRACE(c.name);
    int n = 0, cmin = 255, cmax = 0, rmin = 255, rmax = 0, jumps = 0;
    for (int y = 0; y < 200; y++)
      for (int x = 0; x < 320; x++) {
        uint16_t e = artm::uv(c.map, y * 320 + x);
        if (!textured(e)) continue;
        n++;
        cmin = std::min(cmin, e & 255);
        cmax = std::max(cmax, e & 255);
        rmin = std::min(rmin, e >> 8);
        rmax = std::max(rmax, e >> 8);
        // Neighbours on the window differ by a few texels: no wrap, no tear.
        for (int k : {1, 320}) {
          if ((k == 1 && x == 319) || (k == 320 && y == 199)) continue;
          uint16_t f = artm::uv(c.map, y * 320 + x + k);
          if (!textured(f)) continue;
          if (std::abs((e & 255) - (f & 255)) > 6 || std::abs((e >> 8) - (f >> 8)) > 6) jumps++;
        }
      }
    EXPECT_GE(n, 10000) << "a big textured surface: a sixth of the frame";
    EXPECT_EQ(jumps, 0);
    EXPECT_LE(cmin, 8);
    EXPECT_GE(cmax, 247);
    EXPECT_LE(rmin, 8);
    EXPECT_GE(rmax, 240);
  }
}

// Both pictures show the same view: when they alternate, the texture on the
// window stays put.
TEST(ArtChurch, BothLightingsShareOneMapAndCoverTheFrame) {
  int same = 0, covered = 0;
  for (int i = 0; i < 64000; i++) {
    same += artm::uv(kirkkotc, i) == artm::uv(kirkko2tc, i);
    covered += artm::uv(kirkkotc, i) != 0xFFFF && artm::uv(kirkko2tc, i) != 0xFFFF;
  }
  EXPECT_GE(same, 64000 * 99 / 100);
  // Uncovered pixels are black in the scenes; the church, the sky and the
  // rain over it must stay visible.
  EXPECT_GE(covered, 64000 * 99 / 100);
}

// Covered pixels show img / 2 plus the texture term, so the window's own
// shading must leave room for the texture, and the rest must read at half
// brightness.
TEST(ArtChurch, ShadingBrightnessSuitsTheFormulas) {
  double whole[2];
  for (int k = 0; k < 2; k++) {
    const Church &c = churches[k];
    SCOPED_TRACE(c.name);
    double win = 0;
    int n = 0;
    for (int i = 0; i < 64000; i++)
      if (textured(artm::uv(c.map, i))) {
        win += c.img[i];
        n++;
      }
    ASSERT_GT(n, 0);
    win /= n;
    EXPECT_GE(win, 60.0);
    EXPECT_LE(win, 170.0);
    whole[k] = artm::mean(c.img, 64000);
    EXPECT_GE(whole[k], 50.0);
    EXPECT_GE(artm::quantile(c.img, 64000, 0.99) - artm::quantile(c.img, 64000, 0.01), 120);
  }
  EXPECT_GE(whole[1], whole[0] + 20) << "the lightning picture is the brighter one";
}

}  // namespace
