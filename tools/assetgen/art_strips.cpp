// Asset generator: the three scrolling strips (512x80, tiling at 512).
//
//   koottikarry1  intro: a gothic town on the water under a moon in
//                 cloud, a cathedral with a lit rose window among the
//                 roofs, a bridge between gate towers, lamps and roofs
//                 mirrored below; its top rows stay dark because text
//                 lines are added over them
//   koottikarry3  worm strip: a pale graveyard in fog, bright enough that
//                 near-black worms read over every part of it
//   koottikarry2  outro: a dead forest against the first light, cloud
//                 banks lit from below, the town small in the haze across
//                 a misty pool that mirrors it and the far trees, reeds
//                 along the near bank
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
void sky(Canvas &c, float top, float low, double horizon, uint32_t noise, float clouds, double curve = 2) {
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double t = std::clamp(y / horizon, 0.0, 1.0);
      double b = top + (low - top) * std::pow(t, curve);
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
// `pitch` scales the height of the gables; one window in `odds` is lit.
void building(Canvas &c, Rng &rng, double x, double w, double base, double h, float val, float lamp,
              double pitch = 1, int odds = 5) {
  double top = base - h;
  arch::rect(c, x, top, x + w, H, val);
  int kind = rng.range(0, 5);
  if (kind <= 2) {  // steep gable
    double peak = top - w * pitch * (0.5 + 0.4 * rng.uniform());
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
      if (rng.range(0, odds - 1) == 0) {
        float l = lamp * float(0.6 + 0.4 * rng.uniform());
        arch::rect(c, wx, wy, wx + 1.5, wy + 2.5, l);
      }
}

// A row of buildings from x = 0 to the full width and a little beyond
// (the overlap wraps onto the start).
void town(Canvas &c, Rng &rng, double base, double hmin, double hmax, double wmin, double wmax, float val,
          float lamp, double gap = 0, double pitch = 1, int odds = 5) {
  double x = gap / 2;  // with gaps, no wall stands on the wrap column
  while (x < W) {
    double w = wmin + (wmax - wmin) * rng.uniform();
    double h = hmin + (hmax - hmin) * rng.uniform();
    building(c, rng, x, w, base, h, val, lamp, pitch, odds);
    x += w - 1 + gap * rng.uniform();
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

// Horizontal distance from x to cx on the 512-column ring.
double ring_dx(double x, double cx) { return std::fmod(x - cx + 1.5 * W, double(W)) - W / 2.0; }

// Long banks of cloud across the sky above row `low`: dark undersides, tops
// silvered by the moon at (mx, my), brighter the nearer they pass it.
void moonlit_clouds(Canvas &c, double mx, double my, double low, uint32_t noise) {
  std::vector<float> dens(size_t(W) * H, 0.0f);
  for (int y = 0; y <= int(low); y++)
    for (int x = 0; x < W; x++) {
      // Stretched wide: 8 cells across 512 columns, 9 rows a cell.
      double n = fbm(x / 64.0, y / 9.0, noise, 5, 8);
      double band = std::exp(-std::pow((y - low * 0.55) / (low * 0.42), 2));
      double d = std::clamp((n - 0.5) * 3.2 * band + band * 0.35 - 0.2, 0.0, 1.0);
      dens[size_t(y) * W + x] = float(d);
    }
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      float d = dens[size_t(y) * W + x];
      if (d <= 0) continue;
      float above = y >= 2 ? dens[size_t(y - 2) * W + x] : 0.0f;
      double r = std::hypot(ring_dx(x, mx) / 90.0, (y - my) / 40.0);
      double moonlight = 0.12 + 0.55 * std::exp(-r * r);
      double rim = std::clamp(double(d - above) * 2.5, 0.0, 1.0);  // lit where the cloud begins from above
      float &p = c.at(x, y);
      float body = float(0.05 + 0.08 * moonlight);
      float lit = float(body + rim * moonlight * 0.8);
      p += (lit - p) * std::min(1.0f, d * 1.6f);
    }
}

// Sparse stars in the clear upper sky, from row 3 down to `low`.
void stars(Canvas &c, Rng &rng, int n, double low) {
  for (int i = 0; i < n; i++) {
    int x = rng.range(0, W - 1), y = rng.range(3, int(low));
    float b = float(0.25 + 0.35 * rng.uniform());
    float &p = c.at(x, y);
    if (p < 0.12f) p = std::max(p, b * float(1 - y / (low + 10)));
  }
}

// A cathedral front in the haze: two towers with spires and pinnacles, the
// nave's roof between them, a lit rose window.
void cathedral(Canvas &c, double x, double base, float val, float lamp) {
  const double tw = 13, gap = 26, th = 36;
  for (double tx : {x, x + tw + gap}) {
    arch::rect(c, tx, base - th, tx + tw, base, val);
    arch::polygon(c, {tx - 0.5, base - th, tx + tw / 2, base - th - 22, tx + tw + 0.5, base - th}, val);
    arch::polygon(c, {tx - 1.5, base - th + 1, tx - 0.5, base - th - 5, tx + 0.5, base - th + 1}, val);
    arch::polygon(c, {tx + tw - 0.5, base - th + 1, tx + tw + 0.5, base - th - 5, tx + tw + 1.5, base - th + 1}, val);
    for (double wy : {base - th + 6, base - th + 15})
      arch::arch_shape(c, tx + tw / 2 - 1.5, tx + tw / 2 + 1.5, wy + 3, wy, wy + 7, lamp * 0.55f);
  }
  const double nx = x + tw, top = base - th + 8;
  arch::rect(c, nx, top, nx + gap, base, val);
  arch::polygon(c, {nx, top + 0.5, nx + gap / 2, top - 9, nx + gap, top + 0.5}, val);
  arch::disc(c, nx + gap / 2, top + 7, 6.5, lamp * 0.25f, 0.6f);
  arch::disc(c, nx + gap / 2, top + 7, 5, lamp);
  arch::disc(c, nx + gap / 2, top + 7, 1.2, val);
  for (int k = 0; k < 8; k++) {
    double a = k * M_PI / 4;
    arch::capsule(c, nx + gap / 2, top + 7, nx + gap / 2 + 4.6 * std::cos(a), top + 7 + 4.6 * std::sin(a), 0.35, val);
  }
  arch::arch_shape(c, nx + gap / 2 - 4, nx + gap / 2 + 4, base - 8, base - 14, base, val * 0.6f);
}

// Where `after` differs from `before`: what a layer just painted covers.
std::vector<bool> painted(const Canvas &before, const Canvas &after) {
  std::vector<bool> m(before.v.size());
  for (size_t i = 0; i < m.size(); i++) m[i] = std::fabs(after.v[i] - before.v[i]) > 0.004f;
  return m;
}

// Moonlight catching the tops of a silhouette (its roofs and sills) and
// its edges that face the moon at column `mx`.
void rim_light(Canvas &c, const std::vector<bool> &m, double mx, float amount) {
  auto in = [&](int x, int y) { return y >= 0 && y < H && m[size_t(y) * W + ((x % W) + W) % W]; };
  for (int y = 1; y < H; y++)
    for (int x = 0; x < W; x++) {
      if (!in(x, y) || c.at(x, y) > 0.3f) continue;  // leave lit windows alone
      const double dx = ring_dx(x, mx);
      const double near = 0.45 + 0.55 * std::exp(-dx * dx / (160.0 * 160.0));
      float add = 0;
      if (!in(x, y - 1)) add += amount;
      else if (!in(x, y - 2)) add += amount * 0.4f;
      const int toward = dx < 0 ? 1 : -1;
      if (!in(x + toward, y)) add += amount * 0.5f;
      c.at(x, y) += float(add * near);
    }
}

// Moonlit masonry on a silhouette's dark faces (those below `lit`): courses
// every third row with joints staggered between them, and weathering.
void stonework(Canvas &c, const std::vector<bool> &m, float lit, uint32_t noise) {
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      float &p = c.at(x, y);
      if (!m[size_t(y) * W + x] || p > lit) continue;
      const int course = y / 3;
      const bool joint = y % 3 == 2 || (x + (course & 1) * 3) % 6 == 0;
      const double n = fbm(x / 8.0, y / 8.0, noise, 3, 64);
      p = float(std::max(0.0, p + 0.07 * (n - 0.5) + (joint ? -0.025 : 0.015)));
    }
}

// Soft light spilling from the windows onto the walls around them: the
// lamps (pixels brighter than `from` inside the silhouette) blurred.
void window_glow(Canvas &c, const std::vector<bool> &m, float from, float amount) {
  Canvas g(W, H, true);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
      if (m[size_t(y) * W + x] && c.at(x, y) > from) g.at(x, y) = c.at(x, y);
  arch::blur(g, 2);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
      if (m[size_t(y) * W + x]) c.at(x, y) += amount * g.at(x, y);
}

// Still water below row `line`: the picture above mirrored, darkened and
// broken by ripples (`ripple` scales them), with a column of glitter under
// the light at column `mx`.
void water(Canvas &c, double line, double mx, uint32_t noise, double ripple = 1) {
  const Canvas src = c;
  for (int y = int(std::ceil(line)); y < H; y++) {
    const double depth = (y - line) / (H - line);
    for (int x = 0; x < W; x++) {
      // Ripples shift the mirrored column by up to 2 pixels; periodic in x.
      const double ph = 2 * M_PI * x / W;
      const double wob = ripple * (1.4 * std::sin(ph * 24 + y * 1.9) * (0.4 + depth) + 0.8 * std::sin(ph * 9 - y * 0.7));
      const double sy = line - 0.5 - (y - line) * 1.6;  // mirrored, and drawn together a little
      const int rx = int(std::lround(x + wob)), ry = int(std::clamp(sy, 0.0, double(H - 1)));
      float r = src.get(rx, ry);
      // Lights stretch down into long streaks on water: a lamp up to five
      // rows above the mirrored point still shows, fading.
      for (int k = 1; k <= 5; k++) {
        const float l = src.get(rx, ry - k);
        if (l > 0.45f) r = std::max(r, l * (1.0f - 0.13f * float(k)));
      }
      const double streak = fbm(x / 16.0, y / 1.3, noise, 3, 32);  // horizontal breaks in the reflection
      double v = 0.07 + r * (0.7 - 0.2 * depth) * (0.8 + 0.4 * streak);
      const double dx = ring_dx(x, mx);
      const double path = std::exp(-dx * dx / (7.0 * 7.0 * (1 + 3 * depth)));
      if (path > 0.05 && streak > 0.55) v += 0.9 * path * (streak - 0.55) * 2.2;
      c.at(x, y) = float(v);
    }
  }
}

// A thin band of mist lying around row `mid`, `half` rows either side,
// in wisps.
void mist_band(Canvas &c, double mid, double half, float value, float amount, uint32_t noise) {
  for (int y = std::max(0, int(mid - 2 * half)); y < std::min(H, int(mid + 2 * half) + 1); y++)
    for (int x = 0; x < W; x++) {
      const double t = (y - mid) / half;
      const double n = fbm(x / 32.0, y / 3.0, noise, 3, 16);
      const double a = std::clamp(amount * std::exp(-t * t) * (0.3 + 1.2 * n), 0.0, 1.0);
      float &p = c.at(x, y);
      p += float((value - p) * a);
    }
}

// A stone bridge over the water from x0 to x1: a deck with a parapet on
// round arches that spring from the water line `wl`, its top at `deck`.
void bridge(Canvas &c, double x0, double x1, double deck, double wl, int arches, float val) {
  const double span = (x1 - x0) / arches, pier = span * 0.22;
  auto inside = [&](double x, double y) {
    if (x < x0 || x >= x1 || y < deck || y >= wl) return false;
    if (y < deck + 3) return true;
    const int k = std::clamp(int((x - x0) / span), 0, arches - 1);
    const double cx = x0 + (k + 0.5) * span, r = (span - pier) / 2, ry = wl - deck - 4;
    const double u = (x - cx) / r, v = (wl - y) / ry;
    return u * u + v * v >= 1;
  };
  arch::paint(c, x0, deck, x1, wl, val, inside);
  for (double x = x0 + 2; x < x1 - 2; x += 4) arch::rect(c, x, deck - 2, x + 2, deck, val);  // parapet
}

// A gate tower at a bridge's end: square, with a pointed roof and a lamp.
void gate_tower(Canvas &c, double cx, double top, double wl, float val, float lamp) {
  const double hw = 4.5;
  arch::rect(c, cx - hw, top, cx + hw, wl, val);
  arch::polygon(c, {cx - hw - 1, top + 0.5, cx, top - 11, cx + hw + 1, top + 0.5}, val);
  arch::rect(c, cx - hw - 1, top, cx + hw + 1, top + 1.5, val);
  arch::arch_shape(c, cx - 1.2, cx + 1.2, top + 6, top + 4, top + 9, lamp);
}

// The moonlit sky, the far roofs in haze and the cathedral among them.
void intro_far(Canvas &c, Rng &rng, double moon_x, double moon_y) {
  sky(c, 0.02f, 0.74f, 60, 11, 0.06f, 1.5);
  stars(c, rng, 70, 30);
  moonlit_clouds(c, moon_x, moon_y, 42, 13);
  moon(c, moon_x, moon_y, 8, 0.24f);
  town(c, rng, 58, 8, 16, 10, 22, 0.26f, 0.5f, 14);
  fog(c, 44, 0.46f, 0.3f, 14);
  const Canvas bare = c;
  cathedral(c, 40, 62, 0.12f, 0.85f);
  const std::vector<bool> stone = painted(bare, c);
  stonework(c, stone, 0.3f, 16);
  rim_light(c, stone, moon_x, 0.1f);
}

// The houses along the water with lit windows, a bridge between two gate
// towers clear of them, and only a low close wall before the cathedral.
void intro_near(Canvas &c, Rng &rng, double moon_x) {
  const Canvas before = c;
  town(c, rng, 66, 7, 17, 12, 26, 0.02f, 0.85f, 0, 0.6, 3);
  for (int y = 0; y < 66; y++)
    for (int x = 226; x < 300; x++) c.at(x, y) = before.get(x, y);
  const Canvas open = c;
  bridge(c, 226, 300, 57, 66, 3, 0.04f);
  gate_tower(c, 226, 44, 66, 0.04f, 0.8f);
  gate_tower(c, 300, 46, 66, 0.04f, 0.7f);
  stonework(c, painted(open, c), 0.3f, 17);
  for (int y = 0; y < 66; y++)
    for (int x = 36; x < 108; x++) c.at(x, y) = before.get(x, y);
  arch::rect(c, 36, 60, 108, 66, 0.02f);
  for (double x = 38; x < 106; x += 9) arch::rect(c, x, 58, x + 2.5, 66, 0.02f);  // buttresses
  arch::arch_shape(c, 69, 75, 62.5, 60.5, 66, 0.55f);  // the lit gate
  const std::vector<bool> near = painted(before, c);
  window_glow(c, near, 0.4f, 0.35f);
  rim_light(c, near, moon_x, 0.16f);
}

void intro_strip(uint8_t *out) {
  Canvas c(W, H, true);
  const double moon_x = 384, moon_y = 17;
  Rng rng(101);
  intro_far(c, rng, moon_x, moon_y);
  intro_near(c, rng, moon_x);
  water(c, 66, moon_x, 15);
  mist_band(c, 65, 3.5, 0.5f, 0.55f, 12);
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

// Thin banks of cloud low over the horizon, their undersides lit by the
// first light at column `lx` (the sun still below the horizon at `low`).
void dawn_clouds(Canvas &c, double lx, double low, uint32_t noise) {
  std::vector<float> dens(size_t(W) * H, 0.0f);
  for (int y = 0; y < int(low); y++)
    for (int x = 0; x < W; x++) {
      const double n = fbm(x / 64.0, y / 7.0, noise, 5, 8);
      const double band = std::exp(-std::pow((y - low * 0.55) / (low * 0.4), 2));
      dens[size_t(y) * W + x] = float(std::clamp((n - 0.47) * 2.4 * band, 0.0, 0.85));
    }
  for (int y = 0; y < int(low); y++)
    for (int x = 0; x < W; x++) {
      const float d = dens[size_t(y) * W + x];
      if (d <= 0) continue;
      const float below = y + 2 < H ? dens[size_t(y + 2) * W + x] : 0.0f;
      const double dx = ring_dx(x, lx) / 150.0;
      const double light = 0.25 + 0.75 * std::exp(-dx * dx);
      const double rim = std::clamp(double(d - below) * 2.5, 0.0, 1.0);  // lit where the cloud ends below
      const float lit = float(0.09 + 0.1 * light + rim * light * 0.32);
      float &p = c.at(x, y);
      p += (lit - p) * std::min(1.0f, d * 1.5f);
    }
}

// The glow of the first light: brightens the sky around column `lx` toward
// the horizon at row `low`.
void first_light(Canvas &c, double lx, double low, float amount) {
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const double dx = ring_dx(x, lx) / 110.0, dy = (low - y) / 26.0;
      c.at(x, y) += float(amount * std::exp(-dx * dx - dy * dy));
    }
}

// The town across the water, small in the haze under the first light at
// column `lx`, standing on the far bank at row `bank`.
void far_town(Canvas &c, double lx, double bank) {
  Rng far(507);
  for (double x = lx - 70; x < lx + 60;) {
    const double w = 4 + 5 * far.uniform();
    building(c, far, x, w, bank, 2 + 4 * far.uniform(), 0.42f, 0.0f, 0.6);
    x += w - 1 + 6 * far.uniform();
  }
  for (double sx : {lx - 22, lx + 31}) {  // two church spires
    arch::rect(c, sx - 2, bank - 9, sx + 2, bank, 0.42f);
    arch::polygon(c, {sx - 2.5, bank - 8.5, sx, bank - 21, sx + 2.5, bank - 8.5}, 0.42f);
  }
}

// The near bank: dead trees in silhouette, crows over the clearing, reeds
// and the dark ground along the bottom.
void near_bank(Canvas &c, Rng &rng) {
  for (int i = 0; i < 8; i++)
    tree(c, rng, i * 64 + 14 * rng.uniform(), H + 2, 0.15 * (rng.uniform() - 0.5), 14 + 12 * rng.uniform(),
         1.6 + rng.uniform(), 6, 0.02f);
  for (int i = 0; i < 7; i++) {
    double x = 180 + 60 * rng.uniform(), y = 10 + 18 * rng.uniform();
    arch::capsule(c, x - 2.5, y - 1, x, y, 0.45, 0.04f);
    arch::capsule(c, x, y, x + 2.5, y - 1.2, 0.45, 0.04f);
  }
  for (int x = 0; x < W; x += 2) {
    const double h = 3 + 5 * fbm(x / 8.0, 0.5, 36, 3, 64);
    arch::capsule(c, x + 0.5, H, x + 0.5 + 0.6 * std::sin(x * 0.7), H - h, 0.35, 0.03f);
  }
  arch::rect(c, 0, 77, W, H, 0.02f);
}

void outro_strip(uint8_t *out) {
  Canvas c(W, H, true);
  const double light_x = 210, horizon = 62;
  sky(c, 0.08f, 0.6f, horizon, 31, 0.06f);
  first_light(c, light_x, horizon, 0.3f);
  dawn_clouds(c, light_x, horizon - 6, 33);
  far_town(c, light_x, horizon);
  Rng rng(505);
  // Far forest in haze on the far bank, then the pool below it.
  for (int i = 0; i < 40; i++)
    tree(c, rng, i * 12.8 + 6 * rng.uniform(), horizon + 1, 0.15 * (rng.uniform() - 0.5), 8 + 5 * rng.uniform(), 0.9,
         4, 0.3f);
  arch::rect(c, 0, horizon - 1, W, horizon + 1, 0.24f);
  water(c, horizon + 1, light_x, 34, 0.45);
  mist_band(c, horizon, 3, 0.55f, 0.5f, 35);
  near_bank(c, rng);
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
