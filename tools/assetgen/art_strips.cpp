// Asset generator: the three scrolling strips (512x80, tiling at 512).
//
//   koottikarry1  intro: a gothic town under a moon; its top rows stay dark
//                 because text lines are added over them
//   koottikarry3  worm strip: a pale graveyard in fog, bright enough that
//                 near-black worms read over every part of it
//   koottikarry2  outro: a dead forest against the first light
//
// Every shape is drawn on a wrapping canvas and all noise is periodic, so
// the strips scroll without a seam.
#include "art_arch_canvas.h"
#include "gen.h"

#include <cmath>

namespace {

using arch::Canvas;

const int W = 512, H = 80;

// Sky from `top` at row 0 to `low` at row `horizon`, with faint periodic clouds.
void sky(Canvas &c, float top, float low, double horizon, uint32_t noise, float clouds) {
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double t = std::clamp(y / horizon, 0.0, 1.0);
      double b = top + (low - top) * t * t;
      double n = fbm(x / 64.0, y / 16.0, noise, 4, 8);
      b += clouds * (n - 0.5);
      c.at(x, y) = float(b);
    }
}

void moon(Canvas &c, double cx, double cy, double r, float glow) {
  for (int y = 0; y < H; y++)
    for (int x = int(cx - 6 * r); x <= int(cx + 6 * r); x++) {
      double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / r;
      if (d < 1) continue;
      float &p = c.at(((x % W) + W) % W, y);
      p += float(glow * std::exp(-(d - 1) * 1.2));
    }
  arch::disc(c, cx, cy, r, 0.92f);
  // Maria: darker blotches on the disc.
  arch::disc(c, cx - r * 0.3, cy - r * 0.2, r * 0.35, 0.78f, 0.7f);
  arch::disc(c, cx + r * 0.25, cy + r * 0.3, r * 0.3, 0.8f, 0.6f);
}

// A house or church: body, roof and tower by kind; lit windows when `lamp` > 0.
void building(Canvas &c, Rng &rng, double x, double w, double base, double h, float val, float lamp) {
  double top = base - h;
  arch::rect(c, x, top, x + w, H, val);
  int kind = rng.range(0, 5);
  if (kind <= 2) {  // steep gable
    double peak = top - w * (0.5 + 0.4 * rng.uniform());
    arch::polygon(c, {x - 1, top + 0.5, x + w / 2, peak, x + w + 1, top + 0.5}, val);
    if (rng.range(0, 2) == 0) arch::rect(c, x + w * 0.7, peak + (top - peak) * 0.4, x + w * 0.7 + 2, top, val);
  } else if (kind == 3) {  // tower with a needle spire and a cross
    double tw = std::max(5.0, w * 0.45), tx = x + (w - tw) / 2;
    double ttop = top - h * 0.5;
    arch::rect(c, tx, ttop, tx + tw, top + 1, val);
    double apex = ttop - tw * 2.6;
    arch::polygon(c, {tx - 1, ttop + 0.5, tx + tw / 2, apex, tx + tw + 1, ttop + 0.5}, val);
    arch::rect(c, tx + tw / 2 - 0.5, apex - 5, tx + tw / 2 + 0.5, apex, val);
    arch::rect(c, tx + tw / 2 - 2, apex - 3.5, tx + tw / 2 + 2, apex - 2.5, val);
    if (lamp > 0) arch::arch_shape(c, tx + tw / 2 - 1.2, tx + tw / 2 + 1.2, ttop + 5, ttop + 3, ttop + 8, lamp * 0.8f);
  } else if (kind == 4) {  // stepped gable
    double step = w / 5;
    for (int i = 0; i < 3; i++) arch::rect(c, x + step * i, top - step * i, x + w - step * i, top, val);
  } else {  // flat with chimneys
    arch::rect(c, x + w * 0.2, top - 4, x + w * 0.2 + 2, top, val);
    arch::rect(c, x + w * 0.65, top - 6, x + w * 0.65 + 2.5, top, val);
  }
  if (lamp <= 0) return;
  for (double wy = top + 3; wy < base - 4; wy += 6)
    for (double wx = x + 2; wx < x + w - 3; wx += 5)
      if (rng.range(0, 4) == 0) {
        float l = lamp * float(0.6 + 0.4 * rng.uniform());
        arch::rect(c, wx, wy, wx + 1.5, wy + 2.5, l);
      }
}

// A row of buildings from x = 0 to the full width and a little beyond
// (the overlap wraps onto the start).
void town(Canvas &c, Rng &rng, double base, double hmin, double hmax, double wmin, double wmax, float val,
          float lamp) {
  double x = 0;
  while (x < W) {
    double w = wmin + (wmax - wmin) * rng.uniform();
    double h = hmin + (hmax - hmin) * rng.uniform();
    building(c, rng, x, w, base, h, val, lamp);
    x += w - 1;
  }
}

// A bare tree: a trunk splitting into thinner branches, `depth` levels.
void tree(Canvas &c, Rng &rng, double x, double y, double ang, double len, double r, int depth, float val) {
  double ex = x + len * std::sin(ang), ey = y - len * std::cos(ang);
  arch::capsule(c, x, y, ex, ey, r, val);
  if (depth == 0) return;
  int n = rng.range(2, 3);
  for (int i = 0; i < n; i++) {
    double a = ang + (i - (n - 1) / 2.0) * (0.45 + 0.3 * rng.uniform()) + 0.25 * (rng.uniform() - 0.5);
    tree(c, rng, ex, ey, a, len * (0.62 + 0.2 * rng.uniform()), std::max(0.35, r * 0.68), depth - 1, val);
  }
}

// Ground fog: brightens the lower rows toward `fog` with periodic wisps.
void fog(Canvas &c, double from, float fogv, float amount, uint32_t noise) {
  for (int y = int(from); y < H; y++)
    for (int x = 0; x < W; x++) {
      double t = (y - from) / (H - from);
      double n = fbm(x / 32.0, y / 8.0, noise, 3, 16);
      double a = std::clamp(amount * t * (0.5 + n), 0.0, 1.0);
      float &p = c.at(x, y);
      p += float((fogv - p) * a);
    }
}

void intro_strip(uint8_t *out) {
  Canvas c(W, H, true);
  sky(c, 0.02f, 0.72f, 62, 11, 0.1f);
  moon(c, 384, 20, 7, 0.12f);
  Rng rng(101);
  town(c, rng, 66, 8, 20, 10, 22, 0.3f, 0.0f);   // distant roofs in haze
  town(c, rng, 76, 10, 30, 14, 34, 0.02f, 0.8f);  // near houses with lit windows
  fog(c, 58, 0.45f, 0.7f, 12);
  arch::store(c, out);
}

// Headstone: a rounded slab, or a cross, lit from the right.
void grave(Canvas &c, Rng &rng, double x, double base, float val) {
  double h = 8 + 10 * rng.uniform();
  if (rng.range(0, 2) == 0) {
    double w = 2 + 1.5 * rng.uniform();
    arch::rect(c, x - w / 2, base - h, x + w / 2, base, val);
    arch::rect(c, x - w * 1.8, base - h * 0.72, x + w * 1.8, base - h * 0.72 + w, val);
    arch::rect(c, x + w / 2 - 0.6, base - h, x + w / 2, base, val + 0.15f);
  } else {
    double w = 5 + 4 * rng.uniform();
    double lean = (rng.uniform() - 0.5) * 2.5;
    arch::polygon(c, {x - w / 2, base, x - w / 2 + lean, base - h + w / 2, x + w / 2 + lean, base - h + w / 2,
                      x + w / 2, base},
                  val);
    arch::disc(c, x + lean, base - h + w / 2, w / 2, val);
    arch::capsule(c, x + w / 2 + lean - 0.4, base - h + w / 2, x + w / 2 - 0.4, base - 1, 0.5, val + 0.15f);
  }
}

void worm_strip(uint8_t *out) {
  Canvas c(W, H, true);
  sky(c, 0.62f, 0.9f, 50, 21, 0.12f);
  Rng rng(303);
  // Distant trees and a chapel, barely darker than the fog.
  for (int i = 0; i < 9; i++)
    tree(c, rng, 20 + i * 57 + 20 * rng.uniform(), 58, 0.1 * (rng.uniform() - 0.5), 15, 1.6, 5, 0.56f);
  building(c, rng, 300, 22, 56, 14, 0.68f, 0.0f);
  // Rolling ground.
  for (int x = 0; x < W; x++) {
    double g = 54 + 4 * std::sin(x * 2 * M_PI / W * 2) + 2 * std::sin(x * 2 * M_PI / W * 5 + 1);
    for (int y = 0; y < H; y++)
      if (y + 0.5 > g) {
        double n = fbm(x / 8.0, y / 4.0, 22, 3, 64);
        c.at(x, y) = float(0.7 - 0.12 * (y - g) / (H - g) + 0.22 * (n - 0.5));
      }
  }
  for (int i = 0; i < 26; i++) {
    double x = i * (W / 26.0) + 8 * rng.uniform();
    grave(c, rng, x, 58 + 12 * rng.uniform() + (i % 3) * 3, 0.3f + 0.12f * float(rng.uniform()));
  }
  fog(c, 48, 0.85f, 0.45f, 23);
  arch::store(c, out);
}

void outro_strip(uint8_t *out) {
  Canvas c(W, H, true);
  sky(c, 0.08f, 0.62f, 70, 31, 0.1f);
  Rng rng(505);
  // Far forest in haze, then the near trees in silhouette.
  for (int i = 0; i < 40; i++)
    tree(c, rng, i * 12.8 + 6 * rng.uniform(), 72, 0.15 * (rng.uniform() - 0.5), 9 + 5 * rng.uniform(), 0.9, 4,
         0.3f);
  arch::rect(c, 0, 71, W, H, 0.2f);
  for (int i = 0; i < 8; i++)
    tree(c, rng, i * 64 + 14 * rng.uniform(), H + 2, 0.15 * (rng.uniform() - 0.5), 14 + 12 * rng.uniform(),
         1.6 + rng.uniform(), 6, 0.02f);
  // Crows over the clearing.
  for (int i = 0; i < 7; i++) {
    double x = 180 + 60 * rng.uniform(), y = 10 + 18 * rng.uniform();
    arch::capsule(c, x - 2.5, y - 1, x, y, 0.45, 0.04f);
    arch::capsule(c, x, y, x + 2.5, y - 1.2, 0.45, 0.04f);
  }
  arch::rect(c, 0, 77, W, H, 0.01f);
  fog(c, 60, 0.45f, 0.5f, 32);
  arch::store(c, out);
}

}  // namespace

void job_strips() {
  intro_strip(asset("koottikarry1"));
  worm_strip(asset("koottikarry3"));
  outro_strip(asset("koottikarry2"));
  // Previews show two periods side by side, so a seam at the wrap would show.
  for (const char *s : {"koottikarry1", "koottikarry2", "koottikarry3"}) {
    std::vector<uint8_t> two(size_t(2 * W) * H);
    const uint8_t *p = asset(s);
    for (int y = 0; y < H; y++)
      for (int x = 0; x < 2 * W; x++) two[size_t(y) * 2 * W + x] = p[y * W + (x & (W - 1))];
    preview_grey(s, 2 * W, H, two.data());
  }
}
