// Desktop icon (not embedded): a pointed church window glowing amber in
// dark stone, leaded in diamond quarries, with a blood-red blackletter "U"
// standing in front of it on a soft shadow. Drawn at 256x256 and written as
// icon/ulvenor-256.png; the 64x64 icon/ulvenor-64.png is the same picture
// averaged over 4x4 blocks, so it keeps the shapes without aliasing.
#include "gen.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

namespace {

constexpr int N = 256;

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb scale(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Signed distance inside (positive) a pointed arch of span x0..x1 whose
// two arcs spring at row ys, with straight jambs below and a sill at row
// bottom.
double arch_inside(double x, double y, double x0, double x1, double ys, double bottom) {
  double d = std::min({x - x0, x1 - x, bottom - y});
  if (y < ys) {
    double span = x1 - x0;
    d = std::min({d, span - std::hypot(x - x1, y - ys), span - std::hypot(x - x0, y - ys)});
  }
  return d;
}

// Coverage 0..1 of an edge from a signed distance in pixels.
double cover(double d) { return std::clamp(d + 0.5, 0.0, 1.0); }

// Glass of the window at (x, y): amber, brighter towards the top and the
// middle, mottled, darkened along the lead of the diamond quarries.
Rgb glass(double x, double y) {
  const Rgb deep = {0.55, 0.12, 0.04}, amber = {1.0, 0.70, 0.28}, pale = {1.0, 0.93, 0.70};
  double glow = std::clamp(1.05 - y / 240 - std::fabs(x - 128) / 260, 0.0, 1.0);
  double mottle = 0.78 + 0.22 * fbm(x / 9, y / 9, 901, 3);
  Rgb c = glow < 0.5 ? mix(deep, amber, glow * 2) : mix(amber, pale, (glow - 0.5) * 2);
  double u = (x - 128) / 15, v = (y - 40) / 21;
  double a = std::fabs(std::fmod(u + v + 100, 1.0) - 0.5), b = std::fabs(std::fmod(u - v + 100, 1.0) - 0.5);
  double lead = smoothstep(0.42, 0.48, std::max(a, b));
  return scale(c, mottle * (1 - 0.8 * lead));
}

// Everything but the letter.
Rgb backdrop(double x, double y) {
  // Stone: cold and dark, in courses of blocks.
  double course = std::fmod(y + 1000, 28.0), joint = std::fmod(x + (int(y / 28) % 2) * 19 + 1000, 38.0);
  double mortar = std::max(1 - smoothstep(0, 2, course), 1 - smoothstep(0, 2, joint));
  double grain = 0.6 + 0.4 * fbm(x / 14, y / 14, 902, 4);
  Rgb stone = scale(Rgb{0.20, 0.20, 0.24}, grain * (1 - 0.55 * mortar));

  // Moulded frame around the window, lit from above.
  double frame = arch_inside(x, y, 40, 216, 118, 244);
  double light = arch_inside(x, y, 54, 202, 126, 232);
  if (frame > -0.5) {
    double bevel = std::clamp(frame / 14, 0.0, 1.0);
    Rgb carved = scale(Rgb{0.42, 0.40, 0.40}, (0.55 + 0.45 * grain) * (0.6 + 0.4 * (1 - y / 256)) * (0.7 + 0.3 * bevel));
    stone = mix(stone, carved, cover(frame));
  }
  if (light > -0.5) {
    // A thin stone lip inside the frame, then the glass.
    Rgb lip = scale(Rgb{0.16, 0.15, 0.16}, grain);
    stone = mix(stone, mix(lip, glass(x, y), cover(light - 3)), cover(light));
  }
  // Corners fall into darkness.
  double vignette = 1 - 0.55 * smoothstep(90, 190, std::hypot(x - 128, y - 128));
  return scale(stone, vignette);
}

std::vector<double> letter_coverage() {
  std::vector<uint8_t> buf(size_t(N) * N);
  TextFont f;
  text_open(f, FONT_BLACKLETTER, 220);
  TextBox box = text_bounds(f, "U");
  int x = (N - (box.x1 - box.x0)) / 2 - box.x0;
  int base = (N - (box.y1 - box.y0)) / 2 - box.y0 + 12;
  text_draw(f, buf.data(), N, N, x, base, "U");
  text_close(f);
  std::vector<double> cov(buf.size());
  for (size_t i = 0; i < buf.size(); i++) cov[i] = buf[i] / 255.0;
  return cov;
}

// Box blur of radius r in both directions, edges clamped.
std::vector<double> blurred(const std::vector<double> &src, int r) {
  std::vector<double> tmp(src.size()), out(src.size());
  for (int pass = 0; pass < 2; pass++) {
    const std::vector<double> &in = pass == 0 ? src : tmp;
    std::vector<double> &dst = pass == 0 ? tmp : out;
    for (int y = 0; y < N; y++)
      for (int x = 0; x < N; x++) {
        double s = 0;
        for (int k = -r; k <= r; k++) {
          int xx = pass == 0 ? std::clamp(x + k, 0, N - 1) : x, yy = pass == 1 ? std::clamp(y + k, 0, N - 1) : y;
          s += in[size_t(yy) * N + xx];
        }
        dst[size_t(y) * N + x] = s / (2 * r + 1);
      }
  }
  return out;
}

uint8_t byte(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

}  // namespace

void job_icon() {
  const std::vector<double> cov = letter_coverage();
  const std::vector<double> shadow = blurred(cov, 7);
  auto at = [&](const std::vector<double> &v, int x, int y) {
    return v[size_t(std::clamp(y, 0, N - 1)) * N + size_t(std::clamp(x, 0, N - 1))];
  };
  std::vector<uint8_t> big(size_t(N) * N * 3);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++) {
      Rgb c = backdrop(x + 0.5, y + 0.5);
      c = scale(c, 1 - 0.8 * at(shadow, x - 5, y - 7));
      double a = at(cov, x, y);
      if (a > 0) {
        // Dark blood red, lighter towards the top, with a pale rim where
        // the stroke faces the window's light (up and left).
        Rgb ink = mix(Rgb{0.50, 0.04, 0.05}, Rgb{0.22, 0.01, 0.02}, y / double(N));
        double rim = std::clamp(a - at(cov, x - 3, y - 3), 0.0, 1.0);
        ink = mix(ink, Rgb{0.98, 0.80, 0.55}, 0.8 * rim);
        c = mix(c, ink, a);
      }
      uint8_t *o = &big[(size_t(y) * N + x) * 3];
      o[0] = byte(c.r), o[1] = byte(c.g), o[2] = byte(c.b);
    }
  constexpr int S = N / 4;
  std::vector<uint8_t> small(size_t(S) * S * 3);
  for (int y = 0; y < S; y++)
    for (int x = 0; x < S; x++)
      for (int ch = 0; ch < 3; ch++) {
        int sum = 0;
        for (int dy = 0; dy < 4; dy++)
          for (int dx = 0; dx < 4; dx++) sum += big[((size_t(4 * y + dy) * N) + 4 * x + dx) * 3 + ch];
        small[(size_t(y) * S + x) * 3 + ch] = uint8_t((sum + 8) / 16);
      }
  std::filesystem::create_directories(output_dir() + "/icon");
  write_png(output_dir() + "/icon/ulvenor-256.png", N, N, 3, big.data());
  write_png(output_dir() + "/icon/ulvenor-64.png", S, S, 3, small.data());
  preview_rgb("icon", N, N, big.data());
}
