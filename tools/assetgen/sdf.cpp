// Asset generator: signed-distance-field primitives, marcher and renderers.
#include "sdf.h"

#include "gen.h"

#include <algorithm>
#include <thread>

Triangle::Triangle(V3 a_, V3 b_, V3 c_)
    : a(a_), b(b_), c(c_), ba(b - a), cb(c - b), ac(a - c), nor(cross(ba, ac)), side_ba(cross(ba, nor)),
      side_cb(cross(cb, nor)), side_ac(cross(ac, nor)), ee_ba(dot(ba, ba)), ee_cb(dot(cb, cb)), ee_ac(dot(ac, ac)),
      nn(dot(nor, nor)) {}

double Triangle::operator()(V3 p) const {
  V3 pa = p - a, pb = p - b, pc = p - c;
  auto sgn = [](double v) { return v < 0 ? -1.0 : 1.0; };
  if (sgn(dot(side_ba, pa)) + sgn(dot(side_cb, pb)) + sgn(dot(side_ac, pc)) < 2.0) {
    auto edge = [](V3 e, double ee, V3 q) {
      V3 r = e * clamp01(dot(e, q) / ee) - q;
      return dot(r, r);
    };
    return std::sqrt(std::min(std::min(edge(ba, ee_ba, pa), edge(cb, ee_cb, pb)), edge(ac, ee_ac, pc)));
  }
  double np = dot(nor, pa);
  return std::sqrt(np * np / nn);
}

Camera camera_look(V3 eye, V3 target, double fov_deg) {
  Camera c;
  c.eye = eye;
  c.fwd = normalize(target - eye);
  c.right = normalize(cross(c.fwd, V3{0, 1, 0}));
  c.up = cross(c.right, c.fwd);
  c.focal = 1.0 / std::tan(fov_deg * 3.14159265358979323846 / 360.0);
  return c;
}

V3 camera_ray(const Camera &cam, double px, double py, int w, int h) {
  double sx = (2.0 * px - w) / w;
  double sy = (h - 2.0 * py) / w;  // square pixels: both scaled by the width
  return normalize(cam.fwd * cam.focal + cam.right * sx + cam.up * sy);
}

bool ray_sphere(V3 ro, V3 rd, V3 c, double r, double *t0, double *t1) {
  V3 oc = ro - c;
  double b = dot(oc, rd), q = dot(oc, oc) - r * r;
  double disc = b * b - q;
  if (disc < 0) return false;
  double s = std::sqrt(disc);
  *t0 = -b - s;
  *t1 = -b + s;
  return *t1 > 0;
}

bool ray_box(V3 ro, V3 rd, V3 lo, V3 hi, double *t0, double *t1) {
  double a = -1e30, b = 1e30;
  const double o[3] = {ro.x, ro.y, ro.z}, d[3] = {rd.x, rd.y, rd.z};
  const double l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
  for (int k = 0; k < 3; k++) {
    if (std::fabs(d[k]) < 1e-12) {
      if (o[k] < l[k] || o[k] > h[k]) return false;
      continue;
    }
    double ta = (l[k] - o[k]) / d[k], tb = (h[k] - o[k]) / d[k];
    if (ta > tb) std::swap(ta, tb);
    a = std::max(a, ta);
    b = std::min(b, tb);
  }
  *t0 = a;
  *t1 = b;
  return a <= b && b > 0;
}

void parallel_rows(int h, const std::function<void(int)> &fn, int threads) {
  threads = std::max(1, threads);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; t++)
    pool.emplace_back([&, t] {
      for (int y = t; y < h; y += threads) fn(y);
    });
  for (auto &th : pool) th.join();
}

uint16_t uv_pack(double u, double v) {
  int iu = int(std::floor(u)) & 255, iv = int(std::floor(v)) & 255;
  uint16_t e = uint16_t((iv << 8) | iu);
  return e == 0xFFFF ? 0xFFFE : e;
}

namespace {

// True when any 4-neighbour of (x, y) differs from it by more than thr.
bool is_edge(const std::vector<double> &img, const std::vector<uint8_t> &cov, int w, int h, int x, int y,
             double thr) {
  double c = img[size_t(y) * w + x];
  const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
  for (int k = 0; k < 4; k++) {
    int nx = x + dx[k], ny = y + dy[k];
    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
    size_t j = size_t(ny) * w + nx;
    if (cov[j] != cov[size_t(y) * w + x] || std::fabs(img[j] - c) > thr) return true;
  }
  return false;
}

}  // namespace

void render_uv_object(const std::function<UvSample(double, double)> &sample, uint8_t *pic, uint8_t *uv,
                      double aa_edge) {
  const int w = 320, h = 200;
  std::vector<UvSample> s(size_t(w) * h);
  parallel_rows(h, [&](int y) {
    for (int x = 0; x < w; x++) s[size_t(y) * w + x] = sample(x + 0.5, y + 0.5);
  });
  std::vector<double> shade(s.size());
  std::vector<uint8_t> cov(s.size());
  for (size_t i = 0; i < s.size(); i++) {
    shade[i] = s[i].covered ? s[i].shade : 0;
    cov[i] = s[i].covered;
  }
  std::vector<double> out = shade;
  parallel_rows(h, [&](int y) {
    for (int x = 0; x < w; x++) {
      size_t i = size_t(y) * w + x;
      if (!cov[i] || !is_edge(shade, cov, w, h, x, y, aa_edge)) continue;
      // Average the covered ones of 2x2 extra samples with the centre, so
      // the edge of the object stays bright where the map says covered.
      double sum = shade[i];
      int n = 1;
      for (int k = 0; k < 4; k++) {
        UvSample e = sample(x + 0.25 + 0.5 * (k & 1), y + 0.25 + 0.5 * (k >> 1));
        if (e.covered) {
          sum += e.shade;
          n++;
        }
      }
      out[i] = sum / n;
    }
  });
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      size_t i = size_t(y) * w + x;
      uint16_t e = 0xFFFF;
      if (cov[i]) {
        pic[i] = quantise(out[i], x, y);
        e = uv_pack(s[i].u, s[i].v);
      } else {
        pic[i] = 0;
      }
      uv[2 * i] = uint8_t(e & 0xFF);
      uv[2 * i + 1] = uint8_t(e >> 8);
    }
}

void render_picture(int w, int h, const std::function<double(double, double)> &shade, uint8_t *pic,
                    double aa_edge, int grid) {
  std::vector<double> img(size_t(w) * h);
  std::vector<uint8_t> cov(img.size(), 1);
  parallel_rows(h, [&](int y) {
    for (int x = 0; x < w; x++) img[size_t(y) * w + x] = shade(x + 0.5, y + 0.5);
  });
  std::vector<double> out = img;
  parallel_rows(h, [&](int y) {
    for (int x = 0; x < w; x++) {
      if (!is_edge(img, cov, w, h, x, y, aa_edge)) continue;
      double sum = 0;
      for (int k = 0; k < grid * grid; k++)
        sum += shade(x + (k % grid + 0.5) / grid, y + (k / grid + 0.5) / grid);
      out[size_t(y) * w + x] = sum / (grid * grid);
    }
  });
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) pic[size_t(y) * w + x] = quantise(out[size_t(y) * w + x], x, y);
}

