// The picture rasteriser's triangle fill against the plain 64-bit
// arithmetic of its rules (16.16 x carried in 64 bits, one division per
// edge, the sum-then-shift roundings), on hundreds of thousands of random
// triangles: small ones like the worms' links, ones across the frame edges,
// and ones beyond +-40000 and +-65535 quarter pixels, which take the wide
// paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "vector/cgm.h"

namespace {

constexpr int W = 320, H = 200;

struct RefFill {
  int64_t left[H], right[H];
  int rtop = 0, rbot = -1;

  static int64_t row(int64_t y) { return (y + 2) >> 2; }

  void edge(int64_t xt, int64_t ra, int64_t xb, int64_t rb) {
    if (rb < ra) std::swap(xt, xb), std::swap(ra, rb);
    if (ra == rb) return;
    const int64_t step = int64_t(int32_t(((xb << 14) - (xt << 14)) / (rb - ra)));
    int64_t x = xt << 14;
    for (int64_t r = ra; r <= std::min<int64_t>(rb, rbot); r++, x += step) {
      if (r < 0) continue;
      const int64_t v = std::clamp<int64_t>(x, INT32_MIN, INT32_MAX);
      left[r] = std::min(left[r], v);
      right[r] = std::max(right[r], v);
    }
  }

  void draw(uint8_t *fb, const int *X, const int *Y, uint8_t colour) {
    int64_t ylo = 100000, yhi = -100000;
    for (int i = 0; i < 3; i++) ylo = std::min<int64_t>(ylo, Y[i]), yhi = std::max<int64_t>(yhi, Y[i]);
    rtop = int(std::max<int64_t>(row(ylo), 0));
    rbot = int(std::min<int64_t>(row(yhi), H - 1));
    if (rbot < rtop) return;
    for (int r = rtop; r <= rbot; r++) left[r] = 10000 << 16, right[r] = -(10000 << 16);
    for (int i = 0; i < 3; i++) edge(X[i], row(Y[i]), X[(i + 1) % 3], row(Y[(i + 1) % 3]));
    for (int r = rtop; r <= rbot; r++) {
      int64_t xl = (left[r] + 0x7FFF) >> 16, xr = (right[r] + 0x7FFF) >> 16;
      if (xr < 0 || xl >= W) continue;
      xl = std::max<int64_t>(xl, 0);
      xr = std::min<int64_t>(xr, W - 1);
      for (int64_t x = xl; x <= xr; x++) fb[r * W + x] = colour;
    }
  }
};

int32_t tri[6];
cgm_element element{CGM_FILL, 0, 0, 0, 1, 0, nullptr, tri, nullptr};
cgm_picture picture{{}, 0, 0, &element};

void identity(int x, int y, int *X, int *Y) { *X = x, *Y = y; }

// Draws `count` random triangles from `pick` with both rasterisers into two
// frames, comparing every triangle's rows and the frames every 32 draws.
template <class Pick>
void compare(int count, Pick pick) {
  std::vector<uint8_t> mine(W * H, 0), ref(W * H, 0);
  RefFill r;
  for (int i = 0; i < count; i++) {
    int X[3], Y[3];
    for (int k = 0; k < 3; k++) pick(X[k], Y[k]), tri[2 * k] = X[k], tri[2 * k + 1] = Y[k];
    element.fillcolr = i & 255;
    cgm_render(&picture, mine.data(), identity);
    r.draw(ref.data(), X, Y, uint8_t(i));
    // The rows the triangle covers, right after it.
    for (int row = std::max(r.rtop, 0); row <= std::min(r.rbot, H - 1); row++)
      ASSERT_TRUE(std::equal(mine.begin() + row * W, mine.begin() + (row + 1) * W, ref.begin() + row * W))
          << "triangle " << i << " row " << row;
    if (i % 32 == 31) {
      ASSERT_EQ(mine, ref) << "after triangle " << i;
    }
  }
  ASSERT_EQ(mine, ref);
}

TEST(CgmRenderRef, SmallTrianglesAnywhereOnAndAroundTheFrame) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> cx(-200, 1480), cy(-200, 1000), d(-60, 60);
  int x0 = 0, y0 = 0;
  int k = 0;
  compare(300000, [&](int &x, int &y) {
    if (k++ % 3 == 0) x0 = cx(rng), y0 = cy(rng);
    x = x0 + d(rng), y = y0 + d(rng);
  });
}

TEST(CgmRenderRef, LargeAndThinTrianglesAcrossTheFrame) {
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> x(-3000, 4000), y(-1500, 2500);
  compare(30000, [&](int &a, int &b) { a = x(rng), b = y(rng); });
}

TEST(CgmRenderRef, EndsBeyondTheThirtyTwoBitRangeTakeTheWidePath) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> x(-140000, 140000), y(-1200, 2000), near(-65540, -65530), far(39990, 40010);
  int k = 0;
  compare(30000, [&](int &a, int &b) {
    const int kind = k++ % 7;
    a = kind == 0 ? near(rng) : kind == 1 ? -near(rng) : kind == 2 ? far(rng) : kind == 3 ? -far(rng) : x(rng);
    b = y(rng);
  });
}

}  // namespace
