// Asset generator: signed-distance-field modelling and ray marching.
//
// A scene is a distance function f(p): the signed distance (world units)
// from p to the nearest surface, negative inside. The helpers here build
// such functions from primitives and smooth blends, march camera rays
// against them and light the hit points (soft shadows, ambient occlusion,
// rim light). Everything is double precision and deterministic; the
// renderers split rows between threads, each thread writing its own rows.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

// --- Vector maths -----------------------------------------------------------

struct V3 {
  double x = 0, y = 0, z = 0;
  constexpr V3() = default;
  constexpr V3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator*(double s, V3 a) { return a * s; }
inline V3 operator/(V3 a, double s) { return a * (1.0 / s); }
inline V3 mul(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }  // per component
inline double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalize(V3 a) {
  double l = length(a);
  return l > 0 ? a / l : V3{0, 0, 0};
}
inline V3 vabs(V3 a) { return {std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)}; }
// std::fmax / std::fmin as inline comparisons (the library calls are real
// calls in this build and sit in the hottest distance functions): the same
// value for every pair of operands, a NaN yielding the other operand, except
// that of +0 and -0 either may come back. Use them only where the sign of a
// zero cannot reach the result.
inline double fmax_z(double a, double b) { return (a > b || b != b) ? a : b; }
inline double fmin_z(double a, double b) { return (a < b || b != b) ? a : b; }
// std::hypot with its cases of a zero argument answered inline: hypot(x, +-0)
// is |x| exactly (and symmetrically), so those need no library call.
inline double hypot_z(double x, double y) {
  if (y == 0) return std::fabs(x);
  if (x == 0) return std::fabs(y);
  return std::hypot(x, y);
}
// Per component fmax_z (a zero's sign as there).
inline V3 vmax(V3 a, double m) { return {fmax_z(a.x, m), fmax_z(a.y, m), fmax_z(a.z, m)}; }
inline double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
inline double clampd(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }
inline double mixd(double a, double b, double t) { return a + (b - a) * t; }
inline V3 mixv(V3 a, V3 b, double t) { return a + (b - a) * t; }
// Hermite step: 0 below e0, 1 above e1, smooth between.
inline double smoothstep(double e0, double e1, double x) {
  double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Rotations by `a` radians about one axis (right-handed: +y up, +z towards
// the viewer in the default camera). A Rot holds an angle's cosine and sine
// worked out once, for angles that stay the same over a whole picture (a
// pose): the hot distance functions then call no library per point, and
// rot_x(p, Rot(a)) equals rot_x(p, a) bit for bit. A pose's Rots are built
// in a noinline constructor, so their sines come from the library at run
// time as they did per point, never from the compiler folding a constant
// pose (which may round differently).
struct Rot {
  double c, s;
  explicit Rot(double a) : c(std::cos(a)), s(std::sin(a)) {}
};
inline V3 rot_x(V3 p, Rot r) { return {p.x, r.c * p.y - r.s * p.z, r.s * p.y + r.c * p.z}; }
inline V3 rot_y(V3 p, Rot r) { return {r.c * p.x + r.s * p.z, p.y, -r.s * p.x + r.c * p.z}; }
inline V3 rot_z(V3 p, Rot r) { return {r.c * p.x - r.s * p.y, r.s * p.x + r.c * p.y, p.z}; }
inline V3 rot_x(V3 p, double a) { return rot_x(p, Rot(a)); }
inline V3 rot_y(V3 p, double a) { return rot_y(p, Rot(a)); }
inline V3 rot_z(V3 p, double a) { return rot_z(p, Rot(a)); }

// --- Primitives (centred at the origin; move p, not the shape) --------------

inline double sdf_sphere(V3 p, double r) { return length(p) - r; }
// Box with half extents b; r rounds the edges (the box grows by r).
// The zero-sign-blind maxima are safe here: vmax's components are squared,
// and the inner term, when a zero, is added to a length that is >= +0.
inline double sdf_box(V3 p, V3 b, double r = 0) {
  V3 q = vabs(p) - b;
  return length(vmax(q, 0)) + fmin_z(fmax_z(q.x, fmax_z(q.y, q.z)), 0.0) - r;
}
// Segment a-b thickened to radius r.
inline double sdf_capsule(V3 p, V3 a, V3 b, double r) {
  V3 pa = p - a, ba = b - a;
  double h = clamp01(dot(pa, ba) / dot(ba, ba));
  return length(pa - ba * h) - r;
}
// Segment a-b whose radius goes linearly from ra at a to rb at b: a round
// cone approximated by interpolating the radius along the projection; good
// enough when |ra - rb| is small against |b - a|.
inline double sdf_cone_capsule(V3 p, V3 a, V3 b, double ra, double rb) {
  V3 pa = p - a, ba = b - a;
  double h = clamp01(dot(pa, ba) / dot(ba, ba));
  return length(pa - ba * h) - mixd(ra, rb, h);
}
// Two doubles worked on side by side: each lane does exactly the scalar
// operation, with the same rounding, so a pair gives the bits of two
// separate calls in one instruction where SSE2 has one.
typedef double Pair __attribute__((vector_size(16)));
// The two square roots of a pair (IEEE, correctly rounded, as std::sqrt).
inline Pair sqrt_pair(Pair v) {
#if defined(__SSE2__)
  return Pair(__builtin_ia32_sqrtpd(v));
#else
  return Pair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}
// Ellipsoid with radii r (approximate distance, exact on the axes):
// k0 * (k0 - 1) / k1 with k0 = |p / r| and k1 = |p / r^2| (per component).
// The two lengths are worked out side by side, each lane of a pair doing
// exactly the scalar operations in the same order, so the six divisions
// take three paired instructions and give the same bits.
inline double sdf_ellipsoid(V3 p, V3 r) {
  Pair x = Pair{p.x, p.x} / Pair{r.x, r.x * r.x};
  Pair y = Pair{p.y, p.y} / Pair{r.y, r.y * r.y};
  Pair z = Pair{p.z, p.z} / Pair{r.z, r.z * r.z};
  Pair sq = x * x + y * y + z * z;  // as dot(): (x * x + y * y) + z * z
  Pair k = sqrt_pair(sq);
  double k0 = k[0], k1 = k[1];
  if (k1 == 0) return -std::min(r.x, std::min(r.y, r.z));
  return k0 * (k0 - 1.0) / k1;
}
// Torus in the xz plane: ring radius R, tube radius r.
inline double sdf_torus(V3 p, double R, double r) {
  double q = std::sqrt(p.x * p.x + p.z * p.z) - R;
  return std::sqrt(q * q + p.y * p.y) - r;
}
// Capped cylinder along y: radius r, half height h.
inline double sdf_cylinder(V3 p, double r, double h) {
  double dx = std::sqrt(p.x * p.x + p.z * p.z) - r, dy = std::fabs(p.y) - h;
  double ox = std::max(dx, 0.0), oy = std::max(dy, 0.0);
  return std::min(std::max(dx, dy), 0.0) + std::sqrt(ox * ox + oy * oy);
}
// Unsigned distance to the triangle a, b, c (thicken by subtracting a
// half thickness).
inline double sdf_triangle(V3 p, V3 a, V3 b, V3 c) {
  V3 ba = b - a, pa = p - a, cb = c - b, pb = p - b, ac = a - c, pc = p - c;
  V3 nor = cross(ba, ac);
  auto sgn = [](double v) { return v < 0 ? -1.0 : 1.0; };
  bool outside = sgn(dot(cross(ba, nor), pa)) + sgn(dot(cross(cb, nor), pb)) + sgn(dot(cross(ac, nor), pc)) < 2.0;
  if (outside) {
    auto edge = [](V3 e, V3 q) {
      V3 r = e * clamp01(dot(e, q) / dot(e, e)) - q;
      return dot(r, r);
    };
    return std::sqrt(std::min(std::min(edge(ba, pa), edge(cb, pb)), edge(ac, pc)));
  }
  return std::sqrt(dot(nor, pa) * dot(nor, pa) / dot(nor, nor));
}

// The same shapes with their constant terms worked out once, for scenes
// that evaluate a fixed shape millions of times: each gives exactly the
// distance of its function above, bit for bit.
struct ConeCapsule {  // sdf_cone_capsule(p, a, b, ra, rb)
  V3 a, ba;
  double bb = 1, ra = 0, dr = 0;  // dot(ba, ba), and the radius at a and its change to b
  ConeCapsule() = default;
  ConeCapsule(V3 a_, V3 b, double ra_, double rb) : a(a_), ba(b - a_), bb(dot(ba, ba)), ra(ra_), dr(rb - ra_) {}
  double operator()(V3 p) const {
    V3 pa = p - a;
    double h = clamp01(dot(pa, ba) / bb);
    return length(pa - ba * h) - (ra + dr * h);
  }
};
struct Triangle {  // sdf_triangle(p, a, b, c)
  V3 a, b, c, ba, cb, ac, nor;
  V3 side_ba, side_cb, side_ac;  // cross(edge, nor): outward edge normals
  double ee_ba = 1, ee_cb = 1, ee_ac = 1, nn = 1;  // squared edge lengths, dot(nor, nor)
  Triangle() = default;
  Triangle(V3 a_, V3 b_, V3 c_);
  double operator()(V3 p) const;
};

// --- Combinations ------------------------------------------------------------

// Polynomial smooth minimum / maximum; k is the blend width in world units.
// The blend weight is h = clamp01(0.5 + 0.5 * (b - a) / k). Where the two
// lie k or more apart it clamps to exactly 0 or 1 (0.5 * (b - a) / k is then
// at least 0.5 in size: halving is exact for a normal k and rounding keeps
// the order; a subnormal k takes the plain way, its halving may round), so
// the division, the slowest step of a long chain of blends, is skipped
// there with the same result. So are the steps that cannot change a value
// there, as a chain of blends waits on each one: with h exactly 1 or 0 and a
// finite k the blend term k * h * (1 - h) is +0, and x - (+0) is x for
// every x (a zero keeps its sign, a NaN stays the same NaN); x * 1 is x.
inline double smin(double a, double b, double k) {
  if (k <= 0) return std::min(a, b);
  double diff = b - a;
  if (k >= 0x1p-1021 && k < HUGE_VAL) {
    if (diff >= k) return b + (a - b);          // h = 1
    if (diff <= -k) return b + (a - b) * 0.0;  // h = 0
    // Here |diff| < k (or diff is a NaN, which the clamp passes on as it
    // is): 0.5 * diff / k rounds to at most 0.5 in size, so h is in [0, 1]
    // already and the clamp would change nothing.
    const double h = 0.5 + 0.5 * diff / k;
    return mixd(b, a, h) - k * h * (1.0 - h);
  }
  double h = clamp01(0.5 + 0.5 * diff / k);
  return mixd(b, a, h) - k * h * (1.0 - h);
}
// True where smin(a, x, k) is a itself, bit for bit, for every x in
// [lo, hi], so that a part known to lie there (say a shape plus a ripple of
// known size) need not be worked out in full. With x - a >= k the weight is
// exactly 1 and smin returns x + (a - x); for 0 < a < x < 2a the difference
// is exact (x, the larger, is a multiple of a's ulp, and x - a < a fits in
// 53 bits of it), so the sum gives a back. lo must reach a + k as real
// numbers: it is asked to lie a relative 2^-50 above the rounded sum.
inline bool smin_keeps(double a, double lo, double hi, double k) {
  if (!(k >= 0x1p-1021 && k <= 0x1p500 && a >= 0x1p-1000 && a <= 0x1p500)) return false;  // NaN fails too
  return lo >= (a + k) * (1 + 0x1p-50) && hi < 2 * a;
}
inline double smax(double a, double b, double k) { return -smin(-a, -b, k); }
// Smooth subtraction of b from a.
inline double ssub(double a, double b, double k) { return smax(a, -b, k); }

// --- Cameras and rays ---------------------------------------------------------

struct Camera {
  V3 eye, fwd, right, up;
  double focal;  // distance of the image plane for a half width of 1
};
// Pinhole camera at `eye` looking at `target`; fov_deg is the horizontal
// field of view.
Camera camera_look(V3 eye, V3 target, double fov_deg);
// Direction (unit) through image point (px, py) of a w by h image, pixel
// centres at +0.5; square pixels.
V3 camera_ray(const Camera &cam, double px, double py, int w, int h);

// Entry and exit distances of a ray with a sphere; false when it misses.
bool ray_sphere(V3 ro, V3 rd, V3 c, double r, double *t0, double *t1);
// Entry and exit distances of a ray with the axis-aligned box lo..hi;
// false when it misses or the box is behind the ray.
bool ray_box(V3 ro, V3 rd, V3 lo, V3 hi, double *t0, double *t1);

// --- Marching and lighting ----------------------------------------------------

// Any distance function; the marching and lighting calls below are
// templates on it, so a scene passed as a lambda is called directly.
using Sdf = std::function<double(const V3 &)>;

struct Hit {
  bool hit = false;
  double t = 0;  // distance along the ray
  V3 p;          // hit point
  int steps = 0;
};

// Sphere tracing from ro along unit rd between tmin and tmax, at most
// max_steps; a hit is a distance below eps * t (eps relative, so far
// surfaces need no more steps than near ones). Distances are scaled by
// `relax` (< 1 for fields that overestimate, such as bent or displaced
// shapes).
template <class F>
Hit sdf_march(const F &f, V3 ro, V3 rd, double tmin, double tmax, int max_steps = 160,
              double eps = 4e-4, double relax = 0.9) {
  Hit h;
  double t = tmin;
  for (int i = 0; i < max_steps && t < tmax; i++) {
    V3 p = ro + rd * t;
    double d = f(p);
    h.steps = i + 1;
    if (d < eps * t) {
      h.hit = true;
      h.t = t;
      h.p = p;
      return h;
    }
    t += d * relax;
  }
  return h;
}
// Unit surface normal by tetrahedral central differences of size h.
template <class F>
V3 sdf_normal(const F &f, V3 p, double h = 1e-3) {
  const V3 k0{1, -1, -1}, k1{-1, -1, 1}, k2{-1, 1, -1}, k3{1, 1, 1};
  return normalize(k0 * f(p + k0 * h) + k1 * f(p + k1 * h) + k2 * f(p + k2 * h) + k3 * f(p + k3 * h));
}
// Soft shadow towards unit direction l from p: 1 lit .. 0 fully shadowed;
// k sets the penumbra hardness (8 soft .. 32 hard).
template <class F>
double sdf_soft_shadow(const F &f, V3 p, V3 l, double tmin, double tmax, double k, int max_steps = 48) {
  double res = 1.0, t = tmin;
  for (int i = 0; i < max_steps && t < tmax; i++) {
    double d = f(p + l * t);
    if (d < 1e-4) return 0.0;
    res = std::min(res, k * d / t);
    t += clampd(d, (tmax - tmin) / (2.0 * max_steps), (tmax - tmin) / 8.0);
  }
  return clamp01(res);
}
// Ambient occlusion along the normal: 1 open .. 0 closed; `scale` is the
// depth range sampled (world units).
template <class F>
double sdf_ao(const F &f, V3 p, V3 n, double scale, int samples = 5) {
  double occ = 0, w = 1;
  for (int i = 1; i <= samples; i++) {
    double h = scale * i / samples;
    occ += w * std::max(0.0, h - f(p + n * h));
    w *= 0.6;
  }
  return clamp01(1.0 - 2.2 * occ / scale);
}
// Rim (grazing) light term: 0 facing the viewer .. 1 at the silhouette.
inline double rim_light(V3 n, V3 view_dir, double power) {
  return std::pow(clamp01(1.0 + dot(n, view_dir)), power);
}

// --- Images --------------------------------------------------------------------

// Calls fn(y) for every row 0..h-1 on `threads` threads (rows interleaved);
// fn must only write data of its own row.
void parallel_rows(int h, const std::function<void(int)> &fn, int threads = 2);

// Per-pixel result of a UV-mapped render.
struct UvSample {
  bool covered = false;
  double shade = 0;  // brightness 0..1
  double u = 0, v = 0;  // texel coordinates, unwrapped (wrapped mod 256 on output)
};

// Packs texel coordinates into a UV map entry: row (v) in the high byte,
// column (u) in the low byte, both wrapped mod 256. Never 0xFFFF for a
// covered pixel: texel (255, 255) is moved to (254, 255).
uint16_t uv_pack(double u, double v);

// The sample functions below are called from several threads at once and
// must not write shared state.

// Renders a 320x200 shading picture and UV map with one centre sample per
// pixel for coverage and UV, and 2x2 extra samples of the shade where the
// centre shade differs from a neighbour by more than `aa_edge` (0..1) and
// along the object's outline (always; above 1 only there). Only covered
// extra samples count, so the outline keeps the object's brightness. `pic`
// gets quantise()d brightness (0 where uncovered), `uv` the little-endian
// map (0xFFFF where uncovered).
void render_uv_object(const std::function<UvSample(double px, double py)> &sample, uint8_t *pic,
                      uint8_t *uv, double aa_edge = 0.12);

// Renders a w by h brightness image (0..1) with adaptive grid x grid
// supersampling where neighbours differ by more than aa_edge, then
// quantises it.
void render_picture(int w, int h, const std::function<double(double px, double py)> &shade, uint8_t *pic,
                    double aa_edge = 0.08, int grid = 3);

// Reads entry i of a little-endian UV map.
inline uint16_t uv_at(const uint8_t *uv, int i) { return uint16_t(uv[2 * i] | (uv[2 * i + 1] << 8)); }

// --- One lit object --------------------------------------------------------------

// How a single marched object is found and lit: a key light, a fill from
// the other side and a rim.
struct ObjectLighting {
  V3 bound_centre;
  double bound_radius;            // the object lies inside this sphere
  int max_steps;                  // marching: steps and relax of sdf_march
  double relax;
  double shadow_far, shadow_k;    // soft shadow towards the key: reach and hardness
  double ao_near, ao_far;         // occlusion scales: near x (ao_base + ao_gain x far)
  double ao_base, ao_gain;
  double fill_y, fill_z;          // fill direction (-key.x, fill_y, fill_z), normalised
  double rim_power;
};

// The lighting terms where a camera ray meets the object.
struct ObjectHit {
  bool hit = false;
  V3 rd, p, n;  // ray direction, hit point, unit normal
  double diff = 0, shadow = 0, ao = 0, fill = 0, rim = 0;  // each 0..1
};

// Marches the ray through image point (px, py) of a 320x200 picture
// against f and, on a hit, lights it with the unit key direction `key`.
template <class F>
ObjectHit light_object(const Camera &cam, const F &f, V3 key, const ObjectLighting &L, double px, double py) {
  ObjectHit o;
  o.rd = camera_ray(cam, px, py, 320, 200);
  double t0, t1;
  if (!ray_sphere(cam.eye, o.rd, L.bound_centre, L.bound_radius, &t0, &t1)) return o;
  Hit h = sdf_march(f, cam.eye, o.rd, std::max(t0, 0.0), t1, L.max_steps, 3e-4, L.relax);
  if (!h.hit) return o;
  o.hit = true;
  o.p = h.p;
  o.n = sdf_normal(f, h.p, 1.5e-3);
  o.diff = std::max(0.0, dot(o.n, key));
  o.shadow = o.diff > 0 ? sdf_soft_shadow(f, h.p + o.n * 0.004, key, 0.01, L.shadow_far, L.shadow_k) : 0.0;
  o.ao = sdf_ao(f, h.p, o.n, L.ao_near) * (L.ao_base + L.ao_gain * sdf_ao(f, h.p, o.n, L.ao_far, 4));
  o.fill = std::max(0.0, dot(o.n, normalize(V3{-key.x, L.fill_y, L.fill_z})));
  o.rim = rim_light(o.n, o.rd, L.rim_power);
  return o;
}

// Texel coordinates that wrap around an object. The angle about the
// vertical axis through `centre` (0 facing +z, the seam straight behind)
// runs over `turns` times the texture's 256 columns per full turn, so the
// seam falls on a whole tile and the texture's density across the screen
// follows the surface: widest facing the viewer, squeezed towards the
// outline.
constexpr double kTwoPi = 6.283185307179586;
inline double wrap_u(V3 d, int turns) { return 256.0 * turns / kTwoPi * std::atan2(d.x, d.z); }

// Spherical unwrap about `centre`: columns from the longitude, rows from
// the latitude at the same texels per radian (pole to pole spans
// 128 * turns rows), the texture's top towards the top of the object.
inline void sphere_uv(UvSample &out, V3 lp, V3 centre, int turns) {
  V3 d = lp - centre;
  out.u = wrap_u(d, turns);
  out.v = -256.0 * turns / kTwoPi * std::atan2(d.y, std::hypot(d.x, d.z));
}

// Cylindrical unwrap about the vertical axis through `centre`: columns
// from the angle, rows from the height at `v_scale` texels per unit.
inline void cylinder_uv(UvSample &out, V3 lp, V3 centre, int turns, double v_scale) {
  V3 d = lp - centre;
  out.u = wrap_u(d, turns);
  out.v = -v_scale * d.y;
}
