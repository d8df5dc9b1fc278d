// Asset generator: the skull seen twice (shading pictures and UV maps).
//
// skulle/skulletc: the skull turned to its left, lit from the upper left,
// jaw nearly closed. skulle2/skulle2tc: the same skull turned to its right,
// lit from the upper right, jaw dropped a little further, so the two read
// as one skull turning and chattering when they alternate.
//
// The shading is made for v = T * img / D + img / 4 (D 30..170) with the
// dark stone texture (T about 12..30): the bone sits around index 190, its
// sockets and shadow side fall towards 0 and only a thin rim of light
// reaches 255, so at D = 170 the skull still reads as mid-grey bone and at
// D = 30 the texture brightens it without burning it out.
#include "gen.h"
#include "sdf.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct SkullPose {
  double yaw;    // radians, positive turns the face towards screen right
  double pitch;  // radians, positive tilts the face down
  double jaw;    // radians the mandible is dropped
  V3 key;        // unit direction towards the key light (world)
};

// A pose's rotations into the skull's frame (-yaw, then -pitch) and of the
// mandible (-jaw), worked out once per picture.
struct SkullTurns {
  Rot yaw, pitch, jaw;
  [[gnu::noinline]] explicit SkullTurns(const SkullPose &pose) : yaw(-pose.yaw), pitch(-pose.pitch), jaw(-pose.jaw) {}
};

// A row of teeth: rounded boxes repeated along an arc in xz around
// (0, y, cz) of radius rad, five each side of the middle.
double teeth(V3 p, double y, double cz, double rad, double half_h) {
  double a = std::atan2(p.x, p.z - cz);
  const double step = 0.2;
  double k = clampd(std::floor(a / step), -5, 4);  // the middle falls between two teeth
  double an = (k + 0.5) * step;
  V3 c{rad * std::sin(an), y, cz + rad * std::cos(an)};
  V3 q = rot_y(p - c, -an);
  double w = std::fabs(k + 0.5) > 2 ? 0.024 : 0.019;  // molars wider
  double hh = half_h * (1.0 - 0.08 * std::fabs(std::sin(k * 2.7)));  // uneven wear
  return sdf_box(q, {w, hh, 0.024}, 0.009);
}

// min(d, teeth(p, y, ...)). A row reaches no further than half_h and the
// teeth's rounding of 0.009 above and below its height y, so where
// |p.y - y| passes that by d (and 0.001 more for rounding) it cannot be
// nearer, and its angle and rotation needn't be worked out.
double min_teeth(double d, V3 p, double y, double cz, double rad, double half_h) {
  if (std::fabs(p.y - y) - half_h - 0.01 >= d) return d;
  return std::min(d, teeth(p, y, cz, rad, half_h));
}

// Distance in the xz plane from (x, z) to the segment (ax, az)-(bx, bz),
// and the position h (0 at a .. 1 at b) of the nearest point.
double seg2(double x, double z, double ax, double az, double bx, double bz, double *h) {
  double px = x - ax, pz = z - az, ex = bx - ax, ez = bz - az;
  *h = clamp01((px * ex + pz * ez) / (ex * ex + ez * ez));
  double dx = px - ex * *h, dz = pz - ez * *h;
  return std::sqrt(dx * dx + dz * dz);
}

double mandible(V3 p) {
  V3 s{std::fabs(p.x), p.y, p.z};
  // body: a V-shaped plate of bone from the chin back to the angles,
  // tallest at the chin
  double h;
  double w = seg2(s.x, s.z, 0.0, 0.50, 0.37, 0.0, &h) - 0.045;
  double yc = mixd(-0.995, -0.97, h), hh = mixd(0.09, 0.065, h);
  double hy = std::fabs(p.y - yc) - hh;
  double d = std::min(std::max(w, hy), 0.0) + length(V3{std::max(w, 0.0), std::max(hy, 0.0), 0}) - 0.025;
  d = smin(d, sdf_ellipsoid(p - V3{0, -1.03, 0.50}, {0.13, 0.05, 0.07}), 0.05);  // chin point
  // ramus: a flat blade rising to the hinge, its back edge thickened
  d = smin(d, sdf_ellipsoid(rot_x(s - V3{0.40, -0.72, 0.02}, 0.12), {0.03, 0.27, 0.15}), 0.05);
  d = smin(d, sdf_cone_capsule(s, {0.38, -0.97, -0.04}, {0.44, -0.47, -0.09}, 0.045, 0.04), 0.05);
  d = min_teeth(d, p, -0.87, 0.33, 0.25, 0.045);
  return d;
}

double cranium(V3 p) {
  V3 s{std::fabs(p.x), p.y, p.z};
  double d = sdf_ellipsoid(p - V3{0, 0.22, -0.20}, {0.62, 0.74, 0.84});
  d = smin(d, sdf_ellipsoid(p - V3{0, 0.25, 0.15}, {0.52, 0.60, 0.48}), 0.10);  // frontal bone
  d = ssub(d, sdf_ellipsoid(s - V3{0.72, 0.0, 0.0}, {0.14, 0.32, 0.36}), 0.12);   // temples
  d = smin(d, sdf_capsule(s, {0.05, -0.02, 0.60}, {0.38, 0.0, 0.50}, 0.055), 0.06);  // brow
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.32, 0.30}, {0.48, 0.36, 0.34}), 0.12);  // face
  d = smin(d, sdf_ellipsoid(s - V3{0.45, -0.31, 0.32}, {0.13, 0.10, 0.15}), 0.12);  // cheekbone
  d = smin(d, sdf_capsule(s, {0.47, -0.32, 0.30}, {0.56, -0.30, -0.12}, 0.045), 0.06);  // arch
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.60, 0.34}, {0.30, 0.14, 0.30}), 0.08);  // maxilla
  d = smin(d, sdf_ellipsoid(s - V3{0.45, -0.55, -0.25}, {0.08, 0.14, 0.08}), 0.06);  // mastoid
  // eye sockets: deep, a little squarish at the outer corner
  double eye = sdf_ellipsoid(rot_z(s - V3{0.27, -0.17, 0.60}, -0.10), {0.175, 0.16, 0.30});
  d = ssub(d, eye, 0.035);
  // nasal opening: two tilted lobes meeting in a point at the top
  V3 n = rot_z(s - V3{0.045, -0.43, 0.64}, -0.22);
  d = ssub(d, sdf_ellipsoid(n, {0.065, 0.15, 0.25}), 0.02);
  d = min_teeth(d, p, -0.775, 0.33, 0.27, 0.045);
  return d;
}

// The skull in its own frame: y up, face towards +z, nasion at the origin,
// vertex at y = 0.95 and chin at y = -1.08; `jaw` turns the mandible about
// its hinge (the pose's -jaw).
double skull(V3 p, Rot jaw) {
  double b = length(p - V3{0, -0.06, -0.1}) - 1.3;
  if (b > 0.2) return b;  // far from the skull: the bound is enough
  V3 hinge{0, -0.46, -0.08};
  V3 q = rot_x(p - hinge, jaw) + hinge;
  return std::min(cranium(p), mandible(q));
}

// Suture lines (coronal across, sagittal front to back) as dark hairlines on
// the top of the cranium: 0 on a line, 1 away from it.
double sutures(V3 p) {
  if (p.y < 0.15) return 1.0;
  double wig = 0.012 * std::sin(p.z * 60.0) + 0.008 * std::sin(p.z * 143.0 + 1.0);
  double sag = std::fabs(p.x + wig);
  double cor = std::fabs(p.z - 0.16 - 0.15 * p.x * p.x + 0.012 * std::sin(p.x * 55.0));
  double dmin = std::min(sag + (p.z > 0.18 ? 1.0 : 0.0), cor);  // sagittal only behind the coronal
  return smoothstep(0.004, 0.018, dmin);
}

// The point the skull turns about (world).
constexpr V3 kPivot{0, -0.1, -0.05};
// The centre of the texture's sphere (skull frame): the middle of the
// cranium and face.
constexpr V3 kUvCentre{0, -0.05, -0.1};

struct SkullView {
  SkullPose pose;
  Camera cam;
  V3 pivot = kPivot;

  SkullTurns turns{pose};  // from the pose above: built with it, never assigned apart

  V3 to_local(V3 w) const { return rot_x(rot_y(w - pivot, turns.yaw), turns.pitch); }
  V3 to_world_dir(V3 l) const { return rot_y(rot_x(l, pose.pitch), pose.yaw); }
  double dist(const V3 &w) const { return skull(to_local(w), turns.jaw); }
};

// The fill comes from the front, on the side away from the key.
const ObjectLighting kSkullLight = {.bound_centre = kPivot + V3{0, 0.04, -0.1},
                                    .bound_radius = 1.4,
                                    .max_steps = 140,
                                    .relax = 0.85,
                                    .shadow_far = 2.5,
                                    .shadow_k = 10.0,
                                    .ao_near = 0.14,
                                    .ao_far = 0.45,
                                    .ao_base = 0.35,
                                    .ao_gain = 0.65,
                                    .fill_y = 0.1,
                                    .fill_z = 0.8,
                                    .rim_power = 3.0};

UvSample shade_skull(const SkullView &v, double px, double py) {
  UvSample out;
  auto f = [&v](const V3 &p) { return v.dist(p); };
  const ObjectHit o = light_object(v.cam, f, v.pose.key, kSkullLight, px, py);
  if (!o.hit) return out;
  V3 hv = normalize(v.pose.key - o.rd);
  double gloss = std::pow(std::max(0.0, dot(o.n, hv)), 24.0) * o.shadow;
  V3 lp = v.to_local(o.p);
  double grain = 0.92 + 0.16 * fbm(lp.x * 9 + lp.z * 5, lp.y * 9 - lp.z * 3, 11, 3);
  // Ambient occlusion, the key (shadowed), the fill and a little gloss,
  // toned so the lit bone gathers around index 190 and its top is
  // compressed, then the rim light on top, up to full white at the outline.
  double key = o.diff * o.shadow * (0.4 + 0.6 * o.ao) * grain;
  double s = (0.10 * o.ao + 0.62 * key + 0.14 * o.fill * o.ao + 0.12 * gloss) * (0.7 + 0.3 * sutures(lp));
  out.shade = clamp01(1.32 * s / (s + 0.31) + 0.22 * o.rim * o.ao);
  out.covered = true;
  // Spherical texture coordinates about the middle of the skull, the seam
  // at the back of the head: two tiles around, about 1.4 texels per pixel
  // at the face and squeezed towards the outline.
  sphere_uv(out, lp, kUvCentre, 2);
  return out;
}

void render_skull(const SkullPose &pose, const char *pic_sym, const char *uv_sym) {
  const SkullView v{pose, camera_look({0, -0.05, 5.2}, {0, -0.09, 0}, 46.0)};
  render_uv_object([&](double px, double py) { return shade_skull(v, px, py); }, asset(pic_sym),
                   asset(uv_sym));
  preview_grey(pic_sym, 320, 200, asset(pic_sym));
}

}  // namespace

void job_skull() {
  render_skull({0.45, -0.10, 0.05, normalize(V3{-0.65, 0.6, 0.55})}, "skulle", "skulletc");
  render_skull({-0.45, -0.12, 0.16, normalize(V3{0.65, 0.6, 0.55})}, "skulle2", "skulle2tc");
}
