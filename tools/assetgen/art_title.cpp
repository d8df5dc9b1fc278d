// Title picture `ulvenor` (320x200, index = brightness): the nave of a
// dark church seen through a great pointed arch, a tall traceried window
// at the far end sending shafts of light down into the mist on the floor,
// and "Ulvenor Tarquel" set in blackletter across it, lifted off the
// window by a soft shadow.
#include "gen.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int W = 320, H = 200;
constexpr double VX = 160, VY = 96;  // vanishing point of the nave

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Inside a pointed (equilateral) arch of span x0..x1 springing at row ys,
// with straight jambs below.
bool in_arch(double x, double y, double x0, double x1, double ys) {
  if (x <= x0 || x >= x1) return false;
  if (y >= ys) return true;
  double span = x1 - x0;
  return std::hypot(x - x1, y - ys) < span && std::hypot(x - x0, y - ys) < span;
}

// The far window: two lancets under a round light, glazed in diamond
// quarries. Returns glass brightness, 0 for stone.
double window(double x, double y) {
  const double x0 = 128, x1 = 192, ys = 56, bottom = 128;
  if (!in_arch(x, y, x0, x1, ys) || y > bottom) return -1;  // not the window
  double glass = 0;
  bool lancet = in_arch(x, y, 133, 158, 70) || in_arch(x, y, 162, 187, 70);
  double rd = std::hypot(x - 160, y - 40);
  bool rose = rd < 12;
  if ((lancet && y < bottom - 3) || rose) {
    double u = (x - 160) / 5, v = (y - 40) / 7;  // diamond quarries
    double a = std::fabs(std::fmod(u + v + 100, 1.0) - 0.5), b = std::fabs(std::fmod(u - v + 100, 1.0) - 0.5);
    double lead = smoothstep(0.40, 0.47, std::max(a, b));
    double mottle = 0.75 + 0.25 * fbm(x / 6, y / 6, 501, 3);
    glass = (0.62 + 0.36 * (1 - (y - 20) / 110)) * mottle * (1 - 0.7 * lead);
    if (rose) {  // a cross of light in the round window, stone between its arms
      double arms = smoothstep(0.5, 0.8, std::fabs(std::sin(std::atan2(y - 40, x - 160) * 2)));
      glass = 0.95 * mottle * (1 - arms * 0.6 * smoothstep(3, 4, rd));
    }
  }
  return glass;
}

// The layers of the picture, back to front. Each takes the brightness so
// far (0..1) at (x, y) and returns it with its own layer over it.

// Nave walls: pillars receding to the window, lit on their inner faces.
double pillars(double x, double y, double v) {
  for (int k = 0; k < 5; k++) {
    double depth = 1.0 + k * 0.55;            // nearer pillars are wider apart
    double off = 118 / depth, w = 11 / depth;
    for (int s = -1; s <= 1; s += 2) {
      double px = VX + s * off;
      if (std::fabs(x - px) < w && y > VY - 92 / depth && y < VY + 80 / depth) {
        double edge = s < 0 ? (x - (px - w)) / (2 * w) : ((px + w) - x) / (2 * w);
        v = 0.05 + 0.16 * std::pow(edge, 3) / (1 + 0.5 * k) + 0.02 * fbm(x / 3, y / 8, 503 + k, 2);
      }
    }
  }
  return v;
}

// Vault ribs: faint arcs over the nave.
double ribs(double x, double y, double v) {
  for (int k = 0; k < 4; k++) {
    double depth = 1.0 + k * 0.55, half = 118 / depth, top = VY - 92 / depth;
    double yy = top - std::sqrt(std::max(0.0, half * half - (x - VX) * (x - VX))) * 0.35;
    if (std::fabs(x - VX) < half && std::fabs(y - yy) < 1.6 / depth + 0.4) v = std::max(v, 0.07 + 0.03 / depth);
  }
  return v;
}

// Shafts of light fanning from the window down to the floor; g is the
// window's glass at (x, y) (negative off the window).
double shafts(double x, double y, double g, double v) {
  double dx = x - 160, dy = y - 60;
  if (dy > 0 && g < 0) {  // in the air in front of the window, not on its glass
    double ang = std::atan2(dx, dy);
    double band = smoothstep(0.35, 0.9, vnoise(ang * 11 + 20, 0.5, 504));
    double fall = std::exp(-std::hypot(dx, dy) / 150) * smoothstep(0, 50, dy) * smoothstep(1.0, 0.15, std::fabs(ang));
    v += 0.42 * band * fall;
  }
  return v;
}

// Floor: flagstones in perspective below the horizon, with the window's
// reflection.
double flagstones(double x, double y, double v) {
  if (y > VY + 32) {
    double z = 40 / (y - VY);                       // distance along the floor
    double fx = (x - VX) * z / 12, fz = z * 6;
    double seam = std::max(smoothstep(0.44, 0.5, std::fabs(std::fmod(fx + 100, 1.0) - 0.5)),
                           smoothstep(0.42, 0.5, std::fabs(std::fmod(fz + 100, 1.0) - 0.5)));
    double refl = std::exp(-std::fabs(x - 160) / 18) * 0.32 * smoothstep(VY + 32, H, y) * (0.7 + 0.3 * fbm(x / 4, y / 2, 505, 2));
    v = v * 0.7 + 0.05 + refl - 0.035 * seam;
  }
  return v;
}

// Mist pooling on the floor, brighter in the light.
double mist(double x, double y, double v) {
  double m = fbm(x / 50 + y / 400, y / 18, 506, 4) * smoothstep(105, 175, y);
  double light = 0.12 + 0.25 * std::exp(-std::fabs(x - 160) / 70);
  return v + (light - v) * 0.75 * smoothstep(0.25, 0.7, m);
}

// A candle on an iron stand at column cx: wax, a teardrop flame and its
// glow on the air around.
double candle(double x, double y, double cx, double v) {
  const double fy = 84;
  double r = std::hypot(x - cx, (y - fy) * 1.2);
  double glow = 0.4 * std::exp(-r / 14) + 0.09 * std::exp(-r / 60);
  v += glow;
  if (std::fabs(x - cx) < 2.6 && y > fy + 5 && y < fy + 34) {
    double rim = 1 - std::fabs(x - cx) / 2.6;
    v = 0.3 + 0.4 * rim * (1 - (y - fy - 5) / 40);
  }
  if (std::fabs(x - cx) < 0.8 && y >= fy + 34 && y < 200) v = 0.04;         // stand
  if (std::fabs(x - cx) < 7 && std::fabs(y - fy - 35) < 1) v = 0.06;         // drip pan
  double u = (x - cx) / 3.2, w = (y - fy + 2) / 8.0;                             // flame
  if (w > -1 && w < 1) {
    double half = (w < 0 ? std::sqrt(1 - w * w) : std::sqrt(std::max(0.0, 1 - w)) * 0.9) * (0.4 + 0.6 * (w + 1) / 2);
    if (std::fabs(u) < half) v = 0.85 + 0.15 * (1 - std::fabs(u) / std::max(half, 1e-3));
  }
  return v;
}

// The great arch in front: stone blocks with a lit inner edge.
double great_arch(double x, double y, double v) {
  const double ax0 = 22, ax1 = 298, ays = 78;
  if (in_arch(x, y, ax0, ax1, ays)) return v;
  // Distance from the opening's edge, for the light catching it.
  double inner = y >= ays ? std::max(ax0 - x, x - ax1)
                          : std::max(std::hypot(x - ax1, y - ays), std::hypot(x - ax0, y - ays)) - (ax1 - ax0);
  double course = std::fabs(std::fmod(y + 200, 14.0) - 7) > 6.3 ? 0.5 : 1.0;
  double stone = (0.07 + 0.05 * fbm(x / 9, y / 9, 507, 4)) * course;
  return stone + 0.22 * std::exp(-inner / 3) * (y < ays ? 0.8 : 0.6);
}

double vignette(double x, double y, double v) {
  double r = std::hypot((x - 160) / 190, (y - 100) / 130);
  return v * (1 - 0.55 * smoothstep(0.45, 1.05, r));
}

// Everything but the title, brightness 0..1 at (x, y).
double scene(double x, double y) {
  double v = 0.035 + 0.02 * fbm(x / 30, y / 30, 502, 3);
  v = ribs(x, y, pillars(x, y, v));
  double g = window(x, y);
  if (g >= 0) v = g > 0 ? g : 0.03;
  v = mist(x, y, flagstones(x, y, shafts(x, y, g, v)));
  v = candle(x, y, 160 + 104, candle(x, y, 160 - 104, v));
  return vignette(x, y, great_arch(x, y, v));
}

// Separable box blur of a float image, radius r, clamped at the edges.
void blur(std::vector<double> &img, int r) {
  std::vector<double> tmp(img.size());
  for (int pass = 0; pass < 2; pass++) {
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++) {
        double s = 0;
        for (int k = -r; k <= r; k++) {
          int xx = std::clamp(pass ? x : x + k, 0, W - 1), yy = std::clamp(pass ? y + k : y, 0, H - 1);
          s += img[yy * W + xx];
        }
        tmp[y * W + x] = s / (2 * r + 1);
      }
    img.swap(tmp);
  }
}

}  // namespace

void job_title() {
  std::vector<double> pic(W * H);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double s = 0;  // 2x2 samples smooth the geometry's edges
      for (int k = 0; k < 4; k++) s += scene(x + 0.25 + 0.5 * (k & 1), y + 0.25 + 0.5 * (k >> 1));
      pic[y * W + x] = s / 4;
    }

  // Bloom: the bright glass and shafts glow into the stone around them.
  std::vector<double> glow(W * H);
  for (int i = 0; i < W * H; i++) glow[i] = std::max(0.0, pic[i] - 0.45);
  blur(glow, 6);
  blur(glow, 6);
  for (int i = 0; i < W * H; i++) pic[i] = std::min(1.0, pic[i] + 0.9 * glow[i]);

  // Title coverage, centred, with a rule and lozenge beneath.
  TextFont f;
  text_open(f, FONT_BLACKLETTER, 52);
  const char *title = "Ulvenor Tarquel";
  std::vector<uint8_t> cov8(W * H, 0);
  TextBox b = text_bounds(f, title, 1);
  int tx = (W - (b.x1 - b.x0)) / 2 - b.x0, base = 160;
  text_draw(f, cov8.data(), W, H, tx, base, title, 255, 1);
  text_close(f);
  std::vector<double> cov(W * H);
  for (int i = 0; i < W * H; i++) cov[i] = cov8[i] / 255.0;
  for (int x = 70; x < 250; x++) {
    double d = std::fabs(x - 160) / 90.0;
    cov[(base + 16) * W + x] = std::max(cov[(base + 16) * W + x], 0.8 * (1 - d * d));
  }
  for (int dy = -3; dy <= 3; dy++)
    for (int dx = -3; dx <= 3; dx++)
      if (std::abs(dx) + std::abs(dy) <= 3) cov[(base + 16 + dy) * W + 160 + dx] = 1;

  // Soft dark shadow under the letters, then the letters themselves,
  // brightest along their upper edges.
  std::vector<double> shadow = cov;
  blur(shadow, 4);
  blur(shadow, 3);
  uint8_t *out = asset("ulvenor");
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double v = pic[y * W + x] * (1 - std::min(1.0, 1.8 * shadow[y * W + x]));
      double c = cov[y * W + x];
      double up = y > 0 ? cov[(y - 1) * W + x] : 0;
      double face = 0.72 + 0.28 * (1 - smoothstep(base - 40, base + 6, y)) + 0.15 * std::max(0.0, c - up);
      v = v * (1 - c) + std::min(1.0, face) * c;
      out[y * W + x] = quantise(v, x, y);
    }
  preview_grey("ulvenor", W, H, out);
}
