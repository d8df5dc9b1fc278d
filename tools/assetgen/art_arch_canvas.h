// Asset generator: a small anti-aliased 2D canvas for the architectural
// pictures (strips, panorama and mask, rose window).
//
// Values are brightness 0..1 in floats; shapes are inside-tests evaluated at
// 4x4 sub-samples per pixel, so edges come out anti-aliased. A canvas that
// wraps horizontally (strips, panorama) takes shapes at any x: a shape that
// crosses the right edge continues at the left one, so the picture tiles.
#pragma once

#include "gen.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace arch {

struct Canvas {
  int w, h;
  bool wrap;  // horizontal wrap at w
  std::vector<float> v;
  Canvas(int width, int height, bool wrapx, float fill = 0.0f)
      : w(width), h(height), wrap(wrapx), v(size_t(width) * height, fill) {}
  float &at(int x, int y) { return v[size_t(y) * w + x]; }
  float get(int x, int y) const {
    if (wrap) x = ((x % w) + w) % w;
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return v[size_t(y) * w + x];
  }
};

// Blends `value` into the pixels that `inside(x, y)` covers, with opacity
// `alpha` scaled by the covered share of each pixel. (x0, y0)-(x1, y1) bounds
// the shape in canvas units (x may lie outside 0..w on a wrapping canvas).
template <class F>
void paint(Canvas &c, double x0, double y0, double x1, double y1, float value, F inside, float alpha = 1.0f) {
  const int ss = 4;
  int ya = std::max(0, int(std::floor(y0))), yb = std::min(c.h - 1, int(std::ceil(y1)));
  int xa = int(std::floor(x0)), xb = int(std::ceil(x1));
  if (!c.wrap) {
    xa = std::max(0, xa);
    xb = std::min(c.w - 1, xb);
  }
  for (int y = ya; y <= yb; y++)
    for (int x = xa; x <= xb; x++) {
      int n = 0;
      for (int j = 0; j < ss; j++)
        for (int i = 0; i < ss; i++) n += inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss) ? 1 : 0;
      if (n == 0) continue;
      float a = alpha * float(n) / (ss * ss);
      int xx = c.wrap ? ((x % c.w) + c.w) % c.w : x;
      float &p = c.at(xx, y);
      p += (value - p) * a;
    }
}

inline void rect(Canvas &c, double x0, double y0, double x1, double y1, float value, float alpha = 1.0f) {
  paint(c, x0, y0, x1, y1, value, [&](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; }, alpha);
}

inline void disc(Canvas &c, double cx, double cy, double r, float value, float alpha = 1.0f) {
  paint(c, cx - r, cy - r, cx + r, cy + r, value,
        [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r; }, alpha);
}

// Segment with round ends, radius r (a branch, a bar, a line of lead).
inline void capsule(Canvas &c, double ax, double ay, double bx, double by, double r, float value, float alpha = 1.0f) {
  double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  paint(c, std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r, value,
        [&](double x, double y) {
          double t = len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0.0;
          double ex = x - (ax + t * dx), ey = y - (ay + t * dy);
          return ex * ex + ey * ey < r * r;
        },
        alpha);
}

// Polygon (even-odd rule), points as x0, y0, x1, y1, ...
inline void polygon(Canvas &c, const std::vector<double> &pts, float value, float alpha = 1.0f) {
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (size_t i = 0; i < pts.size(); i += 2) {
    x0 = std::min(x0, pts[i]);
    x1 = std::max(x1, pts[i]);
    y0 = std::min(y0, pts[i + 1]);
    y1 = std::max(y1, pts[i + 1]);
  }
  size_t n = pts.size() / 2;
  paint(c, x0, y0, x1, y1, value,
        [&](double x, double y) {
          bool in = false;
          for (size_t i = 0, j = n - 1; i < n; j = i++) {
            double xi = pts[2 * i], yi = pts[2 * i + 1], xj = pts[2 * j], yj = pts[2 * j + 1];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
          }
          return in;
        },
        alpha);
}

// Inside a pointed (gothic) arch: the opening between x0 and x1 with its
// springing line at ys, its apex rising to ya above it, straight sides
// down to yb. The two arcs are centred on the springing line; a rise below
// half the span cannot make a point there, so the apex then sits lower.
inline bool in_arch(double x, double y, double x0, double x1, double ys, double ya, double yb) {
  if (x < x0 || x > x1 || y > yb || y < ya) return false;
  if (y >= ys) return true;
  double half = (x1 - x0) / 2, rise = ys - ya;
  // Radius r of arcs centred at (x1 - r, ys) and (x0 + r, ys) meeting at the apex.
  double r = std::max(half, (half * half + rise * rise) / (2 * half));
  double dl = (x - (x1 - r)) * (x - (x1 - r)) + (y - ys) * (y - ys);
  double dr = (x - (x0 + r)) * (x - (x0 + r)) + (y - ys) * (y - ys);
  return dl < r * r && dr < r * r;
}

inline void arch_shape(Canvas &c, double x0, double x1, double ys, double ya, double yb, float value, float alpha = 1.0f) {
  paint(c, x0, ya, x1, yb, value, [&](double x, double y) { return in_arch(x, y, x0, x1, ys, ya, yb); }, alpha);
}

// Separable box blur of radius r (a soft edge), wrapping where the canvas
// wraps and clamping elsewhere.
inline void blur(Canvas &c, int r) {
  std::vector<float> t(c.v.size());
  for (int y = 0; y < c.h; y++)
    for (int x = 0; x < c.w; x++) {
      float s = 0;
      for (int k = -r; k <= r; k++) s += c.get(x + k, y);
      t[size_t(y) * c.w + x] = s / float(2 * r + 1);
    }
  for (int y = 0; y < c.h; y++)
    for (int x = 0; x < c.w; x++) {
      float s = 0;
      for (int k = -r; k <= r; k++) s += t[size_t(std::clamp(y + k, 0, c.h - 1)) * c.w + x];
      c.at(x, y) = s / float(2 * r + 1);
    }
}

// Dithered bytes of the canvas, brightness 0..1 mapped to lo..hi.
inline void store(const Canvas &c, uint8_t *out, int lo = 0, int hi = 255) {
  for (int y = 0; y < c.h; y++)
    for (int x = 0; x < c.w; x++) {
      double b = std::clamp(double(c.v[size_t(y) * c.w + x]), 0.0, 1.0);
      uint8_t q = quantise(b, x, y);
      out[size_t(y) * c.w + x] = uint8_t(lo + (q * (hi - lo) + 127) / 255);
    }
}

}  // namespace arch
