// The portraits with the segment worms the portrait scene draws over
// them: while each portrait is shown, the worms seldom cross its sitter.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "vector/wurms.h"

namespace {

// One row of the module in ms (6 ticks of 2.5 / 136 s) and the first row
// of each portrait: positions 2200, 2242 and 2320 (64 rows a pattern),
// the last one shown until 2400.
constexpr double kRowMs = 6 * 2500.0 / 136;
constexpr int kFirstRow[4] = {22 * 64, 22 * 64 + 42, 23 * 64 + 20, 24 * 64};

struct Sitter {
  const char *name;
  const uint8_t *pic;
};
const Sitter kSitters[3] = {{"tamsk", tamsk}, {"dorl", dorl}, {"vesk", vesk}};

// The sitter: the lit figure right of the caption's columns (0..195).
std::vector<int> figure_pixels(const uint8_t *pic) {
  std::vector<int> px;
  for (int i = 0; i < 64000; i++)
    if (i % 320 >= 196 && pic[i] >= 70) px.push_back(i);
  return px;
}

}  // namespace

TEST(PortraitWorms, SeldomCrossTheSitters) {
  std::srand(1);  // the demo's unseeded rand, as the worms' start-up draws it
  wurms_rand = std::rand;
  wurms_init();
  std::vector<uint8_t> fb(64000);
  for (int k = 0; k < 3; k++) {
    const std::vector<int> fig = figure_pixels(kSitters[k].pic);
    ASSERT_GT(fig.size(), 2000u) << kSitters[k].name;
    long long crossed = 0, frames = 0;
    for (int t = int(kFirstRow[k] * kRowMs); t < int(kFirstRow[k + 1] * kRowMs); t += 40, frames++) {
      std::memset(fb.data(), 0, fb.size());
      wurms2(fb.data(), t, 8);
      for (int i : fig) crossed += fb[i] != 0;
    }
    const double share = double(crossed) / double(frames * fig.size());
    EXPECT_LE(share, 0.20) << kSitters[k].name;
    std::printf("%s: worms over %.1f%% of the sitter (mean per frame)\n", kSitters[k].name, 100 * share);
  }
}
