// Properties of the strips, the panorama with its mask and the rose window
// pictures, as the scenes show them.
#include <gtest/gtest.h>

#include "art_arch/measure.h"
#include "assets/assets.h"

namespace {

struct Strip {
  const char *name;
  const uint8_t *pix;
};
const Strip strips[] = {{"koottikarry1", koottikarry1}, {"koottikarry2", koottikarry2}, {"koottikarry3", koottikarry3}};

// The strip window wraps at column 512: the step from column 511 to 0 must
// look like a common step between neighbouring columns (two unrelated
// columns of these strips differ by more than the upper quartile).
TEST(ArtStrips, TileWithoutSeamAndHaveContrast) {
  for (const Strip &s : strips) {
    SCOPED_TRACE(s.name);
    double seam = artm::column_diff(s.pix, 512, 80, 511, 0);
    double typical = artm::inner_column_diff(s.pix, 512, 80, 0.75);
    EXPECT_LE(seam, typical) << "wrap step " << seam << ", upper quartile inside " << typical;
    // Readable forms: a real spread of tones, not a flat field.
    EXPECT_GE(artm::quantile(s.pix, 40960, 0.98) - artm::quantile(s.pix, 40960, 0.02), 100);
  }
}

TEST(ArtStrips, SuitWhatIsDrawnOverThem) {
  // Near-black worms crawl over the worm strip: it stays bright nearly everywhere.
  EXPECT_GE(artm::mean(koottikarry3, 40960), 130.0);
  EXPECT_GE(artm::quantile(koottikarry3, 40960, 0.05), 60);
  // Text lines are added over the intro strip's top rows: they stay dark.
  EXPECT_LE(artm::mean(koottikarry1, 2 * 512), 40.0);
}

// The panorama window runs on into the next row past column 799, so the
// last column of row y meets the first column of row y + 1.
TEST(ArtPanorama, PanoramaAndMaskRunOnWithoutSeam) {
  for (const uint8_t *p : {takamehta, etumehta}) {
    double seam = artm::column_diff(p, 800, 200, 799, 0, 1);
    double typical = artm::inner_column_diff(p, 800, 200, 0.75, 1);
    EXPECT_LE(seam, typical) << "run-on step " << seam << ", upper quartile inside " << typical;
  }
  EXPECT_GE(artm::quantile(takamehta, 160000, 0.99) - artm::quantile(takamehta, 160000, 0.01), 120);
}

TEST(ArtPanorama, MaskHasSoftEdgesAndKeepsTheMiddleClear) {
  size_t soft = 0, keep = 0, solid = 0;
  for (int i = 0; i < 160000; i++) {
    soft += etumehta[i] > 0 && etumehta[i] < 255;
    keep += etumehta[i] == 255;
    solid += etumehta[i] == 0;
  }
  EXPECT_GE(soft, 160000u / 5) << "soft values";
  EXPECT_GT(solid, 0u);
  // The models spin in rows 60..140: the mask mostly keeps them.
  size_t mid_keep = 0;
  for (int y = 60; y < 140; y++)
    for (int x = 0; x < 800; x++) mid_keep += etumehta[y * 800 + x] >= 192;
  EXPECT_GE(mid_keep, size_t(80 * 800 * 0.75));
  EXPECT_GE(keep, 160000u / 4);
}

TEST(ArtRose, OverlayLeavesTheMiddleTransparent) {
  size_t clear = 0, mid_clear = 0, mid = 0;
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 320; x++) {
      bool t = rosic[y * 320 + x] == 255;
      clear += t;
      if (x >= 60 && x < 260 && y >= 50 && y < 180) {
        mid++;
        mid_clear += t;
      }
    }
  EXPECT_GE(clear, 64000u * 55 / 100);
  EXPECT_EQ(mid_clear, mid);
  EXPECT_LT(clear, 64000u) << "the overlay draws something";
}

// The letters are drawn in black with index-240 contours over the window.
TEST(ArtRose, WindowHasRangeForBlackLetters) {
  EXPECT_GE(artm::quantile(drose, 64000, 0.99) - artm::quantile(drose, 64000, 0.01), 150);
  double centre = 0;
  for (int y = 60; y < 140; y++)
    for (int x = 100; x < 220; x++) centre += drose[y * 320 + x];
  centre /= 80 * 120;
  EXPECT_GE(centre, 90.0) << "letters in index 0 need a bright middle";
  EXPECT_LE(artm::mean(drose, 64000), 170.0);
}

}  // namespace
