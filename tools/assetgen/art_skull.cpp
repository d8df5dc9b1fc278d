// Asset generator: the skull seen twice (shading pictures and UV maps).
//
// skulle/skulletc: the skull in three-quarter view turned to its left,
// raised a little, lit from the upper left, jaw nearly closed.
// skulle2/skulle2tc: the same skull nearer to frontal, turned to its right
// and bowed, the head tipped, lit from the upper right, jaw dropped, so the
// two read as one skull turning and chattering when they alternate.
//
// The model is built bone by bone so that the parts a viewer knows a skull
// by hold at 320x200: the long vault with its temporal lines and sutures,
// the brow ridge over deep orbits, the pear-shaped nasal aperture with its
// septum, the cheekbones and their arches back to the ear, the maxilla with
// sixteen separate teeth, and the mandible, a bone of its own (body, chin,
// ramus, coronoid and condyle) that turns about its hinge with its own
// sixteen teeth.
//
// The shading is made for v = T * img / D + img / 4 (D 30..170) with the
// dark stone texture (T about 12..30): the bone sits around index 190, its
// sockets and shadow side fall towards 0 and only a thin rim of light
// reaches 255, so at D = 170 the skull still reads as mid-grey bone and at
// D = 30 the texture brightens it without burning it out.
#include "gen.h"
#include "sdf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

struct SkullPose {
  double yaw;    // radians, positive turns the face towards screen right
  double pitch;  // radians, positive tilts the face down
  double roll;   // radians, positive tips the top of the head towards screen left
  double jaw;    // radians the mandible is dropped
  V3 key;        // unit direction towards the key light (world)
};

// A pose's rotations into the skull's frame (-yaw, -pitch, -roll) and of
// the mandible (-jaw), worked out once per picture.
struct SkullTurns {
  Rot yaw, pitch, roll, jaw;
  [[gnu::noinline]] explicit SkullTurns(const SkullPose &pose)
      : yaw(-pose.yaw), pitch(-pose.pitch), roll(-pose.roll), jaw(-pose.jaw) {}
};

// --- Teeth -------------------------------------------------------------------
//
// A row of teeth stands on an elliptic arch in xz (centre z cz, half axes
// ax across and az along), mirrored in x: per side a central and a lateral
// incisor, a canine, two premolars and three molars, each a rounded box
// set on the arch facing outward, its crown between y_root and y_tip,
// narrowed or widened towards the tip by its taper. Neighbours leave a gap
// so the teeth read one by one.

constexpr int kTeeth = 8;  // per side
constexpr double kToothWidth[kTeeth] = {0.088, 0.068, 0.076, 0.068, 0.066, 0.098, 0.094, 0.086};
constexpr double kToothDepth[kTeeth] = {0.040, 0.040, 0.060, 0.075, 0.080, 0.100, 0.098, 0.090};
constexpr double kToothTaper[kTeeth] = {1.08, 1.0, 0.55, 0.85, 0.88, 0.95, 0.95, 0.92};
constexpr double kToothLength[kTeeth] = {1.0, 0.92, 1.12, 0.9, 0.86, 0.8, 0.76, 0.7};

struct Tooth {
  V3 c;           // centre of the crown's root line (|x|, y_root, z)
  V3 tan, nrm;    // unit tangent along the arch (away from the middle) and outward normal, in xz
  double hw, hd;  // half width along the arch (gap taken off) and half depth
  double taper, len;
  double t_hi;    // arch parameter where the tooth's share of the arch ends
};

struct ToothRow {
  double y_root, y_tip, cz, ax, az;
  std::array<Tooth, kTeeth> t;
};

// Lays the teeth out along the arch by arc length, the first centred half
// a gap off the middle.
ToothRow make_row(double y_root, double y_tip, double cz, double ax, double az, double gap) {
  ToothRow r{y_root, y_tip, cz, ax, az, {}};
  // arc length s(t) by small steps of the parameter t (x = ax sin t,
  // z = cz + az cos t), and t back from s
  const int steps = 4000;
  std::vector<double> s(steps + 1, 0.0);
  const double dt = 3.14159265358979 / steps;
  for (int i = 1; i <= steps; i++) {
    double tm = (i - 0.5) * dt;
    s[i] = s[i - 1] + std::hypot(ax * std::cos(tm), az * std::sin(tm)) * dt;
  }
  auto t_at = [&](double len) {
    int i = int(std::lower_bound(s.begin(), s.end(), len) - s.begin());
    i = std::clamp(i, 1, steps);
    return (i - 1 + (len - s[i - 1]) / (s[i] - s[i - 1])) * dt;
  };
  double at = 0;
  for (int k = 0; k < kTeeth; k++) {
    Tooth &o = r.t[k];
    double tc = t_at(at + 0.5 * kToothWidth[k]);
    o.c = {ax * std::sin(tc), y_root, cz + az * std::cos(tc)};
    o.tan = normalize(V3{ax * std::cos(tc), 0, -az * std::sin(tc)});
    o.nrm = {-o.tan.z, 0, o.tan.x};
    if (dot(o.nrm, V3{o.c.x, 0, o.c.z - cz}) < 0) o.nrm = -o.nrm;
    o.hw = 0.5 * (kToothWidth[k] - gap);
    o.hd = 0.5 * kToothDepth[k];
    o.taper = kToothTaper[k];
    o.len = kToothLength[k];
    at += kToothWidth[k];
    o.t_hi = t_at(at);
  }
  return r;
}

double tooth(const ToothRow &r, const Tooth &o, V3 s) {
  V3 q = s - o.c;
  double lx = dot(q, o.tan), lz = dot(q, o.nrm);
  double full = (r.y_tip - r.y_root) * o.len;  // signed crown height
  double u = clamp01(q.y / full);
  double f = mixd(1.0, o.taper, u * u);
  double ly = q.y - 0.5 * full;
  const double round = 0.016;
  // the crown bulges a little towards its middle, the tip rounded more
  return sdf_box({lx / f, ly, lz}, {std::max(o.hw - round, 0.004), 0.5 * std::fabs(full) - round,
                                    std::max(o.hd * (1.0 - 0.25 * u) - round, 0.004)},
                 round) * std::min(f, 1.0);
}

double teeth(const ToothRow &r, V3 p) {
  V3 s{std::fabs(p.x), p.y, p.z};
  double t = std::atan2(s.x / r.ax, (s.z - r.cz) / r.az);
  int k = 0;
  while (k < kTeeth - 1 && t > r.t[k].t_hi) k++;
  double d = tooth(r, r.t[k], s);
  if (k > 0) d = std::min(d, tooth(r, r.t[k - 1], s));
  if (k < kTeeth - 1) d = std::min(d, tooth(r, r.t[k + 1], s));
  return d;
}

// min(d, teeth(r, p)) without working the row out where it is provably
// farther: no crown reaches more than 0.12 beyond the arch's half axes or
// outside its heights.
double min_teeth(double d, const ToothRow &r, V3 p) {
  double lo = std::min(r.y_root, r.y_tip) - 0.01, hi = std::max(r.y_root, r.y_tip) + 0.01;
  double gy = std::max(lo - p.y, p.y - hi);
  if (gy >= d) return d;
  double ex = std::fabs(p.x) - r.ax - 0.07, ez = std::fabs(p.z - r.cz) - r.az - 0.07;
  if (std::max(std::max(ex, ez), gy) >= d) return d;
  return std::min(d, teeth(r, p));
}

// Upper teeth hang from the maxilla; the lower row, in the mandible's
// frame, stands a little inside them (the upper incisors overlap it).
const ToothRow kUpper = make_row(-0.665, -0.80, -0.40, 0.305, 0.475, 0.011);
const ToothRow kLower = make_row(-0.845, -0.725, -0.40, 0.285, 0.445, 0.011);

// --- Bones ---------------------------------------------------------------------

// Distance in the xz plane from (x, z) to the segment (ax, az)-(bx, bz),
// and the position h (0 at a .. 1 at b) of the nearest point.
double seg2(double x, double z, double ax, double az, double bx, double bz, double *h) {
  double px = x - ax, pz = z - az, ex = bx - ax, ez = bz - az;
  *h = clamp01((px * ex + pz * ez) / (ex * ex + ez * ez));
  double dx = px - ex * *h, dz = pz - ez * *h;
  return std::sqrt(dx * dx + dz * dz);
}

// The mandible's body in top view (|x|, z): from the chin along the lower
// tooth row and out to the angle, with the height of its upper (alveolar)
// and lower border and its half thickness at each point.
struct BodyPoint {
  double x, z, top, bottom, half;
};
constexpr BodyPoint kBody[] = {{0.0, 0.045, -0.835, -1.13, 0.052},
                               {0.16, -0.01, -0.835, -1.10, 0.050},
                               {0.26, -0.16, -0.845, -1.055, 0.052},
                               {0.31, -0.40, -0.86, -1.02, 0.054},
                               {0.45, -0.66, -0.90, -0.985, 0.040}};
constexpr int kBodyPoints = int(sizeof kBody / sizeof kBody[0]);

// The neck of the condyle, from the ramus's back edge up to the hinge.
const ConeCapsule kNeck(V3{0.49, -0.62, -0.70}, V3{0.525, -0.39, -0.75}, 0.045, 0.032);

double mandible(V3 p) {
  double bound = length(p - V3{0, -0.78, -0.32}) - 0.95;
  if (bound > 0.1) return bound;
  V3 s{std::fabs(p.x), p.y, p.z};
  // body: a curved plate along the polyline, its cross-section a rounded
  // slab, thicker below; the pieces blend so no crease shows between them
  double d = 1e9;
  const double r = 0.045;
  for (int i = 0; i + 1 < kBodyPoints; i++) {
    const BodyPoint &a = kBody[i], &b = kBody[i + 1];
    double h;
    double dist = seg2(s.x, s.z, a.x, a.z, b.x, b.z, &h);
    double top = mixd(a.top, b.top, h), bottom = mixd(a.bottom, b.bottom, h), half = mixd(a.half, b.half, h);
    double yc = 0.5 * (top + bottom), hh = 0.5 * (top - bottom);
    double lowness = clamp01((yc - p.y) / hh);  // 0 at the middle .. 1 at the lower border
    double w = dist - half * (0.75 + 0.3 * lowness);
    double hy = std::fabs(p.y - yc) - hh;
    double slab = std::min(std::max(w + r, hy + r), 0.0) + length(V3{std::max(w + r, 0.0), std::max(hy + r, 0.0), 0}) - r;
    d = smin(d, slab, 0.04);
  }
  // chin: the mental protuberance, a low triangle at the front
  d = smin(d, sdf_ellipsoid(p - V3{0, -1.065, 0.085}, {0.12, 0.06, 0.045}), 0.07);
  d = smin(d, sdf_ellipsoid(s - V3{0.10, -1.09, 0.06}, {0.05, 0.04, 0.04}), 0.05);  // mental tubercles
  // ramus: a rounded blade rising from the angle, leaning back, with the
  // coronoid blade in front of it and the condyle's neck behind, the notch
  // between them
  double ram = sdf_ellipsoid(rot_x(s - V3{0.47, -0.72, -0.62}, 0.30), {0.042, 0.30, 0.15});
  ram = smin(ram, sdf_ellipsoid(rot_x(s - V3{0.485, -0.55, -0.47}, -0.2), {0.03, 0.12, 0.055}), 0.05);
  ram = smin(ram, kNeck(s), 0.05);
  ram = ssub(ram, sdf_ellipsoid(s - V3{0.50, -0.38, -0.60}, {0.09, 0.09, 0.085}), 0.03);
  d = smin(d, ram, 0.06);
  // the condyle, wide across, sitting in its socket in front of the ear
  d = smin(d, sdf_ellipsoid(s - V3{0.53, -0.36, -0.75}, {0.085, 0.045, 0.05}), 0.03);
  return min_teeth(d, kLower, p);
}

// The arch of one cheek: the zygomatic bone's body under the orbit and the
// bar back to the ear, set up once (|x| side).
// It bows outward halfway back and is taller than it is thick (two bars
// stacked and blended), so it reads as a bridge over the temporal fossa
// and not as a rod.
const ConeCapsule kArchFront(V3{0.53, -0.37, -0.12}, V3{0.665, -0.34, -0.40}, 0.036, 0.030);
const ConeCapsule kArchBack(V3{0.665, -0.34, -0.40}, V3{0.64, -0.32, -0.70}, 0.030, 0.030);
double arch(V3 s) {
  double a = std::min(kArchFront(s), kArchBack(s));
  V3 up{s.x, s.y - 0.035, s.z};
  return smin(a, std::min(kArchFront(up), kArchBack(up)) + 0.006, 0.03);
}
// The brow ridge over the inner half of each orbit.
const ConeCapsule kBrow(V3{0.04, 0.045, 0.045}, V3{0.30, 0.055, 0.0}, 0.05, 0.028);
const ConeCapsule kNasal(V3{0.0, -0.01, 0.07}, V3{0.0, -0.225, 0.155}, 0.030, 0.042);

// The orbit cut out of the face (s = (|x|, y, z)): a deep rounded square,
// its axis turned outward, narrowing as it runs back into the skull.
V3 orbit_frame(V3 s) { return rot_z(rot_y(s - V3{0.27, -0.13, 0.10}, 0.22), -0.12); }
double orbit(V3 s) {
  V3 e = orbit_frame(s);
  double narrow = 1.0 + 2.0 * std::max(0.0, -e.z);
  e = {e.x * narrow, e.y * narrow, e.z};
  return 0.5 * (sdf_ellipsoid(e, {0.17, 0.15, 0.50}) + sdf_box(e, {0.115, 0.095, 0.45}, 0.055)) / narrow;
}

// The nasal aperture (s as above): pear-shaped, narrow at the top.
// From the nasal bones down to the floor of the nose at about y -0.53 it
// widens to 0.26 across, the two halves leaning out so the top is a point.
double nasal_aperture(V3 s) {
  double nose = sdf_ellipsoid(rot_z(s - V3{0.05, -0.37, 0.18}, -0.26), {0.07, 0.175, 0.34});
  return smin(nose, sdf_ellipsoid(s - V3{0.0, -0.46, 0.18}, {0.135, 0.085, 0.34}), 0.03);
}

double cranium(V3 p) {
  V3 s{std::fabs(p.x), p.y, p.z};
  // the vault: a long egg, broadest over the parietals, with the occiput
  double d = sdf_ellipsoid(p - V3{0, 0.25, -0.80}, {0.66, 0.72, 0.88});
  d = smin(d, sdf_ellipsoid(p - V3{0, 0.32, -0.98}, {0.72, 0.60, 0.66}), 0.15);
  d = smin(d, sdf_ellipsoid(p - V3{0, 0.02, -1.24}, {0.54, 0.52, 0.46}), 0.15);
  // the cranial base between the ears, and the mastoids behind them
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.30, -0.80}, {0.55, 0.22, 0.55}), 0.12);
  d = smin(d, sdf_ellipsoid(s - V3{0.54, -0.42, -0.95}, {0.06, 0.09, 0.07}), 0.10);
  // face: the bone round the orbits (the frontal's lower edge, the upper
  // cheekbones and the bridge of the nose, the lateral rims set back), the
  // cheekbones, the maxilla and the alveolar ridge the upper teeth stand in
  double f = sdf_ellipsoid(p - V3{0, -0.36, -0.16}, {0.44, 0.34, 0.28});
  f = smin(f, sdf_ellipsoid(p - V3{0, -0.12, -0.25}, {0.51, 0.30, 0.36}), 0.08);
  f = smin(f, sdf_ellipsoid(s - V3{0.44, -0.35, -0.07}, {0.11, 0.09, 0.11}), 0.10);  // cheekbone body
  f = smin(f, sdf_ellipsoid(p - V3{0, -0.62, -0.26}, {0.34, 0.09, 0.36}), 0.07);  // alveolar ridge
  // canine fossa: a shallow dip either side of the nose
  f = ssub(f, sdf_ellipsoid(s - V3{0.23, -0.44, 0.17}, {0.09, 0.08, 0.06}), 0.06);
  d = smin(d, f, 0.10);
  d = smin(d, kBrow(s), 0.10);
  d = smin(d, sdf_ellipsoid(p - V3{0, 0.04, 0.07}, {0.09, 0.06, 0.05}), 0.04);  // glabella
  // temporal fossa: the side of the head hollowed below the temporal line,
  // from behind the orbit's outer rim back over the ear, where the jaw
  // muscle lay; the arch bridges it
  d = ssub(d, sdf_ellipsoid(rot_x(s - V3{0.85, -0.24, -0.50}, 0.30), {0.29, 0.56, 0.52}), 0.07);
  d = smin(d, arch(s), 0.05);
  // the orbits
  d = ssub(d, orbit(s), 0.025);
  // nasal aperture, with the septum a thin plate set back inside it
  d = ssub(d, nasal_aperture(s), 0.02);
  d = std::min(d, sdf_box(p - V3{0, -0.41, -0.02}, {0.008, 0.09, 0.10}, 0.004));  // septum
  d = smin(d, kNasal(s), 0.06);                                                 // nasal bones
  // the ear hole, just behind the root of the arch
  d = ssub(d, sdf_sphere(s - V3{0.66, -0.33, -0.83}, 0.048), 0.02);
  return min_teeth(d, kUpper, p);
}

// The skull in its own frame: y up, face towards +z, nasion at the origin,
// vertex at y = 0.97, back of the head at z = -1.70, chin at y = -1.13;
// `jaw` turns the mandible about its hinge through the condyles (the
// pose's -jaw).
double skull(V3 p, Rot jaw) {
  double b = length(p - V3{0, -0.08, -0.70}) - 1.35;
  if (b > 0.2) return b;  // far from the skull: the bound is enough
  const V3 hinge{0, -0.36, -0.75};
  V3 q = rot_x(p - hinge, jaw) + hinge;
  return std::min(cranium(p), mandible(q));
}

// Suture lines (coronal across the top, sagittal from it back to the
// lambdoid, lambdoid down the back) as dark hairlines on the vault: 0 on a
// line, 1 away from it.
double sutures(V3 p) {
  if (p.y < -0.05 || p.z > -0.05) return 1.0;
  double wig = 0.012 * std::sin(p.z * 60.0) + 0.008 * std::sin(p.z * 143.0 + 1.0);
  double coronal_z = -0.42 - 0.28 * p.x * p.x + 0.010 * std::sin(p.x * 55.0);
  double lambda_z = -1.38 + 0.35 * std::fabs(p.x) - 0.35 * (0.95 - p.y) * 0.5;
  double sag = std::fabs(p.x + wig) + (p.z < coronal_z && p.z > lambda_z && p.y > 0.55 ? 0.0 : 1.0);
  double cor = std::fabs(p.z - coronal_z) + (p.y > 0.2 ? 0.0 : 1.0);
  double lam = std::fabs(p.z - lambda_z + 0.012 * std::sin(p.x * 70.0 + p.y * 40.0)) + (p.y > -0.05 ? 0.0 : 1.0);
  return smoothstep(0.004, 0.018, std::min(sag, std::min(cor, lam)));
}

// The skull turns about this point of its own frame, the middle of the
// cranium and face, which sits at the world's origin; it is also the
// centre of the texture's sphere.
constexpr V3 kCentre{0, -0.12, -0.68};

struct SkullView {
  SkullPose pose;
  Camera cam;

  SkullTurns turns{pose};  // from the pose above: built with it, never assigned apart

  V3 to_local(V3 w) const { return rot_x(rot_z(rot_y(w, turns.yaw), turns.roll), turns.pitch) + kCentre; }
  double dist(const V3 &w) const { return skull(to_local(w), turns.jaw); }
};

// The fill comes from the front, on the side away from the key.
const ObjectLighting kSkullLight = {.bound_centre = V3{0, 0.04, 0},
                                    .bound_radius = 1.45,
                                    .max_steps = 160,
                                    .relax = 0.8,
                                    .shadow_far = 2.5,
                                    .shadow_k = 10.0,
                                    .ao_near = 0.12,
                                    .ao_far = 0.45,
                                    .ao_base = 0.30,
                                    .ao_gain = 0.70,
                                    .fill_y = 0.1,
                                    .fill_z = 0.8,
                                    .rim_power = 3.0};

// How far into the orbits or the nasal aperture the bone at s (|x|, y, z)
// lies, 0 outside or at their rims .. 1 deep inside, where no light reaches.
double cavity(V3 s) {
  double eye = (1.0 - smoothstep(0.0, 0.04, orbit(s))) * smoothstep(0.02, 0.22, -orbit_frame(s).z);
  double nose = (1.0 - smoothstep(0.0, 0.04, nasal_aperture(s))) * smoothstep(0.0, 0.12, 0.13 - s.z);
  return std::max(eye, nose);
}

// Ambient occlusion along the normal n at p: 1 open .. 0 closed. Eight
// samples out to 0.5 with falling weights, each counting how far the
// surface comes nearer than the sample's own distance through a smooth
// maximum, so the hollows of the temples and orbits darken in smooth
// gradients instead of the bands a few hard-edged samples draw there.
template <class F>
double skull_ao(const F &f, V3 p, V3 n) {
  double occ = 0, w = 1, sum = 0;
  for (int i = 1; i <= 8; i++) {
    double h = 0.5 * i * i / 64.0 + 0.01;
    double x = h - f(p + n * h);
    occ += w * 0.5 * (x + std::sqrt(x * x + 0.0004)) / h;
    sum += w;
    w *= 0.8;
  }
  return clamp01(1.0 - 1.4 * occ / sum);
}

UvSample shade_skull(const SkullView &v, double px, double py) {
  UvSample out;
  auto f = [&v](const V3 &p) { return v.dist(p); };
  ObjectHit o = light_object(v.cam, f, v.pose.key, kSkullLight, px, py);
  if (!o.hit) return out;
  o.ao = skull_ao(f, o.p, o.n);
  V3 hv = normalize(v.pose.key - o.rd);
  double gloss = std::pow(std::max(0.0, dot(o.n, hv)), 24.0) * o.shadow;
  V3 lp = v.to_local(o.p);
  double grain = 0.92 + 0.16 * fbm(lp.x * 9 + lp.z * 5, lp.y * 9 - lp.z * 3, 11, 3);
  // Ambient occlusion, the key (shadowed), the fill and a little gloss,
  // toned so the lit bone gathers around index 190 and its top is
  // compressed, then the rim light on top, up to full white at the outline.
  double key = o.diff * o.shadow * (0.4 + 0.6 * o.ao) * grain;
  double s = (0.13 * o.ao + 0.64 * key + 0.16 * o.fill * o.ao + 0.12 * gloss) * (0.7 + 0.3 * sutures(lp));
  // Deep in the orbits and the nose no light reaches: bone more than a
  // few hundredths inside their cuts fades to black.
  s *= 1.0 - 0.92 * cavity({std::fabs(lp.x), lp.y, lp.z});
  out.shade = clamp01(1.35 * s / (s + 0.31) + 0.22 * o.rim * o.ao);
  out.covered = true;
  // Spherical texture coordinates about the middle of the skull, the seam
  // at the back of the head: two tiles around, about one texel per pixel
  // at the face and squeezed towards the outline.
  sphere_uv(out, lp, kCentre, 2);
  return out;
}

void render_skull(const SkullPose &pose, const char *pic_sym, const char *uv_sym) {
  const SkullView v{pose, camera_look({0, 0.0, 5.2}, {0, -0.12, 0}, 46.0)};
  render_uv_object([&](double px, double py) { return shade_skull(v, px, py); }, asset(pic_sym),
                   asset(uv_sym));
  preview_grey(pic_sym, 320, 200, asset(pic_sym));
}

}  // namespace

void job_skull() {
  render_skull({0.50, -0.08, 0.05, 0.04, normalize(V3{0.55, 0.6, 0.6})}, "skulle", "skulletc");
  render_skull({-0.25, 0.16, -0.10, 0.17, normalize(V3{-0.6, 0.65, 0.5})}, "skulle2", "skulle2tc");
}
