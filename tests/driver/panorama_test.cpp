// The panorama mask through its multipliers against the rule it
// stands for: a mask byte m of 255 leaves the pixel p, any other gives
// (m p) >> 8; over every window position's phase, and on the models drawn
// over the panorama.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "fx/scene_pixels.h"
#include "vector/bare.h"

namespace {

// Both forms: the one this machine takes and the word form the target takes,
// over every window position's phase and a frame full of other bytes.
TEST(PanoramaMask, MatchesTheRuleAtManyPositions) {
  int bad = 0;
  for (int32_t k = 0; k < 32000; k += 97) {  // window columns 0..799 and back, in each form
    const int32_t now = k % 16000;
    std::memset(vbuf, 0x5A, FRAME_BYTES);
    if (k < 16000)
      panorama_masked(now);
    else
      panorama_masked_words(now);
    const int c = (now / 20) % 800, m0 = (now / 10) % 800;
    for (int y = 0; y < 199; y++)
      for (int x = 0; x < FRAME_W; x++) {
        const int p = takamehta[c + 800 * y + x], m = etumehta[m0 + 800 * y + x];
        bad += vbuf[y * FRAME_W + x] != (m == 255 ? p : (m * p) >> 8);
      }
    for (int x = 0; x < FRAME_W; x++) bad += vbuf[199 * FRAME_W + x] != 0;  // row 199 is black
  }
  EXPECT_EQ(bad, 0);
}

TEST(PanoramaMask, EveryMaskByteOverEveryPixel) {
  int bad = 0;
  for (int m = 0; m < 256; m++)
    for (int p = 0; p < 256; p++) {
      const int want = m == 255 ? p : (m * p) >> 8;
      bad += mask_pixel(uint8_t(p), uint8_t(m)) != want;
      bad += bare_masked(uint8_t(p), uint8_t(m)) != want;  // the models' pixels under the mask
    }
  EXPECT_EQ(bad, 0);
}

// The scene's models drawn under the mask rows against the same models
// drawn plainly and masked afterwards (the pixels the depth buffer says were
// written), at many times: the rows' window, row 199's zero mask and the
// depth buffer as the plain drawing leaves it.
TEST(PanoramaMask, ModelsMaskedAsDrawnEqualMaskedAfterwards) {
  demo_convert_models();
  std::vector<uint8_t> plain(FRAME_BYTES);
  std::vector<int32_t> depth(FRAME_BYTES);
  const uint8_t *rows[FRAME_H];
  int bad = 0, written = 0;
  for (int32_t now = 20000; now < 60000; now += 1237) {
    const int32_t pos = 900 + now % 200;  // solid, then banded depth tables
    std::memset(vbuf, 0x33, FRAME_BYTES);
    spin_models(pos, now);
    std::copy(vbuf, vbuf + FRAME_BYTES, plain.begin());
    std::copy(bare_zbuf, bare_zbuf + FRAME_BYTES, depth.begin());
    std::memset(vbuf, 0x33, FRAME_BYTES);
    panorama_mask_rows(now, rows);
    spin_models(pos, now, rows);
    for (int i = 0; i < FRAME_BYTES; i++) {
      const bool drawn = depth[size_t(i)] != BARE_ZCLEAR;
      written += drawn;
      const uint8_t m = i / FRAME_W == 199 ? 0 : etumehta[(now / 10) % 800 + 800 * (i / FRAME_W) + i % FRAME_W];
      bad += vbuf[i] != (drawn ? mask_pixel(plain[size_t(i)], m) : 0x33);
      bad += bare_zbuf[i] != depth[size_t(i)];
    }
  }
  demo_convert_models();  // back to the stored order
  EXPECT_EQ(bad, 0);
  EXPECT_GT(written, 0);
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
