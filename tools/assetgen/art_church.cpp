// Asset generator: the church in the rain, two lightings of one view.
//
//   kirkko / kirkkotc    night: moonlight, the great window glowing from
//                        within
//   kirkko2 / kirkko2tc  the same view lit by a lightning flash
//
// The church carries its texture on the great west window: the window's
// glass and tracery map continuously onto the whole 256x256 texture
// (column 0 at the left jamb, row 0 at the apex), so an animation or
// scrolled text fills it. Everything else (stone, sky, graves) is covered
// too, by texel (0, 0): the scenes show covered pixels as img / 2 plus a
// texture term, and uncovered ones as black, so covering the sky keeps it
// (and the rain over it) visible. Texel (0, 0) lies in the textures' dark
// margin, so there the texture term stays near 0. Both maps are the same
// camera, so text on the window does not jump when the pictures alternate.
#include "gen.h"
#include "sdf.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// --- Geometry (world units; y up, the west front in the plane z = 0 facing +z)

// Great window: span 7.2 between x = -3.6 and 3.6, sill at 1.2, springing
// at 4.8, apex at 9.2; the glass lies at z = -0.5, the bottom of a splayed recess.
const double win_half = 3.6, win_sill = 1.2, win_spring = 4.8, win_apex = 9.2, glass_z = -0.5;
const double tower_x = 6.75;  // tower centres at +-tower_x

double box2(double x, double y, double hx, double hy) {
  double qx = std::fabs(x) - hx, qy = std::fabs(y) - hy;
  return hypot_z(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0);
}

// Signed distance (approximate) to a pointed-arch outline centred on x = 0:
// the smaller of a lens (two arcs) over the spring line and a rectangle
// below it.
double arch2(double x, double y, double half, double sill, double spring, double apex) {
  double rise = apex - spring;
  double r = std::max(half, (half * half + rise * rise) / (2 * half));
  double c = r - half;  // arc centres at (+-c, spring), each arc on the other side
  double rect = box2(x, y - (sill + spring) / 2, half, (spring - sill) / 2);
  // The lens is at least spring - y, and at least max(|x| + c, |y - spring|)
  // - r, as a hypot is at least its larger argument (taken a relative 1e-12
  // lower, beyond any rounding of the library's hypot). Where that passes
  // the rectangle, the smaller is the rectangle whatever the arcs give.
  double reach = std::max(std::fabs(x) + c, std::fabs(y - spring)) * (1 - 1e-12);
  if (std::max(reach - r, spring - y) > rect) return rect;
  double lens = std::max(std::max(std::hypot(x - c, y - spring), std::hypot(x + c, y - spring)) - r, spring - y);
  return std::min(lens, rect);
}

double window2(double x, double y) { return arch2(x, y, win_half, win_sill, win_spring, win_apex); }

// Cone with base radius rb at y = 0 and tip at y = h (p relative to the base).
[[gnu::always_inline]] inline double cone(V3 p, double rb, double h) {
  double q = std::hypot(p.x, p.z);
  double l = std::hypot(h, rb);
  return std::max((q * h + p.y * rb - h * rb) / l, -p.y);
}

// min(d, cone(p, rb, h)) without the cone's hypot where a lower bound
// already reaches d. The cone is max(side, -p.y), and side grows with
// q = hypot(p.x, p.z), which is at least max(|p.x|, |p.z|); the bound takes
// that a relative 1e-12 lower, far beyond any rounding of the library's
// hypot. Always inlined, like cone itself, so that hypot(h, rb) of the
// constant shapes folds at compile time as it always has.
[[gnu::always_inline]] inline double min_cone(double d, V3 p, double rb, double h) {
  double q0 = std::max(std::fabs(p.x), std::fabs(p.z)) * (1 - 1e-12);
  if (std::max((q0 * h + p.y * rb - h * rb) / std::hypot(h, rb), -p.y) >= d) return d;
  return std::min(d, cone(p, rb, h));
}

double tower(V3 p, double cx) {
  V3 q = p - V3{cx, 0, 0};
  // Far from the tower's bounds the bound is distance enough.
  double bound = sdf_box(q - V3{0, 14.5, -2.2}, {2.3, 14.6, 3.3});
  if (bound > 0.5) return bound;
  double d = sdf_box(q - V3{0, 9, -2.2}, {1.8, 9, 2.7});
  // Corner buttresses with two set-backs.
  for (double s : {-1.0, 1.0}) {
    V3 b = q - V3{s * 1.75, 0, 0.4};
    d = std::min(d, sdf_box(b - V3{0, 5, 0}, {0.35, 5, 0.55}));
    d = std::min(d, sdf_box(b - V3{0, 9, -0.25}, {0.3, 4, 0.35}));
    d = min_cone(d, b - V3{0, 13, -0.25}, 0.3, 1.6);
    d = min_cone(d, q - V3{s * 1.5, 18, 0.3}, 0.28, 2.6);  // pinnacles at the top
    d = min_cone(d, q - V3{s * 1.5, 18, -4.6}, 0.28, 2.6);
  }
  d = std::min(d, sdf_box(q - V3{0, 18.1, -2.2}, {1.95, 0.15, 2.85}));  // parapet
  d = min_cone(d, q - V3{0, 18, -2.2}, 1.45, 11.0);                     // spire
  // Openings cut 0.2 deep into the front face: two tall ones in the belfry
  // and a smaller lancet lower down. A cut min(-o, slab) is at most slab, so
  // where slab <= d it leaves d as it is and the outline needn't be known.
  double slab = 0.2 - std::fabs(q.z - 0.5);
  if (slab <= d) return d;
  for (double s : {-0.55, 0.55}) {
    double o = arch2(q.x - s, q.y, 0.32, 12.0, 15.0, 15.6);
    d = std::max(d, std::min(-o, slab));
  }
  double o = arch2(q.x, q.y, 0.3, 6.5, 8.6, 9.1);
  d = std::max(d, std::min(-o, slab));
  return d;
}

// Blind arcade under the gable: a row of shallow pointed niches cut 0.22
// deep.
double front_niches(V3 p, double wall) {
  double depth = -0.22 - p.z;
  if (-depth <= wall) return wall;
  double ax = p.x - 0.9 * std::round(p.x / 0.9);
  double niche = std::max(arch2(ax, p.y, 0.3, 10.15, 11.0, 11.45), std::fabs(p.x) - 4.3);
  return std::max(wall, -std::max(niche, depth));
}

// Round window in the gable, cut 0.35 deep, with a cross of stone in it
// 0.1 either side of z = -0.2.
double front_rose(V3 p, double wall) {
  double depth = -0.35 - p.z, slab = std::fabs(p.z + 0.2) - 0.1;
  if (-depth <= wall && slab >= wall) return wall;
  double oc = std::hypot(p.x, p.y - 13.3) - 0.95;
  wall = std::max(wall, -std::max(oc, depth));
  double cross = std::min(box2(p.x, p.y - 13.3, 0.07, 0.95), box2(p.x, p.y - 13.3, 0.95, 0.07));
  return std::min(wall, std::max(std::max(cross, oc), slab));
}

double front(V3 p) {
  double bound = sdf_box(p - V3{0, 8, -3}, {8.3, 8.2, 3.6});
  if (bound > 0.5) return bound;
  double wall = sdf_box(p - V3{0, 6, -3}, {4.95, 6, 3});
  // Gable up to 16 over the middle.
  double g = (std::fabs(p.x) * 4.0 + (p.y - 16) * 4.95) / std::hypot(4.0, 4.95);
  double gable = std::max(std::max(g, 11.9 - p.y), std::fabs(p.z + 3) - 3);
  wall = std::min(wall, gable);
  // Window recess, splayed outward: wider towards the viewer.
  double w2 = window2(p.x, p.y);
  double cut = std::max(w2 - 0.35 * (p.z - glass_z), glass_z - p.z);
  wall = std::max(wall, -cut);
  // The carvings below are cuts max(wall, -max(x, c)) and additions
  // min(wall, max(x, c)) bounded by a depth or extent term c: a cut with
  // -c <= wall and an addition with c >= wall leave wall exactly as it is,
  // so there the costly outline x is not worked out.
  wall = front_niches(p, wall);
  wall = front_rose(p, wall);
  // Tracery in front of the glass: two mullions and a roundel in the head.
  double zb = std::fabs(p.z - (glass_z + 0.12)) - 0.12, wb = w2 + 0.05;
  if (zb < wall && wb < wall) {
    double mull = 1e9;
    for (double s : {-1.2, 1.2}) mull = std::min(mull, box2(p.x - s, p.y - (win_sill + 6.6) / 2, 0.09, (6.6 - win_sill) / 2));
    double ring = std::fabs(std::hypot(p.x, p.y - 7.4) - 1.2) - 0.09;
    double tr = std::max(std::min(mull, ring), zb);
    tr = std::max(tr, wb);
    wall = std::min(wall, tr);
  }
  // Hood mould: a roll around the window on the wall's face.
  double hood = std::max(std::fabs(w2 - 0.55) - 0.16, std::fabs(p.z) - 0.16);
  hood = std::max(hood, win_sill - 0.3 - p.y);
  wall = std::min(wall, hood);
  // String course under the window and a plinth.
  wall = std::min(wall, sdf_box(p - V3{0, win_sill - 0.35, 0}, {5.0, 0.12, 0.18}));
  wall = std::min(wall, sdf_box(p - V3{0, 0.4, 0}, {8.7, 0.4, 0.3}));
  return wall;
}

// Graves in the foreground, kept to the sides so the window stays clear.
struct Grave {
  double x, z, h, lean;
  bool cross;
};
const Grave graves[] = {
    {-7.4, 4.0, 1.3, 0.08, true},  {-5.2, 7.2, 0.9, -0.05, false}, {-9.6, 6.5, 1.1, 0.0, false},
    {5.6, 4.5, 1.5, -0.06, true},  {7.9, 7.6, 1.0, 0.1, false},    {4.6, 10.5, 0.8, 0.0, false},
    {-6.8, 11.5, 0.9, 0.12, false}, {9.5, 2.5, 1.2, 0.0, true},    {-3.9, 13.0, 0.6, -0.1, true},
};

double graveyard(V3 p) {
  double d = 1e9;
  for (const Grave &g : graves) {
    double bound = sdf_box(p - V3{g.x, g.h / 2, g.z}, {0.7, g.h / 2 + 0.2, 0.3});
    if (bound > 0.3) {
      d = std::min(d, bound);
      continue;
    }
    V3 q = rot_z(p - V3{g.x, 0, g.z}, g.lean);
    if (g.cross) {
      d = std::min(d, sdf_box(q - V3{0, g.h * 0.5, 0}, {0.1, g.h * 0.5, 0.1}, 0.02));
      d = std::min(d, sdf_box(q - V3{0, g.h * 0.72, 0}, {0.38, 0.09, 0.09}, 0.02));
    } else {
      double slab = sdf_box(q - V3{0, g.h * 0.5 - 0.2, 0}, {0.42, g.h * 0.5, 0.09}, 0.02);
      double top = std::max(std::hypot(q.x, q.y - (g.h - 0.6)) - 0.42, std::fabs(q.z) - 0.09);
      d = std::min(d, std::min(slab, top));
    }
  }
  return d;
}

// The box around every grave's bound (the graves' bounds lie inside it), as
// centre and half extents.
struct GraveBounds {
  V3 centre, half;
};
GraveBounds grave_bounds() {
  V3 lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
  for (const Grave &g : graves) {
    lo = {std::min(lo.x, g.x - 0.7), std::min(lo.y, -0.2), std::min(lo.z, g.z - 0.3)};
    hi = {std::max(hi.x, g.x + 0.7), std::max(hi.y, g.h + 0.2), std::max(hi.z, g.z + 0.3)};
  }
  return {(lo + hi) * 0.5, (hi - lo) * 0.5 + V3{0.01, 0.01, 0.01}};  // 0.01 more for rounding
}
const GraveBounds kGraveBounds = grave_bounds();

// min(d, graveyard(p)). Every grave's bound is at least the distance to the
// box around them all, so where that box lies farther than both d and 0.3
// (plus 1e-9, far beyond the rounding of either distance), each grave
// would answer with its bound and none would be nearer than d.
double min_graveyard(double d, V3 p) {
  double all = sdf_box(p - kGraveBounds.centre, kGraveBounds.half) - 1e-9;
  if (all > 0.3 && all >= d) return d;
  return std::min(d, graveyard(p));
}

double ground(V3 p) { return p.y + 0.05 * std::sin(p.x * 0.7) * std::sin(p.z * 0.5); }

double scene(const V3 &p) {
  double d = std::min(front(p), std::min(tower(p, -tower_x), tower(p, tower_x)));
  d = min_graveyard(d, p);
  // The ground's ripple is within +-0.05 (a product of two sines and 0.05),
  // so where p.y - 0.051 >= d (a margin for the library's sines) the ground
  // cannot be the nearer one.
  if (p.y - 0.051 >= d) return d;
  return std::min(d, ground(p));
}

// --- Camera: low, a little to the left, looking up at the front.
const Camera &view() {
  static const Camera cam = camera_look({-2.6, 0.6, 14.5}, {0.2, 7.4, 0}, 68);
  return cam;
}

// --- Shading

enum Mat { SKY, STONE, GLASS, GROUND };

struct Surf {
  Mat mat;
  V3 p, n;
  bool in_window;  // the ray lands inside the window outline behind the wall face
  double wu, wv;   // window coordinates, 0..1 across and down
};

// Whether a ray ends on the window (glass, tracery or a jamb seen inside the
// opening) and where it crosses the glass plane.
bool window_hit(V3 ro, V3 rd, bool hit, V3 hp, double *wu, double *wv) {
  if (rd.z >= 0) return false;
  double t = (glass_z - ro.z) / rd.z;
  V3 g = ro + rd * t;
  if (window2(g.x, g.y) > 0) return false;
  if (hit && hp.z > -0.02) return false;  // something in front of the wall face
  *wu = (g.x + win_half) / (2 * win_half);
  *wv = (win_apex - g.y) / (win_apex - win_sill);
  return true;
}

// Ashlar joints on the stone: courses of 0.5, blocks of 1.1, by the face's axis.
double ashlar(V3 p, V3 n) {
  double a = std::fabs(n.x) > std::fabs(n.z) ? p.z : p.x;
  double course = std::floor(p.y / 0.5);
  double u = a + (std::fmod(course, 2.0) == 0 ? 0.0 : 0.55);
  double fy = p.y / 0.5 - course, fu = u / 1.1 - std::floor(u / 1.1);
  double joint = std::min(std::min(fy, 1 - fy) * 0.5, std::min(fu, 1 - fu) * 1.1);
  double j = smoothstep(0.0, 0.035, joint);
  Rng r(uint64_t(int64_t(course) * 977 + int64_t(std::floor(u / 1.1)) + 5000));
  return (0.55 + 0.45 * j) * (0.82 + 0.18 * r.uniform());
}

// Stained glass: diamond quarries with lead, panes varying in tint.
double glass_shade(double wu, double wv) {
  double x = wu * 24, y = wv * 30;
  double a = x + y, b = x - y;
  double fa = a - std::floor(a), fb = b - std::floor(b);
  double lead = std::min(std::min(fa, 1 - fa), std::min(fb, 1 - fb));
  Rng r(uint64_t(int64_t(std::floor(a)) * 131 + int64_t(std::floor(b)) + 7000));
  double pane = 0.75 + 0.25 * r.uniform();
  double n = fbm(wu * 12, wv * 12, 7100, 3);
  double v = pane * (0.8 + 0.35 * n);
  return lead < 0.06 ? v * 0.3 : v;
}

// Sky brightness by direction; `flash` lights the clouds from the bolt.
double sky_shade(V3 rd, double px, double py, bool flash) {
  double az = std::atan2(rd.x, -rd.z), el = std::asin(clampd(rd.y, -1, 1));
  double n = fbm(az * 6 + 3, el * 9, 7200, 5);
  double n2 = fbm(az * 14, el * 20, 7201, 4);
  double clouds = smoothstep(0.35, 0.75, n * 0.8 + n2 * 0.3);
  if (!flash) {
    double moon = std::hypot(px - 282, py - 24);
    double glow = 0.45 * std::exp(-moon / 40.0);
    double base = 0.1 + 0.2 * clampd(1 - el * 1.8, 0, 1);
    double lit = 0.5 * std::exp(-moon / 70.0) + 0.12;
    double v = mixd(base + glow, lit * (0.7 + 0.6 * n2), clouds * 0.85);
    if (moon < 9) v = mixd(v, 0.95, clampd(9 - moon, 0, 1));
    return v;
  }
  double base = 0.3 + 0.2 * clampd(1 - el * 1.5, 0, 1);
  return base + 0.3 * clouds * (0.5 + n2);
}

// A lightning bolt in screen space: jagged segments from the top edge down
// behind the right tower. Returns its brightness at (px, py).
struct Seg {
  double ax, ay, bx, by;
};
std::vector<Seg> make_bolt() {
  std::vector<Seg> segs;
  Rng r(7300);
  std::function<void(double, double, double, double, int, double)> split = [&](double ax, double ay, double bx,
                                                                               double by, int depth, double amp) {
    if (depth == 0) {
      segs.push_back({ax, ay, bx, by});
      return;
    }
    double mx = (ax + bx) / 2 + amp * (r.uniform() - 0.5), my = (ay + by) / 2 + amp * 0.3 * (r.uniform() - 0.5);
    split(ax, ay, mx, my, depth - 1, amp * 0.55);
    split(mx, my, bx, by, depth - 1, amp * 0.55);
    if (depth == 3 && r.uniform() < 0.8) {  // a fork
      double fx = mx + 25 * (r.uniform() - 0.2), fy = my + 30;
      split(mx, my, fx, fy, depth - 2, amp * 0.4);
    }
  };
  split(296, -2, 312, 118, 6, 36);
  return segs;
}

double bolt_at(const std::vector<Seg> &segs, double px, double py) {
  double d = 1e9;
  for (const Seg &s : segs) {
    double dx = s.bx - s.ax, dy = s.by - s.ay, l2 = dx * dx + dy * dy;
    double t = clampd(((px - s.ax) * dx + (py - s.ay) * dy) / l2, 0, 1);
    d = std::min(d, std::hypot(px - s.ax - t * dx, py - s.ay - t * dy));
  }
  return std::exp(-d * d / 0.8) + 0.35 * std::exp(-d / 14.0);
}

struct Lighting {
  bool flash;
  V3 key;       // direction towards the key light
  double key_i, amb, shadow_k;
};

// The part of a sample that depends only on the view: the march, and at a
// hit the normal and the occlusion. The night and the flash picture share
// it, so each sample position is marched once for both.
struct Geometry {
  uint8_t state = 0;  // 0 not worked out yet, 1 the ray misses, 2 it hits
  double t = 0;       // distance along the ray
  V3 p, n;            // hit point and unit normal
  double ao = 0;      // ambient occlusion 0..1
};

Geometry trace(V3 ro, V3 rd) {
  auto f = [](const V3 &q) { return scene(q); };
  Hit h = sdf_march(f, ro, rd, 0.5, 90, 140, 3e-4, 0.95);
  Geometry g;
  g.state = h.hit ? 2 : 1;
  if (!h.hit) return g;
  g.t = h.t;
  g.p = h.p;
  g.n = sdf_normal(f, h.p, 2e-3);
  g.ao = sdf_ao(f, g.p, g.n, 0.6, 4);
  return g;
}

// Geometry of the positions render_uv_object samples, 5 slots per pixel:
// its centre (quarter-pixel offset 2, 2) and its 2x2 extra samples (1 or 3,
// 1 or 3). Other positions get none (null): they are traced afresh. A slot
// belongs to one pixel row, and the renderer takes each row's samples on
// one thread, so the slots fill without locking.
using GeometryCache = std::vector<Geometry>;
constexpr size_t kCacheSlots = size_t(320) * 200 * 5;

Geometry *cache_slot(GeometryCache &cache, double px, double py) {
  if (!(px >= 0 && px < 320 && py >= 0 && py < 200)) return nullptr;
  int qx = int(px * 4), qy = int(py * 4);
  if (qx != px * 4 || qy != py * 4) return nullptr;
  int ox = qx & 3, oy = qy & 3, k;
  if (ox == 2 && oy == 2)
    k = 0;
  else if ((ox & 1) && (oy & 1))
    k = 1 + (ox >> 1) + 2 * (oy >> 1);
  else
    return nullptr;
  return &cache[(size_t(qy >> 2) * 320 + size_t(qx >> 2)) * 5 + size_t(k)];
}

// Brightness of a surface point lit by L (before the haze).
double shade_surface(const Geometry &g, V3 rd, bool win, double wu, double wv, const Lighting &L) {
  auto f = [](const V3 &q) { return scene(q); };
  V3 p = g.p, n = g.n;
  double ao = g.ao;
  double sh = sdf_soft_shadow(f, p + n * 0.01, L.key, 0.02, 30, L.shadow_k, 32);
  double diff = std::max(0.0, dot(n, L.key)) * sh;
  bool glass = win && p.z < glass_z + 0.02 && std::fabs(n.z) > 0.9;
  if (glass) {
    double gl = glass_shade(wu, wv);
    // Candle light behind: brightest low in the middle of the window.
    double warm = 0.65 + 0.35 * std::exp(-((wu - 0.5) * (wu - 0.5) * 6 + (wv - 0.8) * (wv - 0.8) * 3));
    return L.flash ? 0.42 * gl + 0.05 : 0.7 * gl * warm;
  }
  if (p.y < 0.02 && n.y > 0.9) {  // ground: wet grass, a pool of window light
    double tex = fbm(p.x * 2, p.z * 2, 7400, 4);
    double pool = std::exp(-std::hypot(p.x * 0.6, (p.z - 1.5) * 0.5) / 1.5);
    return (0.35 + 0.3 * tex) * (L.amb * ao + L.key_i * diff) + (L.flash ? 0.0 : 0.35 * pool);
  }
  double alb = ashlar(p, n) * (0.85 + 0.3 * (fbm(p.x * 3 + p.z * 3, p.y * 3, 7500, 4) - 0.5));
  // Rain runs down the stone in darker streaks.
  alb *= 0.78 + 0.3 * fbm(p.x * 5 + p.z * 5, p.y * 0.35, 7501, 3);
  double rim = rim_light(n, rd, 3.0);
  double v = alb * (L.amb * ao + L.key_i * diff) + 0.08 * rim * ao;
  if (!L.flash) {
    // Light of the window on the jambs, tracery and the hood mould.
    double dw = std::max(0.0, window2(p.x, p.y));
    double spill = std::exp(-dw / 0.5) * (p.z < 0.3 ? 1.0 : 0.4);
    v += 0.45 * spill * alb * ao;
  }
  return v;
}

UvSample shade_pixel(double px, double py, const Lighting &L, const std::vector<Seg> &bolt, GeometryCache &cache) {
  const Camera &cam = view();
  V3 rd = camera_ray(cam, px, py, 320, 200);
  Geometry fresh;
  Geometry *g = cache_slot(cache, px, py);
  if (!g) g = &fresh;
  if (g->state == 0) *g = trace(cam.eye, rd);
  bool hit = g->state == 2;
  UvSample s;
  s.covered = true;
  double wu = 0, wv = 0;
  bool win = window_hit(cam.eye, rd, hit, g->p, &wu, &wv);
  if (win) {
    // The window's texture space: across 0..255, down 0..255, clamped so
    // the edges never wrap.
    s.u = clampd(wu * 256, 0, 255.5);
    s.v = clampd(wv * 256, 0, 255.5);
  }
  if (!hit) {
    double v = sky_shade(rd, px, py, L.flash);
    if (L.flash) v += bolt_at(bolt, px, py);
    s.shade = clamp01(v);
    return s;
  }
  double v = shade_surface(*g, rd, win, wu, wv, L);
  // Distance haze towards the sky colour.
  double fog = 1 - std::exp(-std::max(0.0, g->t - 14) / 60.0);
  v = mixd(v, L.flash ? 0.5 : 0.2, fog);
  s.shade = clamp01(v);
  return s;
}

void render(const Lighting &L, const char *pic, const char *map, GeometryCache &cache) {
  std::vector<Seg> bolt = make_bolt();
  render_uv_object([&](double px, double py) { return shade_pixel(px, py, L, bolt, cache); }, asset(pic),
                   asset(map), 0.22);
}

}  // namespace

void job_church() {
  const Lighting night{false, normalize(V3{-0.55, 0.55, 0.62}), 0.75, 0.12, 10};
  const Lighting flash{true, normalize(V3{0.45, 0.75, 0.5}), 1.05, 0.28, 28};
  GeometryCache cache(kCacheSlots);
  render(night, "kirkko", "kirkkotc", cache);
  render(flash, "kirkko2", "kirkko2tc", cache);
  preview_grey("kirkko", 320, 200, asset("kirkko"));
  preview_grey("kirkko2", 320, 200, asset("kirkko2"));
  // The UV maps: texture column as red, row as green, uncovered blue.
  for (const char *map : {"kirkkotc", "kirkko2tc"}) {
    std::vector<uint8_t> rgb(64000 * 3);
    for (int i = 0; i < 64000; i++) {
      unsigned e = uv_at(asset(map), i);
      rgb[3 * i] = uint8_t(e == 0xFFFF ? 0 : e & 255);
      rgb[3 * i + 1] = uint8_t(e == 0xFFFF ? 0 : e >> 8);
      rgb[3 * i + 2] = uint8_t(e == 0xFFFF ? 255 : 0);
    }
    preview_rgb(map, 320, 200, rgb.data());
  }
}
