// Texture animation `dracula`: 29 frames of 256x256 (frame f at byte
// 65536 f), a bat circling a full moon above a church roof while mist
// drifts across. The church shows it at 100 ms a frame, looping, as
// ((T * c1) >> 6) + shading with c1 up to 204: texels above about 80
// saturate there, so the sky stays near 0 and the moon, the brightest
// thing, peaks in the 70s. Every motion is periodic in 29 frames, so frame
// 28 flows into frame 0.
#include "gen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int N = 256, FRAMES = 29;
constexpr double MOON_X = 128, MOON_Y = 104, MOON_R = 74;

using P2 = std::array<double, 2>;

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

bool in_poly(const std::vector<P2> &p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    if ((p[i][1] > y) != (p[j][1] > y) &&
        x < (p[j][0] - p[i][0]) * (y - p[i][1]) / (p[j][1] - p[i][1]) + p[i][0])
      in = !in;
  return in;
}

// Night sky, halo, moon and the church roofline: the part that never
// moves, as brightness in texel units (0..255 scale).
double still(double x, double y) {
  double d = std::hypot(x - MOON_X, y - MOON_Y);
  double sky = 3 + 5 * (y / N);
  double halo = 26 * std::exp(-std::max(0.0, d - MOON_R) / 22);
  double v = sky + halo;
  if (d < MOON_R + 1) {
    double r = std::min(1.0, d / MOON_R);
    double limb = 0.78 + 0.22 * std::sqrt(1 - r * r);
    double maria = smoothstep(0.45, 0.62, fbm(x / 40, y / 40, 77, 4));
    double pits = fbm(x / 7, y / 7, 78, 2);
    double face = (72 - 16 * maria - 6 * pits) * limb;
    v += (face - v) * std::clamp(MOON_R + 0.5 - d, 0.0, 1.0);
  }
  // Roofline: a nave roof with a spire and two pinnacles, solid black.
  double roof = 218 + 0.08 * std::fabs(x - 128);
  double spire = 112 + 0.9 * std::fabs(x - 60) * 2.4;     // steep spire
  double pin1 = 170 + 4.5 * std::fabs(x - 196);           // pinnacles
  double pin2 = 180 + 4.5 * std::fabs(x - 230);
  double top = std::min({roof, std::fabs(x - 60) < 22 ? spire : 1e9, std::fabs(x - 196) < 6 ? pin1 : 1e9,
                         std::fabs(x - 230) < 6 ? pin2 : 1e9});
  if (std::fabs(x - 60) < 1.2 && y > 96 && y < 112) top = std::min(top, 96.0);  // cross post
  if (std::fabs(y - 101) < 1.2 && std::fabs(x - 60) < 5) top = std::min(top, 101.0);  // cross arm
  return y >= top ? 0 : v;
}

// Mist density in 0..1 at time t (0..1 over the loop): two copies of a
// drifting field cross-faded so the drift of 48 texels per loop closes.
double mist(double x, double y, double t) {
  // Outside 40 < y < 240 a height factor of both fields is 0, and so is
  // the whole: the noise is not needed there.
  if (smoothstep(40, 120, y) == 0 || 1 - smoothstep(200, 240, y) == 0) return 0.0;
  auto field = [&](double shift) {
    double n = fbm((x + shift) / 64, y / 32, 91, 4, 4);
    return smoothstep(0.48, 0.75, n) * smoothstep(40, 120, y) * (1 - smoothstep(200, 240, y));
  };
  return (1 - t) * field(-48 * t) + t * field(48 * (1 - t));
}

// Bat seen from the front in its own units (span about 2, body at the
// origin, v up), wings raised by the angle `lift`.
struct Bat {
  std::vector<P2> left, right;
  // Box around every part (set by make_bat): outside it, with a margin of
  // 1e-6 beyond any rounding of the tests below, a point is in none of them.
  double u0 = -1e9, u1 = 1e9, v0 = -1e9, v1 = 1e9;
  bool inside(double u, double v) const {
    if (u < u0 || u > u1 || v < v0 || v > v1) return false;
    if ((u * u) / (0.085 * 0.085) + (v + 0.02) * (v + 0.02) / (0.2 * 0.2) < 1) return true;  // body
    if (u * u + (v - 0.2) * (v - 0.2) < 0.075 * 0.075) return true;                         // head
    for (int s = -1; s <= 1; s += 2) {                                                     // ears
      double eu = s * u;
      if (v > 0.22 && v < 0.36 && eu > 0.01 && eu < 0.075 - 0.4 * (v - 0.22)) return true;
    }
    return in_poly(left, u, v) || in_poly(right, u, v);
  }
};

// Membrane edge between two finger tips, pulled towards the wrist.
P2 scallop(const P2 &a, const P2 &b, const P2 &wrist) {
  const double pull = 0.32;
  return {(a[0] + b[0]) / 2 * (1 - pull) + wrist[0] * pull, (a[1] + b[1]) / 2 * (1 - pull) + wrist[1] * pull};
}

Bat make_bat(double lift) {
  // Right wing: shoulder, wrist, three finger tips with the membrane
  // scalloped between them, back to the flank.
  double ca = std::cos(lift), sa = std::sin(lift);
  P2 wrist{0.42 * ca, 0.1 + 0.42 * sa};
  const double fa[3] = {0.35, -0.25, -0.85}, fl[3] = {0.58, 0.56, 0.46};
  std::vector<P2> w = {{0.06, 0.1}, wrist};
  P2 prev{0, 0};
  for (int k = 0; k < 3; k++) {
    double a = lift * 0.8 + fa[k];
    P2 tip{wrist[0] + fl[k] * std::cos(a), wrist[1] + fl[k] * std::sin(a)};
    if (k > 0) w.push_back(scallop(prev, tip, wrist));
    w.push_back(tip);
    prev = tip;
  }
  P2 flank{0.07, -0.17};
  w.push_back(scallop(prev, flank, wrist));
  w.push_back(flank);
  Bat b;
  b.right = w;
  for (const P2 &p : w) b.left.push_back({-p[0], p[1]});
  // Body, head and ears lie within |u| < 0.085, -0.22 < v < 0.36; the wings
  // are mirror images.
  double umax = 0.085, vlo = -0.22, vhi = 0.36;
  for (const P2 &p : w) {
    umax = std::max(umax, std::fabs(p[0]));
    vlo = std::min(vlo, p[1]);
    vhi = std::max(vhi, p[1]);
  }
  b.u0 = -umax - 1e-6;
  b.u1 = umax + 1e-6;
  b.v0 = vlo - 1e-6;
  b.v1 = vhi + 1e-6;
  return b;
}

// Coverage (0..1) of a bat of half-span `s` at (cx, cy), banked by
// `bank` radians, into `cov` (max with what is there).
void draw_bat(std::vector<double> &cov, const Bat &bat, double cx, double cy, double s, double bank) {
  double cb = std::cos(bank), sb = std::sin(bank);
  int x0 = std::max(0, int(cx - 1.3 * s)), x1 = std::min(N - 1, int(cx + 1.3 * s));
  int y0 = std::max(0, int(cy - 1.3 * s)), y1 = std::min(N - 1, int(cy + 1.3 * s));
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      int hit = 0;
      for (int sy = 0; sy < 4; sy++)
        for (int sx = 0; sx < 4; sx++) {
          double dx = (x + (sx + 0.5) / 4 - cx) / s, dy = -(y + (sy + 0.5) / 4 - cy) / s;
          hit += bat.inside(dx * cb + dy * sb, -dx * sb + dy * cb);
        }
      cov[y * N + x] = std::max(cov[y * N + x], hit / 16.0);
    }
}

}  // namespace

void job_dracula() {
  std::vector<double> base(N * N);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++) base[y * N + x] = still(x + 0.5, y + 0.5);
  uint8_t *out = asset("dracula");
  std::vector<double> cov(N * N);
  for (int f = 0; f < FRAMES; f++) {
    double t = double(f) / FRAMES, a = 2 * M_PI * t;
    std::fill(cov.begin(), cov.end(), 0.0);
    // The near bat circles the moon once per loop, nearer (larger) at the
    // bottom of its circle, flapping five times; a far one crosses twice
    // as fast, flapping seven times.
    double depth = 0.5 + 0.5 * std::sin(a);
    draw_bat(cov, make_bat(0.75 * std::sin(5 * a)), MOON_X + 82 * std::cos(a), MOON_Y + 10 + 38 * std::sin(a),
             30 + 18 * depth, -0.35 * std::cos(a));
    double b = 2 * a + 1.3;
    draw_bat(cov, make_bat(0.8 * std::sin(7 * a + 0.5)), MOON_X - 50 * std::cos(b), 60 + 16 * std::sin(b), 12,
             0.3 * std::sin(b));
    uint8_t *fr = out + f * N * N;
    for (int y = 0; y < N; y++)
      for (int x = 0; x < N; x++) {
        double v = base[y * N + x];
        if (v > 0) {  // mist hangs behind the roof
          double m = mist(x, y, t);
          double lit = 14 + 26 * std::exp(-std::max(0.0, std::hypot(x - MOON_X, y - MOON_Y) - MOON_R * 0.5) / 40);
          v += (lit - v) * 0.8 * m;
        }
        v *= 1 - cov[y * N + x];
        fr[y * N + x] = quantise(v / 255, x, y);
      }
  }
  // Preview: six frames side by side, brightened as the church's
  // brightest factor shows them.
  const int show[6] = {0, 5, 10, 15, 20, 25};
  std::vector<uint8_t> sheet(size_t(6 * N) * N);
  for (int i = 0; i < 6; i++)
    for (int y = 0; y < N; y++)
      for (int x = 0; x < N; x++)
        sheet[y * 6 * N + i * N + x] = uint8_t(std::min(255, out[show[i] * N * N + y * N + x] * 204 >> 6));
  preview_grey("dracula", 6 * N, N, sheet.data());
}
