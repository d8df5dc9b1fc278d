// The models through the demo's own renderer, as the scenes turn them:
// what shows is the near surface, and the star's silhouette has no gaps
// from culled faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "vector/bare.h"

namespace {

// The stored big-endian words in native order, as start-up leaves them.
std::vector<int32_t> native(const uint8_t *p, size_t bytes) {
  std::vector<int32_t> w(bytes / 4);
  for (size_t i = 0; i < w.size(); i++)
    w[i] = int32_t(uint32_t(p[4 * i]) << 24 | uint32_t(p[4 * i + 1]) << 16 | uint32_t(p[4 * i + 2]) << 8 |
                   uint32_t(p[4 * i + 3]));
  return w;
}

// Marks the background (0) pixels 4-connected to `start` with `label`;
// returns how many.
int fill(const std::vector<uint8_t> &f, std::vector<int> &label, int start, int id) {
  std::vector<int> stack = {start};
  int n = 0;
  while (!stack.empty()) {
    int i = stack.back();
    stack.pop_back();
    if (label[i] || f[i]) continue;
    label[i] = id;
    n++;
    int x = i % 320, y = i / 320;
    if (x > 0) stack.push_back(i - 1);
    if (x < 319) stack.push_back(i + 1);
    if (y > 0) stack.push_back(i - 320);
    if (y < 199) stack.push_back(i + 320);
  }
  return n;
}

// Size of the largest patch of background enclosed by the drawn shape.
// Thorns crossing on screen may trap a pixel or two; a face culled by
// wrong winding leaves a hole of its whole projected area (the star's
// smallest faces cover over 30 pixels at 19 units).
int largest_enclosed(const std::vector<uint8_t> &f) {
  std::vector<int> label(64000, 0);
  for (int x = 0; x < 320; x++) fill(f, label, x, 1), fill(f, label, 199 * 320 + x, 1);
  for (int y = 0; y < 200; y++) fill(f, label, y * 320, 1), fill(f, label, y * 320 + 319, 1);
  int largest = 0;
  for (int i = 0; i < 64000; i++)
    if (!f[i] && !label[i]) largest = std::max(largest, fill(f, label, i, 2));
  return largest;
}

}  // namespace

TEST(ModelsRendered, StarShowsItsNearSurfaceWithoutGapsAsItTurns) {
  std::vector<int32_t> star = native(model1, sizeof(model1));
  uint8_t solid[256];
  std::memset(solid, 255, sizeof solid);
  std::vector<uint8_t> frame(64000);
  for (int step = 0; step < 12; step++) {
    SCOPED_TRACE(step);
    std::fill(frame.begin(), frame.end(), 0);
    bare_clearzbuf();
    bare_loadidentity();
    bare_translate(0, 0, -19.0f);
    bare_rotatey(step * 0.55f);
    bare_rotatex(step * 0.31f);
    bare_render(star.data(), frame.data(), solid);
    EXPECT_LT(largest_enclosed(frame), 10);
    // The core covers the centre; its front lies nearer than the middle.
    EXPECT_GT(bare_zbuf[100 * 320 + 160], -19 * 65536);
  }
}

// Head-on at the letters' depth of 13 units the front cap makes most of
// the letter (perspective shows a little of the inner side walls); wrong
// winding would show the back cap instead.
TEST(ModelsRendered, LettersShowTheirFrontCap) {
  const struct {
    const uint8_t *data;
    size_t bytes;
    int32_t front;  // z of the front cap, 16.16
  } letters[] = {{ch_u, sizeof(ch_u), 13653}, {ch_r, sizeof(ch_r), 6553}, {ch_e, sizeof(ch_e), 6553}, {ch_t, sizeof(ch_t), 6553}};
  uint8_t solid[256];
  std::memset(solid, 255, sizeof solid);
  std::vector<uint8_t> frame(64000);
  for (const auto &l : letters) {
    std::vector<int32_t> m = native(l.data, l.bytes);
    std::fill(frame.begin(), frame.end(), 0);
    bare_clearzbuf();
    bare_loadidentity();
    bare_translate(0, 0, -13.0f);
    bare_render(m.data(), frame.data(), solid);
    int drawn = 0, front = 0;
    for (int i = 0; i < 64000; i++) {
      if (!frame[i]) continue;
      drawn++;
      front += bare_zbuf[i] >= l.front - 13 * 65536 - 64;  // on the cap, within rounding
    }
    EXPECT_GT(drawn, 1500);  // about 1 x 2 units at 46 pixels a unit
    EXPECT_GT(front * 10, drawn * 8);
  }
}
