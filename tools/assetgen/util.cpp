// Asset generator: PNG output, noise and dithering shared by the jobs.
#include "gen.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/writers/writers.h"

// Previews and icons go through the tools' checked writer: a full disk
// ends the generator with the reason, and no half PNG is left behind.
void write_png(const std::string &path, int w, int h, int channels, const uint8_t *data) {
  tw_png(path, w, h, channels, data);
}

namespace {

uint32_t hash2(int x, int y, uint32_t salt) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + salt * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

double lattice(int x, int y, uint32_t salt, int per) {
  if (per > 0) {
    x = ((x % per) + per) % per;
    y = ((y % per) + per) % per;
  }
  return (hash2(x, y, salt) & 0xFFFFFF) / double(0xFFFFFF);
}

double smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

double vnoise(double x, double y, uint32_t salt, int per) {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  double tx = smooth(x - fx), ty = smooth(y - fy);
  double a = lattice(ix, iy, salt, per), b = lattice(ix + 1, iy, salt, per);
  double c = lattice(ix, iy + 1, salt, per), d = lattice(ix + 1, iy + 1, salt, per);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double fbm(double x, double y, uint32_t salt, int oct, int per) {
  double sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < oct; o++) {
    sum += amp * vnoise(x, y, salt + uint32_t(o) * 7919u, per);
    norm += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
    if (per > 0) per *= 2;
  }
  return sum / norm;
}

uint8_t quantise(double v, int x, int y) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  double d = (bayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
  double q = std::floor(v * 255.0 + d + 0.5);
  return uint8_t(q < 0 ? 0 : q > 255 ? 255 : q);
}
