// The star as the spinning-models scene draws it (two copies, the scene's
// own transforms and depth tables) over an empty frame: an open form that
// leaves most of the panorama in view and its sky clear, and deep enough
// that the sliding depth bands always cut through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"

namespace {

constexpr uint8_t kBackground = 77;  // an index neither depth table uses

struct StarFrame {
  int drawn = 0;  // pixels the two stars cover
  int lit = 0;    // of those, pixels in index 255
  int box = 0;    // area of the bounding box of the covered pixels
  int sky = 0;    // covered pixels in rows 0..39, the panorama's moon and spires
};

StarFrame draw(int32_t pos, int32_t now) {
  std::memset(vbuf, kBackground, FRAME_BYTES);
  spin_models(pos, now);
  StarFrame f;
  int x0 = FRAME_W, x1 = -1, y0 = FRAME_H, y1 = -1;
  for (int i = 0; i < FRAME_BYTES; i++) {
    if (vbuf[i] == kBackground) continue;
    f.drawn++;
    f.lit += vbuf[i] == 255;
    f.sky += i < 40 * FRAME_W;
    const int x = i % FRAME_W, y = i / FRAME_W;
    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  }
  if (f.drawn) f.box = (x1 - x0 + 1) * (y1 - y0 + 1);
  return f;
}

class StarScene : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { demo_convert_models(); }
  static void TearDownTestSuite() { demo_convert_models(); }  // back to the stored order
};

}  // namespace

TEST_F(StarScene, OpenFormLeavesThePanoramaInView) {
  for (int32_t now = 80000; now < 100000; now += 370) {
    const StarFrame f = draw(800, now);
    ASSERT_GT(f.drawn, 0) << "now " << now;
    // At most a sixth of the frame, and the thorns fill at most half of the
    // box round them (a solid ball fills about three quarters; the six
    // thorns are stout cones, so that no background is shut in between two
    // of them, and come to 38.4%).
    EXPECT_LE(f.drawn, FRAME_BYTES / 6) << "now " << now;
    EXPECT_LE(f.drawn * 100, f.box * 50) << "now " << now;
    // The sky of the panorama, where its moon and spires stand, stays
    // clear but for a thorn's tip now and then.
    EXPECT_LE(f.sky, 40 * FRAME_W / 100) << "now " << now;
  }
}

TEST_F(StarScene, DepthBandsAlwaysCutThroughTheStar) {
  // One band 12 steps deep every 192 depth steps slides by a step every
  // 10 ms: every moment of a whole cycle shows a band across the star's
  // thorns (a shallow star would lose it between two bands).
  for (int32_t now = 110000; now < 110000 + 1920; now += 40) {
    const StarFrame f = draw(1000, now);
    ASSERT_GT(f.drawn, 0) << "now " << now;
    EXPECT_GE(f.lit * 200, f.drawn) << "now " << now << ": " << f.lit << " of " << f.drawn;
  }
}
