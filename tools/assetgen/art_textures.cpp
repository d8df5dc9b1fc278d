// Texture `kiehkura`: 256x256 weathered stone. A fine grain of small
// crystals and pores over a faint relief of the old bone-and-root
// ornament, lit from the upper left. Every ingredient is periodic in 256
// texels, so the texture tiles in both directions: the skull and the
// gargoyle scroll it through their UV maps with the offsets wrapping at 256.
//
// The texture is dark and low in contrast on purpose (indices about 12 to
// 30): the skull multiplies it into its shading (T * img / D, D down to
// 30) and the gargoyle adds and takes away two layers of it, so a bright
// or contrasty texel would burn the skull out and drown the gargoyle's
// own light and shade.
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int N = 256;

// Wrapped difference of two coordinates on the 256-texel torus.
double wrap_d(double d) {
  d = std::fmod(d, double(N));
  if (d > N / 2) d -= N;
  if (d < -N / 2) d += N;
  return d;
}

// Distances to the nearest and second-nearest feature points of a tiling
// cellular pattern with g x g cells over the texture (one jittered point
// per cell).
void worley(double x, double y, int g, uint32_t salt, double &f1, double &f2) {
  const double cell = double(N) / g;
  int cx = int(std::floor(x / cell)), cy = int(std::floor(y / cell));
  f1 = f2 = 1e9;
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) {
      int ix = ((cx + dx) % g + g) % g, iy = ((cy + dy) % g + g) % g;
      Rng r(uint64_t(ix) * 131 + uint64_t(iy) * 7919 + salt);
      double px = (ix + 0.15 + 0.7 * r.uniform()) * cell, py = (iy + 0.15 + 0.7 * r.uniform()) * cell;
      double d = std::hypot(wrap_d(px - x), wrap_d(py - y)) / cell;
      if (d < f1) f2 = f1, f1 = d;
      else if (d < f2) f2 = d;
    }
}

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Height of the ornament at texel (x, y), 0 (deep hollow) to about 1.
double height(double x, double y) {
  // Organic warp shared by all layers: period 256 at the base frequency.
  double wx = x + 22 * (fbm(x / 64, y / 64, 11, 3, 4) - 0.5);
  double wy = y + 22 * (fbm(x / 64, y / 64, 12, 3, 4) - 0.5);

  // Bone: thick rounded walls between the cells, pierced by small pores.
  double f1, f2;
  worley(wx, wy, 7, 1, f1, f2);
  double wall = 1 - smoothstep(0.0, 0.34, f2 - f1);
  double bone = std::sqrt(wall) * (0.75 + 0.25 * fbm(x / 16, y / 16, 3, 2, 16));
  double p1, p2;
  worley(wx, wy, 37, 2, p1, p2);
  double pitted = smoothstep(0.45, 0.6, fbm(x / 32, y / 32, 4, 2, 8));  // pores only in patches
  bone *= 1 - pitted * (1 - smoothstep(0.07, 0.19, p1));

  // Roots: ridges of a swirled noise field, thin and bright where they
  // cross the hollows.
  double sx = x, sy = y;
  const double curls[4][3] = {{40, 60, 1}, {170, 30, -1}, {110, 170, 1}, {220, 210, -1}};
  for (const auto &c : curls) {
    double dx = wrap_d(sx - c[0]), dy = wrap_d(sy - c[1]);
    // Compact falloff (zero beyond 100 texels, inside half the period) so
    // the swirl itself tiles.
    double f = std::max(0.0, 1 - (dx * dx + dy * dy) / (100.0 * 100.0)), a = c[2] * 3.2 * f * f * f;
    double ca = std::cos(a), sa = std::sin(a);
    sx = c[0] + dx * ca - dy * sa;
    sy = c[1] + dx * sa + dy * ca;
  }
  double n = fbm(sx / 64, sy / 64, 21, 3, 4);
  double ridge = 1 - std::fabs(2 * n - 1);
  double grow = smoothstep(0.4, 0.6, fbm(x / 64, y / 64, 22, 2, 4));
  double root = smoothstep(0.87, 0.98, ridge) * (0.55 + 0.45 * grow);

  // Lichen: crusty patches in the hollows.
  double patch = smoothstep(0.55, 0.68, fbm(x / 32, y / 32, 31, 3, 8));
  double crust = fbm(x / 4, y / 4, 32, 2, 64);
  double lichen = patch * (0.12 + 0.22 * crust);

  return std::max({bone * 0.95, root, lichen});
}

// Fine stone grain at texel (x, y), 0..1: crystals of two sizes and a
// scatter of small dark pores.
double grain(double x, double y) {
  double g = 0.6 * fbm(x / 4, y / 4, 41, 2, 64) + 0.4 * fbm(x / 16, y / 16, 42, 3, 16);
  double f1, f2;
  worley(x, y, 64, 43, f1, f2);
  double pore = 1 - smoothstep(0.08, 0.22, f1);
  return std::clamp(g - 0.5 * pore * fbm(x / 8, y / 8, 44, 2, 32), 0.0, 1.0);
}

// Brightness 0..1 of the ornament's relief at (x, y), lit from the upper
// left: hollows near 0, lit ridges towards 1.
double relief(const std::vector<double> &h, int x, int y) {
  auto H = [&](int px, int py) { return h[((py + N) % N) * N + (px + N) % N]; };
  const double lx = -0.6, ly = -0.6, lz = 0.53;
  double gx = (H(x + 1, y) - H(x - 1, y)) * 6, gy = (H(x, y + 1) - H(x, y - 1)) * 6;
  double len = std::sqrt(gx * gx + gy * gy + 1);
  double lambert = std::max(0.0, (-gx * lx - gy * ly + lz) / len);
  double hv = H(x, y);
  return std::clamp(hv * (0.35 + 0.9 * lambert) + 0.25 * hv * hv, 0.0, 1.0);
}

}  // namespace

void job_textures() {
  std::vector<double> h(N * N);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++) h[y * N + x] = height(x, y);
  uint8_t *t = asset("kiehkura");
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++) {
      double v = 0.038 + 0.03 * relief(h, x, y) + 0.055 * grain(x, y);
      t[y * N + x] = quantise(v, x, y);
    }
  preview_grey("kiehkura", N, N, t);
  std::vector<uint8_t> tiled(4 * N * N);
  for (int y = 0; y < 2 * N; y++)
    for (int x = 0; x < 2 * N; x++) tiled[y * 2 * N + x] = t[(y % N) * N + x % N];
  preview_grey("kiehkura_tiled", 2 * N, 2 * N, tiled.data());
}
