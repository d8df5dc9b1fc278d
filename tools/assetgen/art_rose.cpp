// Asset generator: the rose window behind the letter wave and the arch in
// front of it.
//
//   drose  indexed picture: a rose window lit from behind in an ashlar wall.
//          The letters are drawn over it in index 0 with thin index-240
//          contours, then the frame is halftoned, so the glass is kept
//          mid-to-bright and the stone mid-dark: black letters read on both.
//   rosic  overlay (index 255 transparent): a pointed arch on clustered
//          shafts in the foreground, in shadow; the whole middle stays
//          transparent. It never uses 255 for itself.
#include "art_arch_canvas.h"
#include "fx/scene_pixels.h"
#include "gen.h"

#include <cmath>

namespace {

using arch::Canvas;

const int W = 320, H = 200;
const double cx = 160, cy = 100;
const double R = 95;  // outer edge of the moulding

// Material at a point of the rose: < 0 stone, otherwise the brightness of
// the glass there (0..1).
double rose_at(double x, double y) {
  double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
  double ang = std::atan2(dy, dx);
  auto sector = [&](int n, double off, double &phi) {
    double a = (ang - off) * n / (2 * M_PI);
    double k = std::round(a);
    phi = (a - k) * 2 * M_PI / n;
    return (int(k) % n + n) % n;
  };
  auto glass = [&](double base, int pane, double freq) {
    double n = fbm(x / 9.0, y / 9.0, 500 + uint32_t(pane), 3);
    double v = base * (0.8 + 0.4 * n);
    // Lead cames: thin dark lines across the pane.
    double ring = std::fabs(std::fmod(r, freq) - freq / 2);
    if (ring > freq / 2 - 0.45) v *= 0.25;
    return std::clamp(v, 0.0, 1.0);
  };
  if (r < 14) {  // oculus with a quatrefoil of stone
    for (int i = 0; i < 4; i++) {
      double ox = cx + 6 * std::cos(i * M_PI / 2 + M_PI / 4), oy = cy + 6 * std::sin(i * M_PI / 2 + M_PI / 4);
      if (std::hypot(x - ox, y - oy) < 6.2) return glass(0.98, 0, 100);
    }
    return -1;
  }
  if (r < 17.5) return -1;
  if (r < 58) {  // twelve lancet petals
    double phi;
    int k = sector(12, 0, phi);
    double half = M_PI / 12 * r - 1.6;
    double tip = std::sqrt(std::clamp((57 - r) / 12.0, 0.0, 1.0));
    double foot = std::sqrt(std::clamp((r - 18.5) / 4.0, 0.0, 1.0));
    if (std::fabs(phi) * r > half * std::min(tip, foot)) return -1;
    if (std::fabs(phi) * r < 0.45 && r > 26 && r < 50) return 0.08;  // middle came
    return glass(k % 2 ? 0.78 : 0.62, 1 + k, 9);
  }
  if (r < 62) return -1;
  if (r < 86) {  // 24 round foils, with small glass piercings between them
    double phi;
    int k = sector(24, 0, phi);
    double fx = r * std::cos(phi) - 74, fy = r * std::sin(phi);
    if (std::hypot(fx, fy) < 8.3) {
      if (std::hypot(fx, fy) < 2.2) return 0.9;  // bright boss of each foil
      return glass(k % 3 == 0 ? 0.85 : 0.55, 20 + k, 100);
    }
    double phi2;
    int k2 = sector(24, M_PI / 24, phi2);
    double gx = r * std::cos(phi2) - 81, gy = r * std::sin(phi2);
    if (std::hypot(gx, gy) < 2.4) return glass(0.7, 50 + k2, 100);
    return -1;
  }
  return -1;
}

// Ashlar courses: brightness of the wall around the rose.
double wall_at(int x, int y) {
  int course = y / 16;
  int shift = (course * 19) % 37;
  int block = (x + shift) / 38;
  bool joint = y % 16 == 0 || (x + shift) % 38 == 0;
  Rng r(uint64_t(course) * 131 + uint64_t(block) + 900);
  double b = 0.24 + 0.08 * r.uniform() + 0.08 * (fbm(x / 6.0, y / 6.0, 901, 4) - 0.5);
  if (joint) b *= 0.45;
  return b;
}

void make_rose(uint8_t *out) {
  Canvas stone(W, H, false), glassv(W, H, false);
  const int ss = 4;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double s = 0, g = 0;
      for (int j = 0; j < ss; j++)
        for (int i = 0; i < ss; i++) {
          double px = x + (i + 0.5) / ss, py = y + (j + 0.5) / ss;
          double r = std::hypot(px - cx, py - cy);
          double m = r < R ? rose_at(px, py) : -1;
          if (m < 0) s += 1;
          else g += m;
        }
      stone.at(x, y) = float(s / (ss * ss));
      glassv.at(x, y) = float(g / (ss * ss));
    }
  // Bevel: the stone's relief from its blurred coverage, lit from the top left.
  Canvas relief = stone;
  arch::blur(relief, 2);
  Canvas c(W, H, false);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double r = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      double emb = (relief.get(x - 1, y - 1) - relief.get(x + 1, y + 1)) * 1.4;
      double tex = fbm(x / 5.0, y / 5.0, 902, 4) - 0.5;
      double st;
      if (r < R) {
        // Light through the glass falls on the tracery near it.
        double halo = 0.16 * (1 - relief.get(x, y));
        st = 0.2 + 0.1 * tex + emb * 0.5 + halo;
        if (r > 86) {  // moulding: a rounded roll and a hollow
          double t = (r - 86) / (R - 86);
          st = 0.2 + 0.28 * std::sin(t * M_PI) * (0.7 - 0.5 * (y - cy) / R) + 0.08 * tex;
        }
      } else {
        double vign = 1 - 0.55 * std::pow(std::hypot((x - cx) / 190.0, (y - cy) / 130.0), 2);
        st = wall_at(x, y) * vign + 0.12 * std::exp(-(r - R) / 10.0);
      }
      double s = stone.at(x, y);
      c.at(x, y) = float(st * s + glassv.at(x, y));
    }
  arch::store(c, out);
}

// Clustered shafts: a few vertical rolls side by side, each shaded as a cylinder.
double shafts(double x, double x0, double x1) {
  int n = 3;
  double w = (x1 - x0) / n;
  double t = std::fmod(x - x0, w) / w;                  // 0..1 across one shaft
  return 0.06 + 0.2 * std::pow(std::sin(t * M_PI), 1.5) * (1.0 - 0.6 * t);  // lit from the left
}

void make_overlay(uint8_t *out) {
  Canvas frame(W, H, false);  // 1 where the frame is solid
  const double x0 = 22, x1 = 298, ya = 4, ys = ya + (x1 - x0) / 2;  // equilateral arch
  arch::paint(frame, 0, 0, W - 1, H - 1, 1.0f, [&](double x, double y) { return !arch::in_arch(x, y, x0, x1, ys, ya, H + 1); });
  // Cusps: small round lobes hanging from the arch's inner edge.
  for (double t : {0.16, 0.33, 0.67, 0.84}) {
    double half = (x1 - x0) / 2, rise = ys - ya, rr = (half * half + rise * rise) / (2 * half);
    // Point on the arch: the left arc for t < 0.5 (centre at (x1 - rr, ys)), mirrored on the right.
    double a = (t < 0.5 ? (1 - t / 0.5) : (t - 0.5) / 0.5);  // 1 at the springing, 0 at the apex
    double apex_ang = std::acos((rr - half) / rr);           // angle of the apex from the arc centre
    double th = apex_ang + a * (M_PI - apex_ang);
    double px = (x1 - rr) + rr * std::cos(th), py = ys - rr * std::sin(th);
    if (t > 0.5) px = 2 * cx - px;
    double nx = cx - px, ny = ys - py, nl = std::hypot(nx, ny);
    arch::disc(frame, px + nx / nl * 4, py + ny / nl * 4, 6, 1.0f);
    arch::disc(frame, px + nx / nl * 9, py + ny / nl * 9, 3.2, 0.0f);
  }
  // A sill across the foot of the opening.
  arch::rect(frame, 0, 190, W, H, 1.0f);
  Canvas relief = frame;
  arch::blur(relief, 2);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      float f = frame.at(x, y);
      if (f < 0.5f) {
        out[y * W + x] = 255;
        continue;
      }
      double emb = (relief.get(x - 2, y - 1) - relief.get(x + 2, y + 1)) * 0.8;
      double tex = fbm(x / 4.0, y / 4.0, 950, 4) - 0.5;
      double v;
      if (y >= 190) v = 0.16 - 0.1 * (y - 190) / 10.0 + (y < 192 ? 0.15 : 0.0);
      else if (x < x0) v = shafts(x, 2, x0);
      else if (x >= x1) v = shafts(x, x1, W - 2);
      else v = 0.14;
      v += emb * 0.35 + 0.06 * tex;
      // The inner edge catches light from the window behind.
      v += 0.25 * (1 - relief.get(x, y));
      out[y * W + x] = uint8_t(std::min<int>(254, quantise(std::clamp(v, 0.0, 1.0), x, y)));
    }
}

void composed_preview() {
  std::vector<uint8_t> f(asset("drose"), asset("drose") + 64000);
  const uint8_t *o = asset("rosic");
  for (int i = 0; i < 64000; i++) f[i] = overlay_pixel(f[i], o[i]);
  preview_grey("drose_rosic", W, H, f.data());
}

}  // namespace

void job_rose() {
  make_rose(asset("drose"));
  make_overlay(asset("rosic"));
  preview_grey("drose", W, H, asset("drose"));
  std::vector<uint8_t> ov(asset("rosic"), asset("rosic") + 64000);
  for (auto &p : ov)
    if (p == 255) p = 128;  // transparent shown as mid grey
  preview_grey("rosic", W, H, ov.data());
  composed_preview();
}
