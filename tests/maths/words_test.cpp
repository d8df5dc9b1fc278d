// The byte-lane helper against the per-lane rule: every value of each
// lane, with random values in the other three.
#include <gtest/gtest.h>

#include <random>

#include "maths/words.h"

namespace {

TEST(Words, NonzeroLanesMarksExactlyTheNonzeroBytes) {
  std::mt19937 rng(9);
  int bad = 0;
  for (int lane = 0; lane < 4; lane++)
    for (uint32_t v = 0; v < 256; v++)
      for (int k = 0; k < 64; k++) {
        uint32_t w = rng();
        if (k % 4 == 0) w &= 0x00FF00FFu;  // zero lanes next to the one tried
        if (k % 4 == 1) w |= 0x80808080u;  // and lanes with the top bit set
        w = (w & ~(0xFFu << 8 * lane)) | v << 8 * lane;
        uint32_t want = 0;
        for (int j = 0; j < 4; j++)
          if ((w >> 8 * j) & 0xFF) want |= 0xFFu << 8 * j;
        bad += nonzero_lanes(w) != want;
      }
  EXPECT_EQ(bad, 0);
}

}  // namespace
