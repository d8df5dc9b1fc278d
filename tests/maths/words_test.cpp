// The byte-lane helper against the per-lane rule: every value of each
// lane, with random values in the other three.
#include <gtest/gtest.h>

#include <cstring>
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

// Every length up to past two eight-word bursts from every alignment:
// exactly the bytes memset writes, none beside them.
TEST(Words, FillBytesWritesExactlyTheRun) {
  alignas(8) uint8_t got[96], want[96];
  int bad = 0;
  for (int start = 0; start < 8; start++)
    for (int n = 0; n <= 80; n++) {
      std::memset(got, 0x5A, sizeof got);
      std::memset(want, 0x5A, sizeof want);
      std::memset(want + start, 0xC3, size_t(n));
      fill_bytes(got + start, n, 0xC3);
      bad += std::memcmp(got, want, sizeof got) != 0;
    }
  EXPECT_EQ(bad, 0);
}

}  // namespace
