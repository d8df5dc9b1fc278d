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

// Value at a lattice point whose coordinates are already wrapped.
double lattice(int x, int y, uint32_t salt) { return (hash2(x, y, salt) & 0xFFFFFF) / double(0xFFFFFF); }

// A lattice coordinate wrapped into 0..per-1 for a period per > 0 (as it
// is otherwise), and the one after it, wrapped the same way. Wrapping the
// cell's corner once and stepping saves three of every four divisions.
int wrap(int v, int per) { return per > 0 ? ((v % per) + per) % per : v; }
int wrap_next(int wrapped, int per) { return per > 0 && wrapped + 1 == per ? 0 : wrapped + 1; }

double smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

double vnoise(double x, double y, uint32_t salt, int per) {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  double tx = smooth(x - fx), ty = smooth(y - fy);
  int x0 = wrap(ix, per), y0 = wrap(iy, per), x1 = wrap_next(x0, per), y1 = wrap_next(y0, per);
  double a = lattice(x0, y0, salt), b = lattice(x1, y0, salt);
  double c = lattice(x0, y1, salt), d = lattice(x1, y1, salt);
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
