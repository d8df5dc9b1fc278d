// Asset generator: the panorama behind the spinning models and its mask.
//
//   takamehta  800x200: a gothic city under a clouded moon, a cathedral with
//              two spires; wraps at 800 (the window runs on into the next
//              row, so every shape and noise is periodic in x)
//   etumehta   800x200 factors (255 keeps, 0 blacks out, m scales by m/256):
//              a nearer foreground that scrolls at twice the panorama's
//              speed: a dead tree, an iron fence and ground mist, all with
//              soft edges. The middle rows, where the models spin, stay
//              mostly clear.
#include "art_arch_canvas.h"
#include "fx/scene_pixels.h"
#include "gen.h"

#include <cmath>

namespace {

using arch::Canvas;

const int W = 800, H = 200;
const double moon_x = 560, moon_y = 46, moon_r = 15;

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Horizontal distance on the 800-column cylinder.
double wrap_dx(double dx) {
  dx = std::fmod(std::fabs(dx), double(W));
  return std::min(dx, W - dx);
}

void night_sky(Canvas &c) {
  Rng rng(7001);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double t = y / 165.0;
      double base = 0.1 + 0.38 * std::clamp(t, 0.0, 1.0) * t;
      double dm = std::hypot(wrap_dx(x + 0.5 - moon_x), y + 0.5 - moon_y);
      double glow = 0.45 * std::exp(-dm / 60.0);
      // Two cloud layers: a broad bank and streaks, denser toward the horizon.
      double n1 = fbm(x / 100.0, y / 30.0, 7002, 5, 8);
      double n2 = fbm(x / 50.0, y / 9.0, 7003, 4, 16);
      double dens = smoothstep(0.42, 0.68, n1 * 0.75 + n2 * 0.35 - 0.05 + 0.12 * t);
      double lit = 0.16 + 0.7 * std::exp(-dm / 110.0);
      // Thin cloud edges catch the most light (a silver lining).
      double edge = dens * (1 - dens) * 4;
      double cloud = lit * (0.55 + 0.45 * edge) + 0.06 * (n2 - 0.5);
      double v = base + glow;
      v += (cloud - v) * dens * 0.9;
      c.at(x, y) = float(v);
    }
  // Stars where the sky is clear and dark.
  for (int i = 0; i < 420; i++) {
    int x = rng.range(0, W - 1), y = rng.range(0, 120);
    float &p = c.at(x, y);
    if (p < 0.2f) p = std::min(1.0f, p + float(0.25 + 0.6 * rng.uniform() * rng.uniform()));
  }
  arch::disc(c, moon_x, moon_y, moon_r, 0.95f);
  arch::disc(c, moon_x - 5, moon_y - 3, 5, 0.8f, 0.6f);
  arch::disc(c, moon_x + 4, moon_y + 5, 4, 0.82f, 0.5f);
  arch::disc(c, moon_x + 6, moon_y - 6, 2.5, 0.84f, 0.5f);
}

void spire(Canvas &c, double cx, double base, double w, double apex, float val) {
  arch::polygon(c, {cx - w / 2, base, cx, apex, cx + w / 2, base}, val);
  arch::rect(c, cx - 0.6, apex - 7, cx + 0.6, apex + 1, val);
  arch::rect(c, cx - 3, apex - 5, cx + 3, apex - 3.8, val);
}

// Pinnacle: a thin needle with a little cross-bar.
void pinnacle(Canvas &c, double cx, double base, double h, float val) {
  arch::polygon(c, {cx - 2, base, cx, base - h, cx + 2, base}, val);
}

// The cathedral: twin west towers with spires, a nave with flying
// buttresses and a glowing rose window between the towers.
void cathedral(Canvas &c, double cx, double ground, float val) {
  // Nave and choir running off to the right behind the front.
  arch::rect(c, cx + 40, ground - 62, cx + 150, ground, val);
  arch::polygon(c, {cx + 38, ground - 62, cx + 95, ground - 88, cx + 152, ground - 62}, val);
  for (int i = 0; i < 5; i++) {
    double bx = cx + 52 + i * 22;
    arch::rect(c, bx, ground - 40, bx + 5, ground, val);
    arch::capsule(c, bx + 2.5, ground - 40, bx + 14, ground - 60, 1.4, val);
    pinnacle(c, bx + 2.5, ground - 39, 14, val);
    arch::arch_shape(c, bx + 8, bx + 14, ground - 45, ground - 52, ground - 30, 0.5f, 0.8f);
  }
  arch::rect(c, cx + 150, ground - 50, cx + 176, ground, val);
  arch::disc(c, cx + 150, ground - 50, 26, val);
  // West front and towers.
  arch::rect(c, cx - 44, ground - 95, cx + 44, ground, val);
  arch::polygon(c, {cx - 30, ground - 95, cx, ground - 128, cx + 30, ground - 95}, val);
  for (int s : {-1, 1}) {
    double tx = cx + s * 34;
    arch::rect(c, tx - 12, ground - 140, tx + 12, ground, val);
    for (int k : {-1, 1}) pinnacle(c, tx + k * 11, ground - 139, 18, val);
    spire(c, tx, ground - 139, 16, ground - 186, val);
    // Belfry openings, faintly lit.
    arch::arch_shape(c, tx - 6, tx - 1, ground - 122, ground - 128, ground - 106, 0.22f);
    arch::arch_shape(c, tx + 1, tx + 6, ground - 122, ground - 128, ground - 106, 0.22f);
    arch::arch_shape(c, tx - 4, tx + 4, ground - 70, ground - 80, ground - 40, 0.55f);
  }
  // Rose window: glow, then tracery spokes and a ring.
  double ry = ground - 72, rr = 15;
  arch::disc(c, cx, ry, rr, 0.8f);
  arch::paint(c, cx - rr, ry - rr, cx + rr, ry + rr, val, [&](double x, double y) {
    double dx = x - cx, dy = y - ry, r = std::hypot(dx, dy);
    if (r > rr || r < 3) return r < rr + 1 && r > rr - 1.5;
    double a = std::atan2(dy, dx) * 12 / (2 * M_PI);
    return std::fabs(a - std::round(a)) * r * 2 * M_PI / 12 < 0.7 || std::fabs(r - 9) < 0.7;
  });
  // Portal.
  arch::arch_shape(c, cx - 10, cx + 10, ground - 20, ground - 38, ground, 0.35f);
  arch::arch_shape(c, cx - 7, cx + 7, ground - 18, ground - 32, ground, 0.6f);
}

// A row of steep gothic houses with lit windows.
void houses(Canvas &c, Rng &rng, double ground, double hmin, double hmax, float val, float lamp, double x0,
            double x1) {
  double x = x0;
  while (x < x1) {
    double w = 14 + 22 * rng.uniform(), h = hmin + (hmax - hmin) * rng.uniform();
    double top = ground - h;
    arch::rect(c, x, top, x + w, H, val);
    if (rng.range(0, 3) > 0) {
      arch::polygon(c, {x - 1, top + 0.5, x + w / 2, top - w * (0.6 + 0.5 * rng.uniform()), x + w + 1, top + 0.5},
                    val);
    } else {
      double tw = 7, tx = x + w / 2 - tw / 2;
      arch::rect(c, tx, top - 18, tx + tw, top, val);
      spire(c, tx + tw / 2, top - 17, tw + 2, top - 48, val);
    }
    if (lamp > 0)
      for (double wy = top + 4; wy < ground - 5; wy += 9)
        for (double wx = x + 3; wx < x + w - 4; wx += 6)
          if (rng.range(0, 4) == 0) arch::arch_shape(c, wx, wx + 2.5, wy + 1, wy, wy + 4, lamp * float(0.5 + 0.5 * rng.uniform()));
    x += w - 1;
  }
}

void make_panorama(uint8_t *out) {
  Canvas c(W, H, true);
  night_sky(c);
  Rng rng(7100);
  // Far city in haze; then the cathedral and a single-spired church; then near roofs.
  houses(c, rng, 178, 14, 40, 0.2f, 0.0f, 0, W);
  arch::rect(c, 0, 186, W, H, 0.02f);
  cathedral(c, 230, 186, 0.03f);
  houses(c, rng, 188, 16, 30, 0.05f, 0.8f, 430, 590);
  double cx = 660, g = 188;  // parish church
  arch::rect(c, cx - 40, g - 40, cx + 30, H, 0.04f);
  arch::polygon(c, {cx - 42, g - 40, cx - 5, g - 62, cx + 32, g - 40}, 0.04f);
  arch::rect(c, cx + 20, g - 90, cx + 40, H, 0.04f);
  spire(c, cx + 30, g - 89, 22, g - 176, 0.04f);
  arch::arch_shape(c, cx + 26, cx + 34, g - 78, g - 84, g - 64, 0.3f);
  houses(c, rng, 194, 10, 26, 0.03f, 0.85f, 700, 820);
  houses(c, rng, 194, 10, 22, 0.03f, 0.85f, 60, 140);
  houses(c, rng, 196, 8, 18, 0.03f, 0.85f, 320, 420);
  // Low mist in the streets.
  for (int y = 150; y < H; y++)
    for (int x = 0; x < W; x++) {
      double n = fbm(x / 50.0, y / 10.0, 7200, 3, 16);
      float &p = c.at(x, y);
      p += float((0.3 - p) * std::clamp((y - 150) / 50.0 * (n - 0.2), 0.0, 0.6));
    }
  arch::store(c, out);
}

// Foreground factors: 1 clear, 0 solid.
void dead_tree(Canvas &c, Rng &rng, double x, double y, double ang, double len, double r, int depth) {
  double bend = 0.25 * (rng.uniform() - 0.5);
  double mx = x + len * 0.5 * std::sin(ang + bend), my = y - len * 0.5 * std::cos(ang + bend);
  double ex = mx + len * 0.5 * std::sin(ang - bend), ey = my - len * 0.5 * std::cos(ang - bend);
  arch::capsule(c, x, y, mx, my, r, 0.0f);
  arch::capsule(c, mx, my, ex, ey, r * 0.9, 0.0f);
  if (depth == 0 || ey < -20) return;
  int n = rng.range(2, 3);
  for (int i = 0; i < n; i++) {
    double a = ang + (i - (n - 1) / 2.0) * (0.5 + 0.35 * rng.uniform());
    dead_tree(c, rng, ex, ey, a, len * (0.6 + 0.25 * rng.uniform()), std::max(0.4, r * 0.66), depth - 1);
  }
}

void make_mask(uint8_t *out) {
  Canvas c(W, H, true, 1.0f);
  Rng rng(7300);
  // A gnarled tree whose crown reaches over the top rows, a smaller one
  // half a turn later, leaning the other way.
  dead_tree(c, rng, 120, H + 5, 0.3, 72, 8, 6);
  dead_tree(c, rng, 560, H + 5, -0.25, 58, 6, 5);
  // Iron fence along the bottom: two rails and spear-headed bars.
  arch::rect(c, 0, 166, W, 169, 0.0f);
  arch::rect(c, 0, 190, W, 193, 0.0f);
  for (int i = 0; i < 40; i++) {
    double x = i * 20.0 + 8;
    arch::rect(c, x - 1.2, 156, x + 1.2, H, 0.0f);
    arch::polygon(c, {x - 3, 157, x, 147, x + 3, 157}, 0.0f);
    if (i % 2 == 0) arch::disc(c, x + 10, 178, 4, 0.0f);  // scroll between bars
    if (i % 2 == 0) arch::disc(c, x + 10, 178, 2.2, 1.0f);
  }
  arch::blur(c, 1);
  // Mist rising from the ground and a darkening at the top edge.
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      double n = fbm(x / 40.0, y / 14.0, 7301, 4, 20);
      double mist = std::clamp((y - 110) / 90.0, 0.0, 1.0) * (0.35 + 0.55 * n);
      double top = std::clamp((24 - y) / 24.0, 0.0, 1.0) * 0.35;
      float &p = c.at(x, y);
      p *= float((1 - mist) * (1 - top));
    }
  for (int i = 0; i < W * H; i++) {
    double v = std::clamp(double(c.v[i]), 0.0, 1.0);
    out[i] = uint8_t(std::lround(v * 255));
  }
}

// What the scene shows at the start of the panorama: the window at column
// c0, the mask at m0, both with the run-on rule.
void composed_preview(const char *name, int c0, int m0) {
  const uint8_t *pan = asset("takamehta"), *mask = asset("etumehta");
  std::vector<uint8_t> f(64000, 0);
  for (int y = 0; y < 199; y++)
    for (int x = 0; x < 320; x++) {
      f[320 * y + x] = mask_pixel(pan[c0 + 800 * y + x], mask[m0 + 800 * y + x]);
    }
  preview_grey(name, 320, 200, f.data());
}

}  // namespace

void job_panorama() {
  make_panorama(asset("takamehta"));
  make_mask(asset("etumehta"));
  preview_grey("takamehta", W, H, asset("takamehta"));
  preview_grey("etumehta", W, H, asset("etumehta"));
  composed_preview("takamehta_window_a", 100, 200);
  composed_preview("takamehta_window_b", 600, 400);
}
