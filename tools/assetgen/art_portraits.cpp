// Asset generator: the three portraits of the church's people, as stone
// busts in candle light.
//
// tamsk: the mason, square-jawed and bearded, in a cap, his mallet on his
// shoulder, in coarse sandstone. dorl: the bell-ringer, gaunt, hooded, the
// bell rope over his shoulder, in dark weathered stone. vesk: the organist,
// old, long-haired and long-bearded, eyes closed, before the organ pipes,
// in polished marble.
//
// Each bust stands whole in the columns right of the caption, turned
// towards the left; the candle is at the front right, so the left part
// (where the caption is written, columns 0..195 of rows 60..179) stays
// dark.
#include "gen.h"
#include "portrait_frame.h"
#include "sdf.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

enum Headwear { kCap, kHood, kLongHair };

struct Sitter {
  // face
  double jaw_w;     // jaw width factor (about 0.8 .. 1.2)
  double cheek;     // cheek hollowness 0 (full) .. 1 (gaunt)
  double nose;      // nose length factor
  bool eyes_shut;
  double beard;     // beard length 0 (none) .. 1 (down to the chest)
  Headwear wear;
  // material
  double grain;     // stone roughness 0 .. 1
  double polish;    // strength of the glossy highlight 0 .. 1
  double tone;      // overall albedo 0 .. 1
  uint32_t noise;   // noise start value
  int prop;         // 0 mallet, 1 rope, 2 organ pipes
  PortraitFrame frame;  // pose and framing
};

// --- the head (frame: nasion at the origin, y up, face towards +z) --------

double eyes(V3 s, const Sitter &c) {
  V3 q = s - V3{0.25, -0.12, 0.52};
  double ball = sdf_sphere(q, 0.12);
  // lids: shells over the ball, the upper one down to a line tilted up at
  // the outer corner, the lower one up from below; shut, the upper lid
  // comes down to meet the lower one
  double line = q.y - 0.12 * q.x;
  double upper = smax(sdf_sphere(q, 0.132), (c.eyes_shut ? -0.035 : 0.03) - line, 0.012);
  double lower = smax(sdf_sphere(q, 0.127), line + 0.05, 0.012);
  return smin(ball, std::min(upper, lower), 0.006);
}

double nose(V3 p, V3 s, const Sitter &c) {
  double L = c.nose;
  double d = sdf_cone_capsule(p, {0, -0.03, 0.70}, {0, -0.40 * L, 0.82 + 0.05 * L}, 0.055, 0.075);
  d = smin(d, sdf_sphere(p - V3{0, -0.43 * L, 0.83 + 0.05 * L}, 0.075), 0.04);
  d = smin(d, sdf_sphere(s - V3{0.085, -0.46 * L, 0.75}, 0.06), 0.04);  // nostril wings
  d = ssub(d, sdf_sphere(s - V3{0.05, -0.51 * L, 0.80}, 0.025), 0.01);
  return d;
}

double mouth(V3 s) {
  return smin(sdf_capsule(s, {0.0, -0.62, 0.74}, {0.17, -0.645, 0.65}, 0.035),
                  sdf_capsule(s, {0.0, -0.705, 0.72}, {0.15, -0.685, 0.64}, 0.042), 0.03);
}

double face(V3 p, const Sitter &c) {
  V3 s{std::fabs(p.x), p.y, p.z};
  double d = sdf_ellipsoid(p - V3{0, 0.2, -0.15}, {0.66, 0.78, 0.86});                              // cranium
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.35, 0.22}, {0.52, 0.56, 0.46}), 0.15);                      // face
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.72, 0.16}, {0.44 * c.jaw_w, 0.30, 0.44}), 0.15);            // jaw
  d = smin(d, sdf_ellipsoid(p - kChinAt, mul(kChinSize, {c.jaw_w, 1, 1})), 0.1);                    // chin
  d = smin(d, sdf_ellipsoid(s - kCheekboneAt, kCheekboneSize), 0.1);                                 // cheekbone
  d = smin(d, sdf_capsule(s, kBrowFrom, kBrowTo, kBrowR), 0.08);                                    // brow
  d = ssub(d, sdf_ellipsoid(s - V3{0.42, -0.55, 0.42}, {0.14, 0.2, 0.16}), 0.15 * c.cheek + 0.001);  // hollow
  d = ssub(d, sdf_ellipsoid(s - V3{0.25, -0.12, 0.72}, {0.17, 0.11, 0.14}), 0.08);                  // sockets
  d = smin(d, eyes(s, c), 0.035);
  d = smin(d, nose(p, s, c), 0.05);
  d = smin(d, mouth(s), 0.025);
  d = ssub(d, sdf_box(p - V3{0, -0.665, 0.78}, {0.15, 0.006, 0.1}, 0.0), 0.01);                    // lips part
  double ear = sdf_ellipsoid(s - V3{0.64, -0.15, -0.05}, {0.07, 0.2, 0.13});
  ear = ssub(ear, sdf_ellipsoid(s - V3{0.70, -0.13, -0.03}, {0.03, 0.13, 0.08}), 0.02);
  d = smin(d, ear, 0.04);
  return d;
}

// d = smin(d, base + ripple(), k) for a ripple of at most amp in size
// (amp times a sine), without the ripple's trigonometry where the part lies
// far enough beyond d that the blend gives d back whatever the ripple.
template <class Ripple>
double blend_rippled(double d, double base, double amp, const Ripple &ripple, double k) {
  if (smin_keeps(d, base - amp - 1e-9, base + amp + 1e-9, k)) return d;
  return smin(d, base + ripple(), k);
}

// The beard (c.beard > 0) before its strands, and the strands: grooves
// running down, waving a little (at most 0.012).
double beard_base(V3 p, const Sitter &c) {
  double L = c.beard;
  double d = sdf_ellipsoid(p - V3{0, -0.9 - 0.35 * L, 0.38 - 0.05 * L}, {0.52 * c.jaw_w, 0.35 + 0.55 * L, 0.36});
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.62, 0.42}, {0.42 * c.jaw_w, 0.2, 0.34}), 0.1);  // moustache band
  d = ssub(d, sdf_ellipsoid(p - V3{0, -0.68, 0.75}, {0.15, 0.07, 0.2}), 0.04);           // mouth free
  return d;
}
double beard_strands(V3 p) {
  double ang = std::atan2(p.x, p.z + 0.2);
  return 0.012 * std::sin(ang * 38.0 + 4.0 * std::sin(p.y * 5.0));
}

// d blended with the beard (none: a far 1e9, as it always was).
double blend_beard(double d, V3 p, const Sitter &c) {
  if (c.beard <= 0) return smin(d, 1e9, 0.06);
  return blend_rippled(d, beard_base(p, c), 0.012, [p] { return beard_strands(p); }, 0.06);
}

// Long hair before its strands, and the strands (at most 0.012).
double hair_base(V3 p) {
  V3 s{std::fabs(p.x), p.y, p.z};
  // a cap of hair over the cranium falling behind the ears
  double d = sdf_ellipsoid(p - V3{0, 0.24, -0.2}, {0.72, 0.82, 0.92});
  // hairline: the hair reaches forward only on the top of the head
  d = smax(d, p.z - mixd(-0.05, 0.45, smoothstep(-0.2, 0.7, p.y)), 0.05);
  d = smin(d, sdf_cone_capsule(s, {0.5, 0.0, -0.25}, {0.62, -1.5, -0.35}, 0.3, 0.22), 0.2);
  d = smin(d, sdf_ellipsoid(p - V3{0, -0.9, -0.55}, {0.75, 0.9, 0.35}), 0.2);
  return d;
}
double hair_strands(V3 p) {
  double ang = std::atan2(p.x, p.z + 0.4);
  return 0.012 * std::sin(ang * 30.0 + 3.0 * std::sin(p.y * 3.0));
}

// The cap or the hood (long hair: hair_base and hair_strands).
double headwear(V3 p, const Sitter &c) {
  if (c.wear == kCap) {
    // soft cap sitting low on the brow, with a rolled band
    double d = sdf_ellipsoid(p - V3{0.0, 0.45, -0.2}, {0.78, 0.62, 0.93});
    d = smax(d, 0.22 - p.y, 0.03);  // only the part above the band
    double band = sdf_torus(rot_x(p - V3{0, 0.18, -0.17}, -0.08), 0.70, 0.07);
    band = smax(band, sdf_ellipsoid(p - V3{0, 0.18, -0.17}, {0.9, 0.3, 1.05}), 0.02);
    return smin(d, band, 0.04);
  }
  if (c.wear == kHood) {
    double outer = sdf_ellipsoid(p - V3{0, -0.05, -0.25}, {0.98, 1.28, 1.12});
    double inner = sdf_ellipsoid(p - V3{0, -0.05, -0.25}, {0.86, 1.16, 1.0});
    double d = smax(outer, -inner, 0.02);
    // open at the face: cut everything in front of a plane leaning back
    double cut = p.z - 0.28 - 0.25 * p.y;
    d = smax(d, cut, 0.06);
    // folds
    d += 0.02 * std::sin(std::atan2(p.x, p.y) * 9.0 + p.z * 3.0);
    // falls onto the shoulders
    d = smin(d, sdf_ellipsoid(p - V3{0, -1.6, -0.35}, {1.2, 0.7, 0.95}), 0.25);
    return d;
  }
  return hair_base(p) + hair_strands(p);
}

// --- the body (frame: as the head, not turned) ----------------------------

double body(V3 p, const Sitter &c) {
  V3 s{std::fabs(p.x), p.y, p.z};
  double d = sdf_cone_capsule(p, {0, -0.8, -0.12}, {0, -1.7, -0.12}, 0.36, 0.42);           // neck
  d = smin(d, sdf_ellipsoid(p - V3{0, -2.25, -0.15}, {1.45, 0.62, 0.62}), 0.3);              // shoulders
  d = smin(d, sdf_ellipsoid(s - V3{1.05, -2.15, -0.15}, {0.45, 0.45, 0.48}), 0.2);           // deltoids
  d = smin(d, sdf_ellipsoid(p - V3{0, -2.9, 0.0}, {1.35, 0.8, 0.7}), 0.2);                  // chest
  // robe: collar fold and drapery
  d = smin(d, sdf_torus(rot_x(p - V3{0, -1.75, -0.12}, 0.2), 0.48, 0.09), 0.1);
  // Above y = -1.75 the folds fade to 0, and adding a zero leaves any
  // distance but a zero as it is: there the sines are not needed.
  double folds = smoothstep(-1.75, -2.15, p.y);
  if (folds != 0 || d == 0) d += 0.035 * std::sin(p.x * 7.0 + 2.0 * std::sin(p.y * 2.0)) * folds;
  if (c.prop == 0)  // the mason's apron strap across the chest
    d = smin(d, sdf_capsule(p, {-0.95, -1.85, 0.35}, {0.6, -2.9, 0.75}, 0.07), 0.03);
  if (c.prop == 0) {  // mallet resting on the right shoulder (screen right)
    V3 q = p - V3{0.95, -1.2, 0.35};
    double handle = sdf_capsule(q, {-0.25, -1.6, 0.15}, {0.1, 0.55, -0.1}, 0.055);
    // a round wooden mallet head across the top of the handle
    double headb = sdf_cylinder(rot_z(q - V3{0.12, 0.78, -0.11}, 1.57 - 0.15), 0.2, 0.3) - 0.02;
    d = std::min(d, std::min(handle, headb));
  } else if (c.prop == 1) {  // bell rope over the left shoulder, twisted
    V3 a{-0.75, 2.5, 0.55}, b{-0.95, -3.5, 0.75};
    auto twist = [p] { return 0.02 * std::sin(std::atan2(p.z - 0.65, p.x + 0.85) * 3.0 + p.y * 22.0); };
    d = blend_rippled(d, sdf_capsule(p, a, b, 0.1), 0.02, twist, 0.02);
  }
  return d;
}

// Organ pipes behind the organist, a facade centred on him: vertical
// cylinders standing on a ledge below the frame, intersected analytically.
struct Pipe {
  double x, z, r, top;
};
const int kPipes = 9;
Pipe pipe_at(int i) {
  // a facade: tallest in the middle, pairs stepping down to both sides
  double fromc = std::fabs(i - 4.0);
  return {-1.36 + 0.34 * i, -2.1, 0.15 - 0.01 * fromc, 2.1 - 0.22 * fromc + 0.05 * (i & 1)};
}

// Nearest pipe hit along the ray (t, normal, height on the pipe and the
// angle about its axis); false when none.
bool hit_pipes(V3 ro, V3 rd, double *t, V3 *n, double *yh, double *ang) {
  bool any = false;
  for (int i = 0; i < kPipes; i++) {
    Pipe q = pipe_at(i);
    double ox = ro.x - q.x, oz = ro.z - q.z;
    double A = rd.x * rd.x + rd.z * rd.z, B = ox * rd.x + oz * rd.z, C = ox * ox + oz * oz - q.r * q.r;
    double disc = B * B - A * C;
    if (A < 1e-12 || disc < 0) continue;
    double th = (-B - std::sqrt(disc)) / A;
    if (th <= 0 || (any && th >= *t)) continue;
    V3 p = ro + rd * th;
    if (p.y > q.top) continue;
    any = true;
    *t = th;
    *n = normalize(V3{p.x - q.x, 0, p.z - q.z});
    *yh = p.y - q.top;
    *ang = std::atan2(p.x - q.x, p.z - q.z);
  }
  return any;
}

// The head's turn on the neck (-yaw, -pitch, -roll), worked out once per
// sitter.
struct HeadTurns {
  Rot yaw, pitch, roll;
  [[gnu::noinline]] explicit HeadTurns(const Sitter &c) : yaw(-c.frame.yaw), pitch(-c.frame.pitch), roll(-c.frame.roll) {}
};

struct Portrait {
  Sitter c;
  Camera cam;
  V3 light;  // candle position (world)
  HeadTurns turns{c};  // from the sitter above: built with it, never assigned apart
  V3 neck = kPortraitNeck;

  V3 head_local(V3 w) const {
    V3 q = w - neck;
    q = rot_y(q, turns.yaw);
    q = rot_x(q, turns.pitch);
    q = rot_z(q, turns.roll);
    return q + neck;
  }
  double figure(const V3 &w) const {
    V3 h = head_local(w);
    // the face is the costly part: only evaluated near its bounding sphere
    double fb = length(h - V3{0, -0.1, 0.05}) - 1.15;
    double d = smin(fb > 0.15 ? fb : face(h, c), body(w, c), 0.12);
    if (c.wear == kLongHair)
      d = blend_rippled(d, hair_base(h), 0.012, [h] { return hair_strands(h); }, 0.03);
    else
      d = smin(d, headwear(h, c), 0.03);
    return blend_beard(d, h, c);
  }
};

// The wall behind: ashlar blocks in a plane z = -2.4, value 0..1.
double wall(V3 p, uint32_t n) {
  double bx = p.x / 1.1, by = p.y / 0.55;
  double row = std::floor(by);
  bx += 0.5 * (int(row) & 1);
  double fx = bx - std::floor(bx), fy = by - row;
  double mortar = std::min(std::min(fx, 1 - fx) * 1.1, std::min(fy, 1 - fy) * 0.55);
  double m = smoothstep(0.0, 0.035, mortar);
  double stain = fbm(p.x * 1.5, p.y * 1.5, n + 5, 4);
  double blockv = 0.8 + 0.2 * vnoise(std::floor(bx) * 3.1, row * 2.7, n + 9);
  return m * blockv * (0.55 + 0.6 * stain);
}

// Box holding the whole figure (world units), for culling rays.
// Below, the chest ends in its own rounded foot; above, the bell rope
// runs on up out of the frame.
const V3 kFigLo{-1.7, -3.8, -1.2}, kFigHi{1.75, 2.6, 1.3};

// Fraction of the candle light reaching p (1 lit .. 0 in shadow).
template <class F>
double candle_shadow(const F &f, V3 p, V3 L, double dist) {
  double a0, a1;
  if (!ray_box(p, L, kFigLo, kFigHi, &a0, &a1)) return 1.0;
  return sdf_soft_shadow(f, p, L, std::max(0.02, a0), std::min(dist, a1), 12.0, 40);
}

double shade_portrait(const Portrait &pt, double px, double py) {
  auto f = [&pt](const V3 &q) { return pt.figure(q); };
  V3 rd = camera_ray(pt.cam, px + pt.c.frame.shift_x, py + pt.c.frame.shift_y, kPortraitW, kPortraitH);
  V3 ro = pt.cam.eye;
  double tfar = (-2.4 - ro.z) / rd.z;  // the wall
  V3 pn;
  double pyh = 0, pang = 0;
  bool pipe = pt.c.prop == 2 && hit_pipes(ro, rd, &tfar, &pn, &pyh, &pang);
  double t0, t1;
  Hit h;
  if (ray_box(ro, rd, kFigLo, kFigHi, &t0, &t1))
    h = sdf_march(f, ro, rd, std::max(t0, 0.0), std::min(t1, tfar), 150, 3e-4, 0.8);
  V3 p, n;
  double albedo, polish = pt.c.polish, ao = 1.0;
  bool figure = h.hit;
  if (figure) {
    p = h.p;
    n = sdf_normal(f, p, 1.5e-3);
    V3 hp = pt.head_local(p);
    double g = fbm(hp.x * 12 + hp.z * 7, hp.y * 12 - hp.z * 5, pt.c.noise, 4);
    albedo = pt.c.tone * (1.0 - 0.35 * pt.c.grain + 0.7 * pt.c.grain * g);
    ao = sdf_ao(f, p, n, 0.18) * (0.4 + 0.6 * sdf_ao(f, p, n, 0.6, 4));
  } else if (pipe) {
    p = ro + rd * tfar;
    n = pn;
    // tin with a dark mouth cut a little above the foot
    double mouthy = pyh + 1.9 + 0.3 * std::sin(pang * 7.0);
    bool mouth = std::fabs(pang) < 0.55 && mouthy > 0 && mouthy < 0.22 - 0.3 * std::fabs(pang);
    albedo = mouth ? 0.04 : 1.1 * (0.9 + 0.1 * std::sin(pang * 40.0));
    polish = mouth ? 0 : 0.8;
  } else {
    p = ro + rd * tfar;
    n = V3{0, 0, 1};
    albedo = 0.38 * wall(p, pt.c.noise);
    polish = 0;
  }
  V3 L = pt.light - p;
  double dist = length(L);
  L = L / dist;
  double fall = 16.0 / (dist * dist);
  double diff = std::max(0.0, dot(n, L));
  double sh = diff > 0 ? candle_shadow(f, p + n * 0.005, L, dist) : 0.0;
  double rim = figure ? rim_light(n, rd, 3.0) * smoothstep(-0.2, 0.4, dot(n, V3{-0.7, 0.5, -0.3})) : 0.0;
  V3 hv = normalize(L - rd);
  double gloss = polish * std::pow(std::max(0.0, dot(n, hv)), 30.0) * sh * fall;
  double v = albedo * (0.05 * ao + diff * sh * fall * (0.5 + 0.5 * ao)) + 0.28 * rim * ao + 0.35 * gloss;
  // darken the caption side and the top (vignette); the top fifth, above
  // the heads, loses at most half, the heads at most a tenth
  double sx = px / 320.0, sy = py / 200.0;
  double vig = smoothstep(0.0, 0.55, sx) * 0.55 + 0.45;
  vig *= 1.0 - 0.5 * std::pow(std::max(0.0, 0.5 - sy) * 2.0, 3.0);
  v *= vig;
  // candle-lit: a soft tone curve lifting the mid tones a little
  return clamp01(std::pow(clamp01(v), 0.85));
}

void render_portrait(const Sitter &c, const char *sym) {
  // The camera looks at the middle of the bust from the same angle for
  // every sitter; its distance and the frame's shift place the bust.
  const V3 eye = kPortraitTarget + kPortraitEye * (c.frame.dist / kPortraitEye.z);
  const Portrait pt{c, camera_look(eye, kPortraitTarget, kPortraitFov), {2.6, 0.4, 4.2}};
  render_picture(kPortraitW, kPortraitH, [&](double px, double py) { return shade_portrait(pt, px, py); }, asset(sym), 0.2, 2);
  preview_grey(sym, 320, 200, asset(sym));
}

}  // namespace

// Each bust stands in the columns right of the caption, at the
// size and place where the portrait scene's worms cross its face least
// while it is shown, the face box of tools/assetgen/portrait_frame.h as
// measured (tamsk high on the wall near the caption, dorl smaller, high at
// the right, vesk low before the organ).
void job_portraits() {
  //                 jaw  cheek nose shut  beard wear      grain pol  tone  noise prop frame
  render_portrait({1.18, 0.0, 0.95, false, 0.25, kCap, 0.9, 0.1, 0.95, 101, 0, kPortraitFrames[0]}, "tamsk");
  render_portrait({0.85, 1.0, 1.12, false, 0.0, kHood, 0.5, 0.3, 0.92, 202, 1, kPortraitFrames[1]}, "dorl");
  render_portrait({0.95, 0.5, 1.05, true, 1.0, kLongHair, 0.15, 0.9, 1.0, 303, 2, kPortraitFrames[2]}, "vesk");
}
