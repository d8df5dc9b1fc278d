// 3D models: `model1`, a six-pointed star of thorns, and the extruded
// letters `ch_u`, `ch_r`, `ch_e`, `ch_t`.
//
// Every model is a closed mesh whose triangles wind counter-clockwise seen
// from outside (right-hand normal points outwards, signed volume > 0): the
// renderer's facing test keeps exactly the triangles that run
// counter-clockwise on the screen once its projection has flipped y, so a
// turning model shows all its outside faces. Stored as big-endian int32:
// N, N x (x, y, z) in 16.16, F, F x (a, b, c).
#include "gen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using V3 = std::array<double, 3>;
using P2 = std::array<double, 2>;
using Tri = std::array<int, 3>;

struct Mesh {
  std::vector<V3> v;
  std::vector<Tri> t;
};

V3 sub(const V3 &a, const V3 &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V3 add(const V3 &a, const V3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
V3 mul(const V3 &a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double dot(const V3 &a, const V3 &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 cross(const V3 &a, const V3 &b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 norm(const V3 &a) { return mul(a, 1.0 / std::sqrt(dot(a, a))); }

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "assetgen: models: %s\n", what);
  std::abort();
}

// ---- Storage ---------------------------------------------------------------

void put_be32(uint8_t *&p, int32_t w) {
  uint32_t u = uint32_t(w);
  *p++ = uint8_t(u >> 24), *p++ = uint8_t(u >> 16), *p++ = uint8_t(u >> 8), *p++ = uint8_t(u);
}

// Writes `m` into the catalogue entry `sym`, whose size fixes the counts.
void store(const char *sym, const Mesh &m) {
  size_t words = 2 + 3 * m.v.size() + 3 * m.t.size();
  if (words * 4 != asset_size(sym)) {
    std::fprintf(stderr, "assetgen: %s has %zu vertices, %zu triangles: wrong size\n", sym, m.v.size(),
                 m.t.size());
    std::abort();
  }
  uint8_t *p = asset(sym);
  put_be32(p, int32_t(m.v.size()));
  for (const V3 &q : m.v)
    for (double c : q) put_be32(p, int32_t(std::lround(c * 65536.0)));
  put_be32(p, int32_t(m.t.size()));
  for (const Tri &t : m.t)
    for (int i : t) put_be32(p, i);
}

// ---- The star --------------------------------------------------------------

// Convex hull of points on the unit sphere (all of them are hull vertices),
// faces wound outwards. Incremental: each new point removes the faces it
// sees and closes the hole with a fan to the horizon.
std::vector<Tri> sphere_hull(const std::vector<V3> &p) {
  std::vector<Tri> faces = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}};
  V3 centre = mul(add(add(p[0], p[1]), add(p[2], p[3])), 0.25);
  for (Tri &f : faces) {
    V3 n = cross(sub(p[f[1]], p[f[0]]), sub(p[f[2]], p[f[0]]));
    if (dot(n, sub(p[f[0]], centre)) < 0) std::swap(f[1], f[2]);
  }
  for (int i = 4; i < int(p.size()); i++) {
    std::vector<Tri> keep;
    std::vector<std::array<int, 2>> rim;  // directed edges of the removed faces
    for (const Tri &f : faces) {
      V3 n = cross(sub(p[f[1]], p[f[0]]), sub(p[f[2]], p[f[0]]));
      if (dot(n, sub(p[i], p[f[0]])) > 1e-12) {
        for (int k = 0; k < 3; k++) rim.push_back({f[k], f[(k + 1) % 3]});
      } else {
        keep.push_back(f);
      }
    }
    if (rim.empty()) fail("hull point inside");
    for (const auto &e : rim) {
      bool inner = false;  // shared by two removed faces: not on the horizon
      for (const auto &o : rim) inner |= (o[0] == e[1] && o[1] == e[0]);
      if (!inner) keep.push_back({e[0], e[1], i});
    }
    faces.swap(keep);
  }
  return faces;
}

// The star: six thorns on the axes from a small core, an open form whose
// silhouette the panorama shows through between the thorns, its tips short
// of the panorama's sky (moon, spires) most of the time, and deep (4.5
// units across in every direction) so the depth bands of the scene slice
// it into rings along the thorns. Each thorn is a blunt tip and staggered
// rings on a straight cone. The surface is a radial graph over the sphere
// of directions: its triangulation is the hull of the unit directions, then
// every vertex moves out to its own radius, which keeps the mesh closed,
// simple and outward-wound.
//
// Why six: the scene draws two copies whose centres are never more than
// about 40 pixels apart, in one colour while its depth table is flat (the
// black silhouettes, then solid 255), so where they overlap nothing inside
// can part them: only their outlines can. A few long points and a core
// hardly wider than their roots keep the mass where the copies cover each
// other small and most of each copy's outline against the panorama, so
// the pair reads as two turning stars of six points rather than one ball
// of thorns (fourteen thorns, eight of them short ones on the diagonals
// filling the middle, made a ball).
//
// Why the thorns are stout cones: wherever two thorns cross on the screen
// the background between them is a wedge whose corner opens at least as
// fast as the two flanks converge, about twice a thorn's half-angle. The
// rasteriser samples each row at one y and snaps every vertex to a whole
// pixel, so a wedge that opens slowly and runs near-horizontally leaves
// single background pixels cut off from the rest of it: holes inside the
// silhouette. Each thorn's base covers 42 degrees of the core (0.6 units),
// which with straight flanks gives a half-angle of 10.5 degrees: at 9.4
// the first such pixels appear. Longer thorns would reach into the sky.
struct Thorn {
  V3 axis;
  double length, cap;  // tip radius; half-angle of the base on the core (radians)
  std::vector<int> rings;
};

constexpr double kCore = 0.6;  // radius of the core sphere
constexpr double kDeg = M_PI / 180;

std::vector<Thorn> star_thorns() {
  std::vector<Thorn> thorns;
  for (int a = 0; a < 3; a++)
    for (int s = -1; s <= 1; s += 2) {
      V3 d{0, 0, 0};
      d[a] = s;
      thorns.push_back({d, 2.25, 42 * kDeg, {8, 10, 10, 12}});
    }
  return thorns;
}

// Appends the tip and the rings of one thorn. The tip is blunt: the first
// ring sits kTipStep short of the tip with radius kTipRadius, so even the
// farthest thorn stays over two pixels wide to its end (the scene draws the
// star 13 to 25 units away, 600 / 25 = 24 pixels a unit) instead of
// breaking into slivers.
constexpr double kTipRadius = 0.075, kTipStep = 0.04;

void thorn_vertices(const Thorn &th, std::vector<V3> &pos) {
  pos.push_back(mul(th.axis, th.length));
  V3 u = norm(cross(th.axis, std::fabs(th.axis[0]) < 0.9 ? V3{1, 0, 0} : V3{0, 1, 0}));
  V3 w = cross(th.axis, u);
  V3 base_c = mul(th.axis, kCore * std::cos(th.cap));
  double base_r = kCore * std::sin(th.cap);
  const double near_tip = th.length - kTipStep;
  for (size_t r = 0; r < th.rings.size(); r++) {
    // s runs from the blunt tip's ring (0) to the base circle (1); the
    // width grows linearly: straight flanks, no part of a thorn more
    // slender than its mean taper.
    double s = double(r) / double(th.rings.size() - 1);
    V3 c = add(mul(th.axis, near_tip * (1 - s)), mul(base_c, s));
    double rad = kTipRadius + (base_r - kTipRadius) * s;
    int n = th.rings[r];
    for (int k = 0; k < n; k++) {
      double ang = 2 * M_PI * (k + 0.5 * double(r & 1)) / n;
      pos.push_back(add(c, add(mul(u, rad * std::cos(ang)), mul(w, rad * std::sin(ang)))));
    }
  }
}

// Fills the core between the thorns up to `target` vertices, each new
// point on the core sphere as far as possible from every point so far.
void fill_core(const std::vector<Thorn> &thorns, int target, std::vector<V3> &pos) {
  std::vector<V3> cand;
  for (int i = 0; i < 4000; i++) {
    double z = 1 - 2 * (i + 0.5) / 4000, r = std::sqrt(1 - z * z), a = i * 2.399963229728653;
    V3 d{r * std::cos(a), r * std::sin(a), z};
    bool free = true;
    for (const Thorn &th : thorns) free &= std::acos(std::clamp(dot(d, th.axis), -1.0, 1.0)) > th.cap + 3 * kDeg;
    if (free) cand.push_back(d);
  }
  while (int(pos.size()) < target) {
    double best = -1;
    size_t bi = 0;
    for (size_t i = 0; i < cand.size(); i++) {
      double m = 1e9;
      for (const V3 &q : pos) m = std::min(m, 1 - dot(cand[i], norm(q)));
      if (m > best) best = m, bi = i;
    }
    pos.push_back(mul(cand[bi], kCore));
  }
}

// The closed mesh through `pos` as a radial graph: triangulated as the
// hull of the directions. A tiny fixed jitter of the directions breaks the
// exact symmetries that would make four directions co-circular (an
// ambiguous hull).
Mesh radial_mesh(const std::vector<V3> &pos) {
  Rng rng(329);
  std::vector<V3> dir;
  for (const V3 &q : pos) {
    V3 j{rng.uniform() - 0.5, rng.uniform() - 0.5, rng.uniform() - 0.5};
    dir.push_back(norm(add(norm(q), mul(j, 2e-5))));
  }
  Mesh m;
  m.v = pos;
  m.t = sphere_hull(dir);
  return m;
}

Mesh make_star() {
  const int target = 329;
  const std::vector<Thorn> thorns = star_thorns();
  std::vector<V3> pos;
  for (const Thorn &th : thorns) thorn_vertices(th, pos);
  if (int(pos.size()) > target) fail("star thorns have too many vertices");
  fill_core(thorns, target, pos);
  return radial_mesh(pos);
}

// ---- Letters ---------------------------------------------------------------

double cross2(const P2 &o, const P2 &a, const P2 &b) {
  return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

double area(const std::vector<P2> &poly) {
  double s = 0;
  for (size_t i = 0; i < poly.size(); i++) {
    const P2 &a = poly[i], &b = poly[(i + 1) % poly.size()];
    s += a[0] * b[1] - a[1] * b[0];
  }
  return s / 2;
}

bool segments_cross(const P2 &a, const P2 &b, const P2 &c, const P2 &d) {
  double d1 = cross2(a, b, c), d2 = cross2(a, b, d), d3 = cross2(c, d, a), d4 = cross2(c, d, b);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

// Smallest angle of triangle abc (radians), to prefer well-shaped ears.
double min_angle(const P2 &a, const P2 &b, const P2 &c) {
  auto ang = [](const P2 &o, const P2 &p, const P2 &q) {
    double ux = p[0] - o[0], uy = p[1] - o[1], vx = q[0] - o[0], vy = q[1] - o[1];
    return std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy);
  };
  return std::min({ang(a, b, c), ang(b, c, a), ang(c, a, b)});
}

// Triangulates the polygon `idx` (indices into pts, counter-clockwise, may
// repeat an index where a bridge joins a hole) by ear clipping, always
// taking the best-shaped ear. Ears need a strictly convex tip, so points
// added along straight edges never yield a triangle of zero area.
std::vector<Tri> ear_clip(const std::vector<P2> &pts, std::vector<int> idx) {
  std::vector<Tri> out;
  while (idx.size() > 3) {
    int n = int(idx.size()), best = -1;
    double best_q = -1;
    for (int i = 0; i < n; i++) {
      int a = idx[(i + n - 1) % n], b = idx[i], c = idx[(i + 1) % n];
      if (cross2(pts[a], pts[b], pts[c]) <= 1e-9) continue;
      bool empty = true;
      for (int k = 0; k < n && empty; k++) {
        int q = idx[k];
        const P2 &p = pts[q];
        if (p == pts[a] || p == pts[b] || p == pts[c]) continue;
        empty = !(cross2(pts[a], pts[b], p) >= 0 && cross2(pts[b], pts[c], p) >= 0 && cross2(pts[c], pts[a], p) >= 0);
      }
      if (!empty) continue;
      double q = min_angle(pts[a], pts[b], pts[c]);
      if (q > best_q) best_q = q, best = i;
    }
    if (best < 0) fail("no ear");
    out.push_back({idx[(best + n - 1) % n], idx[best], idx[(best + 1) % n]});
    idx.erase(idx.begin() + best);
  }
  if (cross2(pts[idx[0]], pts[idx[1]], pts[idx[2]]) <= 1e-9) fail("degenerate last ear");
  out.push_back({idx[0], idx[1], idx[2]});
  return out;
}

// Extrudes an outline (counter-clockwise) with an optional hole
// (clockwise) between z = zb and z = zf (zf > zb, the front). n outline
// points in all give 2n vertices and 4n - 4 triangles, 4 more per hole.
Mesh extrude(const std::vector<P2> &outer, const std::vector<P2> &hole, double zb, double zf) {
  if (area(outer) <= 0) fail("outline not counter-clockwise");
  if (!hole.empty() && area(hole) >= 0) fail("hole not clockwise");
  std::vector<P2> pts = outer;
  pts.insert(pts.end(), hole.begin(), hole.end());
  const int no = int(outer.size()), n = int(pts.size());

  std::vector<int> poly;
  for (int i = 0; i < no; i++) poly.push_back(i);
  if (!hole.empty()) {
    // Bridge from the hole's rightmost point to the nearest outline point
    // that it sees without crossing an edge.
    int hi = no;
    for (int i = no; i < n; i++)
      if (pts[i][0] > pts[hi][0]) hi = i;
    int oi = -1;
    double bd = 1e9;
    for (int o = 0; o < no; o++) {
      bool clear = true;
      for (int e = 0; e < n && clear; e++) {
        int a = e, b = e < no ? (e + 1) % no : no + (e - no + 1) % (n - no);
        clear = !segments_cross(pts[hi], pts[o], pts[a], pts[b]);
      }
      double d = std::hypot(pts[o][0] - pts[hi][0], pts[o][1] - pts[hi][1]);
      if (clear && d < bd) bd = d, oi = o;
    }
    if (oi < 0) fail("no bridge");
    std::vector<int> merged(poly.begin(), poly.begin() + oi + 1);
    for (int k = 0; k <= n - no; k++) merged.push_back(no + (hi - no + k) % (n - no));
    merged.insert(merged.end(), poly.begin() + oi, poly.end());
    poly = merged;
  }
  std::vector<Tri> cap = ear_clip(pts, poly);

  Mesh m;
  for (const P2 &p : pts) m.v.push_back({p[0], p[1], zf});
  for (const P2 &p : pts) m.v.push_back({p[0], p[1], zb});
  for (const Tri &t : cap) {
    m.t.push_back(t);                                      // front, facing +z
    m.t.push_back({t[0] + n, t[2] + n, t[1] + n});         // back, facing -z
  }
  auto sides = [&](int first, int count) {
    for (int k = 0; k < count; k++) {
      int i = first + k, j = first + (k + 1) % count;
      m.t.push_back({i + n, j + n, j});
      m.t.push_back({i + n, j, i});
    }
  };
  sides(0, no);
  if (!hole.empty()) sides(no, n - no);
  return m;
}

// Adds the points of an elliptic arc around (cx, cy), angles a0 to a1
// (radians, either direction), `count` points including both ends.
void arc(std::vector<P2> &out, double cx, double cy, double rx, double ry, double a0, double a1, int count) {
  for (int i = 0; i < count; i++) {
    double a = a0 + (a1 - a0) * i / (count - 1);
    out.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
}

// The letters stand 2 units tall (y -1..1), centred on x = 0, so each
// turns about its own middle at its place in the word.

// U with a lozenge pierced through its heavy base (the one hole): 47
// outline points and 4 hole points.
Mesh make_u() {
  std::vector<P2> o;
  o.push_back({-0.56, 1.0});
  o.push_back({-0.60, 0.94});  // small flared serifs on the stem tops
  arc(o, 0.0, -0.28, 0.56, 0.72, M_PI, 2 * M_PI, 22);
  o.push_back({0.60, 0.94});
  o.push_back({0.56, 1.0});
  o.push_back({0.31, 1.0});
  o.push_back({0.27, 0.94});
  arc(o, 0.0, -0.12, 0.27, 0.40, 0.0, -M_PI, 17);
  o.push_back({-0.27, 0.94});
  o.push_back({-0.31, 1.0});
  std::vector<P2> h = {{0.0, -0.64}, {0.11, -0.76}, {0.0, -0.89}, {-0.11, -0.76}};
  if (o.size() + h.size() != 51) fail("U outline count");
  return extrude(o, h, 546 / 65536.0, 13653 / 65536.0);
}

// R whose counter opens through a narrow slit between the stem and the
// end of the bowl's top stroke (no hole): 35 outline points.
Mesh make_r() {
  std::vector<P2> o = {{-0.52, -1.0}, {-0.10, -1.0}, {-0.17, -0.93}, {-0.17, -0.06}, {-0.01, -0.06},
                       {0.12, -0.93},  {0.06, -1.0},  {0.54, -1.0},  {0.46, -0.92}, {0.22, 0.01}};
  arc(o, 0.02, 0.5, 0.44, 0.48, -1.0, 1.47, 11);
  o.push_back({-0.08, 1.0});
  o.push_back({-0.08, 0.80});
  arc(o, 0.02, 0.5, 0.23, 0.30, 1.24, -1.25, 7);
  o.push_back({-0.17, 0.21});
  o.push_back({-0.17, 1.0});
  o.push_back({-0.40, 1.0});
  o.push_back({-0.45, 0.95});
  o.push_back({-0.45, -0.92});
  if (o.size() != 35) fail("R outline count");
  return extrude(o, {}, -6553 / 65536.0, 6553 / 65536.0);
}

// E: 12 outline points.
Mesh make_e() {
  std::vector<P2> o = {{-0.36, -1.0}, {0.36, -1.0},  {0.36, -0.78}, {-0.14, -0.78}, {-0.14, -0.11}, {0.24, -0.11},
                       {0.24, 0.11},  {-0.14, 0.11}, {-0.14, 0.78},  {0.36, 0.78},   {0.36, 1.0},    {-0.36, 1.0}};
  return extrude(o, {}, -6553 / 65536.0, 6553 / 65536.0);
}

// T with a flared foot and hooked serifs under the bar: 30 outline points,
// symmetric about x = 0.
Mesh make_t() {
  const std::vector<P2> half = {{0.25, -1.0},  {0.19, -0.94}, {0.13, -0.84}, {0.11, -0.70}, {0.11, 0.56},
                                {0.14, 0.66},  {0.21, 0.72},  {0.32, 0.72},  {0.38, 0.63},  {0.42, 0.48},
                                {0.46, 0.61},  {0.47, 0.77},  {0.47, 0.93},  {0.42, 1.0}};
  std::vector<P2> o = {{0.0, -1.0}};
  o.insert(o.end(), half.begin(), half.end());
  o.push_back({0.0, 1.0});
  for (int i = int(half.size()) - 1; i >= 0; i--) o.push_back({-half[i][0], half[i][1]});
  return extrude(o, {}, -6553 / 65536.0, 6553 / 65536.0);
}

// ---- Preview ---------------------------------------------------------------

struct Placed {
  const Mesh *m;
  V3 at;         // translation
  double ry, rx;  // rotations about y, then x (radians)
};

// Perspective render (focal length 600, centre (160, 100), camera looking
// along -z) of the placed meshes, drawing only the triangles that face the
// camera, as the demo does: flat-shaded, or with `depth` by distance
// (nearest white, 6 units further black).
void render_preview(const char *name, const std::vector<Placed> &items, bool depth = false) {
  const int W = 320, H = 200;
  std::vector<double> zb(W * H, -1e30);
  std::vector<uint8_t> img(W * H);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) img[y * W + x] = uint8_t(24 + y / 10);
  const V3 light = norm({-0.5, 0.6, 0.8});
  for (const Placed &it : items) {
    std::vector<V3> e;
    for (const V3 &p : it.m->v) {
      double cy = std::cos(it.ry), sy = std::sin(it.ry), cx = std::cos(it.rx), sx = std::sin(it.rx);
      V3 q{p[0] * cy + p[2] * sy, p[1], -p[0] * sy + p[2] * cy};
      q = {q[0], q[1] * cx - q[2] * sx, q[1] * sx + q[2] * cx};
      e.push_back(add(q, it.at));
    }
    for (const Tri &t : it.m->t) {
      V3 a = e[t[0]], b = e[t[1]], c = e[t[2]];
      V3 n = norm(cross(sub(b, a), sub(c, a)));
      if (dot(n, a) >= 0) continue;  // faces away from the eye at the origin
      double shade = 0.25 + 0.75 * std::max(0.0, dot(n, light));
      double sx[3], sy[3], sz[3];
      const V3 *vs[3] = {&a, &b, &c};
      for (int k = 0; k < 3; k++) {
        sx[k] = vs[k]->at(0) * 600 / -vs[k]->at(2) + 160;
        sy[k] = -vs[k]->at(1) * 600 / -vs[k]->at(2) + 100;
        sz[k] = vs[k]->at(2);
      }
      int x0 = std::max(0, int(std::floor(std::min({sx[0], sx[1], sx[2]}))));
      int x1 = std::min(W - 1, int(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
      int y0 = std::max(0, int(std::floor(std::min({sy[0], sy[1], sy[2]}))));
      int y1 = std::min(H - 1, int(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
      double den = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
      if (std::fabs(den) < 1e-9) continue;
      for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
          double px = x + 0.5, py = y + 0.5;
          double w1 = ((px - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (py - sy[0])) / den;
          double w2 = ((sx[1] - sx[0]) * (py - sy[0]) - (px - sx[0]) * (sy[1] - sy[0])) / den;
          if (w1 < 0 || w2 < 0 || w1 + w2 > 1) continue;
          double z = sz[0] + w1 * (sz[1] - sz[0]) + w2 * (sz[2] - sz[0]);
          if (z <= zb[y * W + x]) continue;
          zb[y * W + x] = z;
          double near = -items[0].at[2] - 5.3;
          img[y * W + x] = quantise(depth ? std::clamp(1 - (-z - near) / 6, 0.05, 1.0) : shade, x, y);
        }
    }
  }
  preview_grey(name, W, H, img.data());
}

}  // namespace

void job_models() {
  static Mesh star, u, r, e, t;  // kept for the previews
  star = make_star();
  u = make_u();
  r = make_r();
  e = make_e();
  t = make_t();
  store("model1", star);
  store("ch_u", u);
  store("ch_r", r);
  store("ch_e", e);
  store("ch_t", t);
  render_preview("model1", {{&star, {0, 0, -19}, 0.5, 0.35}});
  render_preview("model1_depth", {{&star, {0, 0, -19}, 1.1, -0.4}}, true);
  const double lx[5] = {-2.2, -0.6, 0.4, 1.2, 2.6};
  const Mesh *word[5] = {&u, &r, &e, &t, &u};
  std::vector<Placed> letters;
  for (int i = 0; i < 5; i++) letters.push_back({word[i], {lx[i], -0.1, -13}, 0.35, -0.15});
  render_preview("letters", letters);
}
