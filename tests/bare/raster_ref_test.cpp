// The 3D rasteriser against the plain arithmetic of its rules (the
// projection's quotient taken in 64 bits, the edge and depth steps and the
// per-span depth step by the compiler's division), over thousands of random
// models: spinning clouds in front of the camera like the demo's, and
// vertices close to the eye plane whose projections land far off the
// screen, up to the ends of the 32-bit range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "vector/bare.h"
#include "vector/bare_fixed.h"

namespace {

using namespace bare_fixed;

constexpr int W = 320, H = 200;

struct RefRaster {
  std::vector<int32_t> zbuf = std::vector<int32_t>(W * H, BARE_ZCLEAR);
  std::vector<uint8_t> frame = std::vector<uint8_t>(W * H, 0);
  int32_t v[1000][3];
  int32_t left[H], right[H], left_z[H], right_z[H];

  void project(const int32_t *model, int n) {
    for (int k = 0; k < n; k++) {
      const int32_t *p = model + 1 + 3 * k;
      int32_t e[3];
      for (int i = 0; i < 3; i++)
        e[i] = add(add(add(mulq(p[0], bare_matrix[i][0]), mulq(p[1], bare_matrix[i][1])),
                       mulq(p[2], bare_matrix[i][2])),
                   mul(16, bare_matrix[i][3]));
      int64_t d = std::llabs(int64_t(e[2]));
      if (d == 0) d = 1;
      v[k][0] = add(int32_t(int64_t(mul(e[0], 600)) / d), 160);
      v[k][1] = add(int32_t(int64_t(mul(e[1], -600)) / d), 100);
      v[k][2] = e[2];
    }
  }

  void edge(const int32_t *p, const int32_t *q) {
    if (p[1] == q[1]) return;
    const int32_t *t = p[1] < q[1] ? p : q, *b = p[1] < q[1] ? q : p;
    const int64_t dy = int64_t(b[1]) - t[1];
    const int32_t xs = int32_t(sub(shl16(b[0]), shl16(t[0])) / dy), zs = int32_t(sub(b[2], t[2]) / dy);
    int64_t y = t[1];
    int32_t x = shl16(t[0]), z = t[2];
    if (y < 0) {  // rows above the screen only step
      x = add(x, mul(xs, int32_t(uint32_t(-y))));
      z = add(z, mul(zs, int32_t(uint32_t(-y))));
      y = 0;
    }
    for (; y <= b[1] && y < H; y++, x = add(x, xs), z = add(z, zs)) {
      if (x < left[y]) left[y] = x, left_z[y] = z;
      if (x > right[y]) right[y] = x, right_z[y] = z;
    }
  }

  void fill(int y, const uint8_t *colours) {
    int32_t l = left[y], r = right[y];
    if (r < 0 || l >= (320 << 16)) return;
    l = std::max(l, 0);
    if (r >= (320 << 16)) r = 319 << 16;
    const int xs = l >> 16, xe = r >> 16;
    if (xe < xs) return;
    const int32_t dz = sub(right_z[y], left_z[y]) / (xe - xs + 1);
    int32_t z = left_z[y];
    for (int x = xs; x <= xe; x++, z = add(z, dz))
      if (zbuf[y * W + x] < z) frame[y * W + x] = colours[(-int64_t(z) >> 10) & 255], zbuf[y * W + x] = z;
  }

  void triangle(const int32_t *a, const int32_t *b, const int32_t *c, const uint8_t *colours) {
    if (add(mul(sub(b[0], a[0]), sub(a[1], c[1])), mul(sub(c[0], a[0]), sub(b[1], a[1]))) <= 0) return;
    const int32_t ymin = std::min({1000000, a[1], b[1], c[1]}), ymax = std::max({-1000000, a[1], b[1], c[1]});
    if (ymax < 0 || ymin >= H) return;
    const int y0 = std::max(ymin, 0), y1 = std::min(ymax, H - 1);
    for (int y = y0; y <= y1; y++) left[y] = 100000000, right[y] = -100000000;
    edge(a, b), edge(b, c), edge(c, a);
    for (int y = y0; y <= y1; y++) fill(y, colours);
  }

  void render(const std::vector<int32_t> &m, const uint8_t *colours) {
    const int n = m[0];
    project(m.data(), n);
    const int32_t *t = m.data() + 3 * n + 2;
    for (int f = 0; f < m[3 * n + 1]; f++, t += 3) triangle(v[t[0]], v[t[1]], v[t[2]], colours);
  }
};

// A random model of n vertices within +-`extent` (16.16) and f triangles.
std::vector<int32_t> random_model(std::mt19937 &rng, int n, int f, int32_t extent) {
  std::uniform_int_distribution<int32_t> c(-extent, extent);
  std::uniform_int_distribution<int> k(0, n - 1);
  std::vector<int32_t> m{n};
  for (int i = 0; i < 3 * n; i++) m.push_back(c(rng));
  m.push_back(f);
  for (int i = 0; i < 3 * f; i++) m.push_back(k(rng));
  return m;
}

// Renders `models` random models per frame for `frames` frames with both
// rasterisers, comparing the frame and the depth buffer after each frame.
void compare(uint32_t stream, int frames, int models, int32_t extent, float distance) {
  std::mt19937 rng(stream);
  std::uniform_real_distribution<float> angle(0, 6.2831853f), shift(-3, 3);
  uint8_t colours[256];
  for (int i = 0; i < 256; i++) colours[i] = uint8_t(i * 7 + 1);
  std::vector<uint8_t> frame(W * H, 0);
  for (int i = 0; i < frames; i++) {
    RefRaster ref;
    ref.frame = frame;
    bare_clearzbuf();
    for (int j = 0; j < models; j++) {
      const std::vector<int32_t> m = random_model(rng, 40, 60, extent);
      bare_loadidentity();
      bare_translate(shift(rng), shift(rng), -distance);
      bare_rotatex(angle(rng));
      bare_rotatey(angle(rng));
      bare_rotatez(angle(rng));
      bare_render(m.data(), frame.data(), colours);
      ref.render(m, colours);
    }
    ASSERT_EQ(frame, ref.frame) << "frame " << i;
    ASSERT_TRUE(std::equal(ref.zbuf.begin(), ref.zbuf.end(), bare_zbuf)) << "frame " << i;
  }
}

TEST(BareRasterRef, ModelsInFrontOfTheCameraAsTheScenesPlaceThem) {
  compare(11, 250, 3, 5 * 65536, 16.0f);
}

TEST(BareRasterRef, VerticesNearTheEyePlaneProjectFarOffTheScreen) {
  compare(12, 250, 2, 7 * 65536, 1.0f);
}

TEST(BareRasterRef, TinyDepthsReachTheEndsOfTheThirtyTwoBitRange) {
  compare(13, 250, 2, 7 * 65536, 0.0f);
}

}  // namespace
