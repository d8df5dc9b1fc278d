// The panorama mask through its multipliers against the rule it
// stands for: a mask byte m of 255 leaves the pixel p, any other gives
// (m p) >> 8; over every window position's phase and random frames.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "fx/scene_pixels.h"

namespace {

// Both forms: the one this machine takes and the word form the target takes.
TEST(PanoramaMask, MatchesTheRuleForRandomFramesAtManyPositions) {
  std::mt19937 rng(3);
  std::vector<uint8_t> before(FRAME_BYTES);
  int bad = 0;
  for (int32_t k = 0; k < 32000; k += 97) {  // window columns 0..799 and back, in each form
    const int32_t now = k % 16000;
    for (uint8_t &b : before) b = uint8_t(rng());
    std::copy(before.begin(), before.end(), vbuf);
    if (k < 16000)
      panorama_mask(now);
    else
      panorama_mask_words(now);
    const int m0 = (now / 10) % 800;
    for (int y = 0; y < 200; y++)
      for (int x = 0; x < FRAME_W; x++) {
        const int p = before[size_t(y * FRAME_W + x)];
        const int m = y < 199 ? etumehta[m0 + 800 * y + x] : 255;  // row 199 is left alone
        bad += vbuf[y * FRAME_W + x] != (m == 255 ? p : (m * p) >> 8);
      }
  }
  EXPECT_EQ(bad, 0);
}

TEST(PanoramaMask, EveryMaskByteOverEveryPixel) {
  int bad = 0;
  for (int m = 0; m < 256; m++)
    for (int p = 0; p < 256; p++) bad += mask_pixel(uint8_t(p), uint8_t(m)) != (m == 255 ? p : (m * p) >> 8);
  EXPECT_EQ(bad, 0);
}

// The overlay four pixels a word against the byte rule (rosic's 255 is
// transparent): random frames under the real picture, at a word-aligned
// address and one byte off it (the byte path).
TEST(OverlayRosic, MatchesTheByteRuleAlignedAndNot) {
  std::mt19937 rng(5);
  std::vector<uint8_t> frame(FRAME_BYTES + 8), before(FRAME_BYTES);
  int bad = 0, transparent = 0;
  for (int round = 0; round < 8; round++) {
    uint8_t *out = frame.data() + (4 - reinterpret_cast<uintptr_t>(frame.data()) % 4) + round % 2;
    for (uint8_t &b : before) b = uint8_t(rng());
    std::copy(before.begin(), before.end(), out);
    overlay_rosic(out);
    for (int i = 0; i < FRAME_BYTES; i++) {
      transparent += rosic[i] == 255;
      bad += out[i] != (rosic[i] == 255 ? before[size_t(i)] : rosic[i]);
    }
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(transparent, 0);
  EXPECT_LT(transparent, 8 * FRAME_BYTES);
}

}  // namespace
