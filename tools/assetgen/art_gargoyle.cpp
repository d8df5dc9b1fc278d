// Asset generator: the gargoyle seen twice (shading pictures and UV maps).
//
// A crouching winged stone creature on a ledge: horns, pointed ears, a
// snout with fangs, forelegs gripping the ledge edge, hind legs folded,
// wings half raised. gargoyle/gargoyletc: seen nearly from the front, a
// little from its left, both wings spread, the head turned further to
// watch the city off to screen left with the jaw shut, raking moonlight
// from the upper left: the side it faces is lit, the far flank and the
// folds under the chest fall into shadow, the snout and horns stand against
// the sky. gargoyle2/gargoyle2tc: the other way round, seen a little from
// its right and lit from the upper right, the head turned to glare at the
// viewer and the jaw open: the stone wakes up when the pictures switch.
// The two stay close enough to the front that they cover mostly the same
// pixels: the cut between them turns the creature, not the camera.
//
// The shading is made for v = (T2 * c2 >> 8) - (T1 * c1 >> 8) + img / 2
// with the dark stone texture (T about 12..30): the two layers add and take
// away a few tens at most, so img / 2 carries the form. It spans the whole
// range: occluded folds near 0, stone in the key light around 200, the rim
// light up to 255.
#include "gen.h"
#include "sdf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

struct GargPose {
  double yaw;       // radians the creature is turned (positive: face to screen right)
  double head_yaw;  // radians the head turns on the neck (same sense)
  double jaw;       // radians the lower jaw drops
  V3 key;           // unit direction towards the key light (world)
};

// A pose's rotations, worked out once per picture: into the creature's
// frame (-yaw), the head on the neck (-head_yaw) and the jaw (-jaw).
struct GargTurns {
  Rot body, head, jaw;
  [[gnu::noinline]] explicit GargTurns(const GargPose &pose) : body(-pose.yaw), head(-pose.head_yaw), jaw(-pose.jaw) {}
};

// A bent limb or horn: cone capsules through the points pts[0..N-1],
// radius going from r0 to r1, smoothly joined. The segments are set up
// once (limb) and evaluated per point (chain).
template <size_t N>
std::array<ConeCapsule, N - 1> limb(const V3 (&pts)[N], double r0, double r1) {
  const int n = int(N);
  std::array<ConeCapsule, N - 1> segs;
  for (int i = 0; i + 1 < n; i++)
    segs[i] = ConeCapsule(pts[i], pts[i + 1], mixd(r0, r1, double(i) / (n - 1)), mixd(r0, r1, double(i + 1) / (n - 1)));
  return segs;
}
template <size_t M>
double chain(V3 q, const std::array<ConeCapsule, M> &segs, double k) {
  double d = 1e9;
  for (const ConeCapsule &c : segs) d = smin(d, c(q), k);
  return d;
}

// horns: thick at the root, curling back and out (head frame, mirrored in x)
const V3 kHornPts[5] = {{0.09, 0.27, 0.08}, {0.16, 0.40, 0.04}, {0.26, 0.47, -0.06}, {0.32, 0.44, -0.2},
                        {0.29, 0.34, -0.28}};
const auto kHorn = limb(kHornPts, 0.075, 0.012);
// forelegs: shoulder, elbow bent out, wrist down to the ledge
const V3 kArmPts[4] = {{0.32, -0.02, 0.12}, {0.44, -0.38, 0.36}, {0.36, -0.78, 0.48}, {0.35, -0.9, 0.52}};
const auto kArm = limb(kArmPts, 0.11, 0.065);
// three claws curled over the edge, 0.07 apart
std::array<std::array<ConeCapsule, 2>, 3> make_claws() {
  std::array<std::array<ConeCapsule, 2>, 3> claws;
  for (int i = 0; i < 3; i++) {
    double cx = 0.28 + 0.07 * i;
    const V3 claw[3] = {{cx, -0.9, 0.6}, {cx, -0.9, 0.71}, {cx, -1.0, 0.77}};
    claws[i] = limb(claw, 0.025, 0.006);
  }
  return claws;
}
const auto kClaws = make_claws();
// hind legs: the shin folded back down
const V3 kShinPts[3] = {{0.40, -0.55, 0.28}, {0.44, -0.78, 0.12}, {0.45, -0.92, -0.02}};
const auto kShin = limb(kShinPts, 0.08, 0.06);
// the tail curling along the ledge
const V3 kTailPts[5] = {{0, -0.7, -0.3}, {-0.3, -0.92, -0.45}, {-0.68, -0.9, -0.3}, {-0.78, -0.9, 0.05},
                        {-0.66, -0.9, 0.3}};
const auto kTail = limb(kTailPts, 0.08, 0.025);

// The head in its own frame: origin at the top of the neck, snout along +z;
// `jaw` turns the lower jaw about its hinge (the pose's -jaw).
double head(V3 p, Rot jaw) {
  if (length(p - V3{0, 0.12, 0.2}) > 0.9) return length(p - V3{0, 0.12, 0.2}) - 0.75;
  V3 s{std::fabs(p.x), p.y, p.z};
  double d = sdf_ellipsoid(p - V3{0, 0.12, 0.05}, {0.21, 0.19, 0.22});                      // skull
  d = smin(d, sdf_cone_capsule(p, {0, 0.10, 0.15}, {0, 0.07, 0.44}, 0.13, 0.085), 0.08);  // snout
  d = smin(d, sdf_capsule(s, {0.05, 0.22, 0.22}, {0.15, 0.19, 0.14}, 0.045), 0.04);       // brow
  d = ssub(d, sdf_sphere(s - V3{0.095, 0.15, 0.25}, 0.045), 0.02);                        // eye socket
  d = std::min(d, sdf_sphere(s - V3{0.093, 0.145, 0.235}, 0.033));                        // eye
  d = ssub(d, sdf_sphere(s - V3{0.035, 0.11, 0.53}, 0.025), 0.015);                       // nostril
  // mouth: a slit under the snout, opened by the jaw
  V3 hinge{0, 0.02, 0.05};
  V3 j = rot_x(p - hinge, jaw) + hinge;
  double lower = sdf_cone_capsule(j, {0, -0.02, 0.1}, {0, -0.02, 0.40}, 0.09, 0.055);
  d = ssub(d, sdf_box(rot_x(p - V3{0, 0.0, 0.32}, 0.1), {0.12, 0.02, 0.2}, 0.0), 0.02);
  d = smin(d, lower, 0.03);
  // fangs hanging from the upper jaw, one pair pointing up from the lower
  V3 sj{std::fabs(j.x), j.y, j.z};
  d = std::min(d, sdf_cone_capsule(s, {0.055, 0.03, 0.40}, {0.06, -0.07, 0.41}, 0.016, 0.003));
  d = std::min(d, sdf_cone_capsule(s, {0.075, 0.03, 0.30}, {0.08, -0.04, 0.31}, 0.013, 0.003));
  d = std::min(d, sdf_cone_capsule(sj, {0.045, 0.02, 0.36}, {0.047, 0.09, 0.37}, 0.014, 0.003));
  // pointed ears swept back
  d = smin(d, sdf_cone_capsule(s, {0.15, 0.2, 0.0}, {0.33, 0.32, -0.15}, 0.05, 0.008), 0.03);
  d = smin(d, chain(s, kHorn, 0.02), 0.04);  // horns
  return d;
}

// One wing (right, +x) in the creature's frame: a bony arm and fingers
// with a scalloped membrane between them, set up once.
struct Wing {
  ConeCapsule upper, fore, finger[4];
  Triangle panel[3];  // membrane between neighbouring fingers
  V3 bite[3];         // scallop bitten out of each panel's outer edge:
  double bite_r[3];   // centre and radius
  Triangle back[2];   // the last panel, running back down to the body
};

Wing make_wing() {
  const V3 sh{0.28, 0.15, -0.2}, el{0.55, 0.45, -0.42}, wr{0.72, 0.85, -0.45};
  const V3 tips[4] = {{1.05, 1.05, -0.55}, {1.22, 0.40, -0.62}, {1.05, -0.15, -0.55}, {0.62, -0.35, -0.42}};
  Wing w;
  w.upper = ConeCapsule(sh, el, 0.06, 0.045);
  w.fore = ConeCapsule(el, wr, 0.045, 0.035);
  for (int i = 0; i < 4; i++) w.finger[i] = ConeCapsule(wr, tips[i], 0.03, 0.008);
  for (int i = 1; i < 4; i++) {
    V3 prev = tips[i - 1];
    w.panel[i - 1] = Triangle(wr, prev, tips[i]);
    V3 mid = (prev + tips[i]) * 0.5;
    w.bite[i - 1] = mid + (mid - wr) * 0.12;
    w.bite_r[i - 1] = 0.28 * length(prev - tips[i]);
  }
  w.back[0] = Triangle(wr, tips[3], el);
  w.back[1] = Triangle(el, tips[3], sh);
  return w;
}
const Wing kWing = make_wing();

double wing(V3 s) {
  if (length(s - V3{0.75, 0.35, -0.4}) > 1.0) return length(s - V3{0.75, 0.35, -0.4}) - 0.9;
  const Wing &w = kWing;
  double d = smin(w.upper(s), w.fore(s), 0.03);
  for (const ConeCapsule &f : w.finger) d = std::min(d, f(s));
  double mem = 1e9;
  for (int i = 0; i < 3; i++) {
    double m = w.panel[i](s) - 0.012;
    m = ssub(m, sdf_sphere(s - w.bite[i], w.bite_r[i]), 0.01);
    mem = std::min(mem, m);
  }
  double m = w.back[0](s) - 0.012;
  m = std::min(m, w.back[1](s) - 0.012);
  mem = std::min(mem, m);
  return smin(d, mem, 0.02);
}

double gargoyle(V3 p, const GargTurns &turns) {
  V3 s{std::fabs(p.x), p.y, p.z};
  // the ledge it sits on, with a moulded front edge
  double d = sdf_box(p - V3{0, -1.17, 0.05}, {1.0, 0.16, 0.62}, 0.02);
  d = std::min(d, sdf_box(p - V3{0, -0.98, 0.1}, {1.05, 0.04, 0.65}, 0.015));
  // body hunched forward
  double b = sdf_ellipsoid(rot_x(p - V3{0, -0.35, -0.05}, 0.35), {0.34, 0.46, 0.32});
  // belly plates: shallow ridges across the front of the trunk
  // (only on the front, below y = 0.1: elsewhere a factor is 0, and adding
  // a zero leaves any distance but a zero as it is, so the sine is skipped)
  double front = smoothstep(0.0, 0.2, p.z), low = smoothstep(0.1, -0.1, p.y);
  if ((front != 0 && low != 0) || b == 0) b += 0.010 * std::sin(p.y * 42.0) * front * low;
  b = smin(b, sdf_ellipsoid(p - V3{0, 0.02, 0.08}, {0.40, 0.25, 0.28}), 0.12);       // shoulders
  b = smin(b, sdf_ellipsoid(p - V3{0, -0.05, 0.22}, {0.26, 0.2, 0.16}), 0.08);       // chest
  b = smin(b, sdf_cone_capsule(p, {0, 0.05, 0.1}, {0, 0.28, 0.3}, 0.17, 0.13), 0.1);  // neck
  b = smin(b, chain(s, kArm, 0.05), 0.08);  // forelegs
  b = smin(b, sdf_ellipsoid(s - V3{0.35, -0.91, 0.56}, {0.10, 0.05, 0.10}), 0.04);  // hand
  for (const auto &claw : kClaws) b = smin(b, chain(s, claw, 0.01), 0.015);
  // hind legs folded: big thigh, shin back down, long foot
  b = smin(b, sdf_ellipsoid(rot_x(s - V3{0.33, -0.62, 0.02}, -0.5), {0.17, 0.22, 0.32}), 0.08);
  b = smin(b, chain(s, kShin, 0.04), 0.05);
  b = smin(b, sdf_ellipsoid(s - V3{0.46, -0.92, 0.12}, {0.08, 0.05, 0.17}), 0.04);
  b = smin(b, chain(p, kTail, 0.04), 0.06);  // tail
  b = smin(b, wing(s), 0.05);
  // the head, turned on the neck
  V3 hp = rot_y(p - V3{0, 0.3, 0.32}, turns.head);
  b = smin(b, head(hp, turns.jaw), 0.07);
  return std::min(d, b);
}

struct GargView {
  GargPose pose;
  GargTurns turns;
  Camera cam;
  V3 to_local(V3 w) const { return rot_y(w, turns.body); }
  double dist(const V3 &w) const { return gargoyle(to_local(w), turns); }
};

// Stone: fine grain, darker weathering streaks running down from the top.
double stone(V3 lp, V3 n) {
  double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z), sum = ax + ay + az;
  double g = (ax * fbm(lp.y * 14, lp.z * 14, 21, 3) + ay * fbm(lp.x * 14, lp.z * 14, 22, 3) +
              az * fbm(lp.x * 14, lp.y * 14, 23, 3)) / sum;
  double streak = fbm(lp.x * 9 + lp.z * 5, lp.y * 1.2, 24, 3);
  return (0.82 + 0.3 * g) * (1.0 - 0.25 * smoothstep(0.55, 0.8, streak));
}

// The fill is light bounced up from below.
const ObjectLighting kGargLight = {.bound_centre = V3{0, -0.1, 0},
                                   .bound_radius = 1.9,
                                   .max_steps = 160,
                                   .relax = 0.8,
                                   .shadow_far = 3.0,
                                   .shadow_k = 8.0,
                                   .ao_near = 0.12,
                                   .ao_far = 0.4,
                                   .ao_base = 0.4,
                                   .ao_gain = 0.6,
                                   .fill_y = -0.3,
                                   .fill_z = 0.7,
                                   .rim_power = 2.5};

UvSample shade_gargoyle(const GargView &v, double px, double py) {
  UvSample out;
  auto f = [&v](const V3 &p) { return v.dist(p); };
  const ObjectHit o = light_object(v.cam, f, v.pose.key, kGargLight, px, py);
  if (!o.hit) return out;
  V3 lp = v.to_local(o.p);
  double st = stone(lp, o.n);
  double key = o.diff * o.shadow * (0.45 + 0.55 * o.ao);
  double s = (0.12 * o.ao + 0.80 * key + 0.22 * o.fill * o.ao) * st + 0.50 * o.rim * o.ao;
  out.shade = clamp01(1.2 * std::pow(s, 0.85));  // lifts the mid-tones, the lit stone to about 220
  out.covered = true;
  // Cylindrical coordinates about the trunk's own vertical axis, the seam
  // at its back (behind the body, where only the tail root lies): one tile
  // around, so the stone turns round the body and the wings.
  cylinder_uv(out, lp, V3{0, 0, -0.05}, 1, 110.0);
  return out;
}

void render_gargoyle(const GargPose &pose, const char *pic_sym, const char *uv_sym) {
  const GargView v{pose, GargTurns(pose), camera_look({0, -0.6, 5.0}, {0, 0.02, 0}, 45.0)};
  render_uv_object([&](double px, double py) { return shade_gargoyle(v, px, py); }, asset(pic_sym),
                   asset(uv_sym), 0.2);
  preview_grey(pic_sym, 320, 200, asset(pic_sym));
}

}  // namespace

void job_gargoyle() {
  render_gargoyle({-0.2, -0.15, 0.06, normalize(V3{-0.7, 0.75, 0.45})}, "gargoyle", "gargoyletc");
  render_gargoyle({0.28, -0.55, 0.3, normalize(V3{0.7, 0.75, 0.45})}, "gargoyle2", "gargoyle2tc");
}
