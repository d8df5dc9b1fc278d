// The embedded models as the renderer will read them after the start-up
// byte swap: counts, closed and outward-wound meshes, extents, and the
// renderer's own facing test on the projected model.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "assets/assets.h"

namespace {

struct Model {
  std::vector<std::array<int32_t, 3>> v;
  std::vector<std::array<int32_t, 3>> t;
  size_t words = 0;
};

int32_t be32(const uint8_t *p) {
  return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]));
}

// Reads a stored (big-endian) model, stopping short of the array's end.
Model read_model(const uint8_t *data, size_t bytes) {
  Model m;
  size_t w = 0, n = bytes / 4;
  auto next = [&] { return w < n ? be32(data + 4 * w++) : 0; };
  int32_t nv = next();
  for (int32_t i = 0; i < nv && w + 3 <= n; i++) m.v.push_back({next(), next(), next()});
  int32_t nt = next();
  for (int32_t i = 0; i < nt && w + 3 <= n; i++) m.t.push_back({next(), next(), next()});
  m.words = w;
  return m;
}

struct Entry {
  const char *name;
  const uint8_t *data;
  size_t bytes;
  int verts, tris;
};

const Entry models[] = {
    {"model1", model1, sizeof(model1), 329, 654}, {"ch_u", ch_u, sizeof(ch_u), 102, 204},
    {"ch_r", ch_r, sizeof(ch_r), 70, 136},        {"ch_e", ch_e, sizeof(ch_e), 24, 44},
    {"ch_t", ch_t, sizeof(ch_t), 60, 116},
};

std::array<double, 3> vec(const Model &m, int i) {
  return {m.v[i][0] / 65536.0, m.v[i][1] / 65536.0, m.v[i][2] / 65536.0};
}

std::array<double, 3> normal(const Model &m, const std::array<int32_t, 3> &t) {
  auto a = vec(m, t[0]), b = vec(m, t[1]), c = vec(m, t[2]);
  double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
  double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
  return {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
}

}  // namespace

TEST(Models, CountsAndIndices) {
  for (const Entry &e : models) {
    SCOPED_TRACE(e.name);
    Model m = read_model(e.data, e.bytes);
    EXPECT_EQ(int(m.v.size()), e.verts);
    EXPECT_EQ(int(m.t.size()), e.tris);
    EXPECT_EQ(m.words * 4, e.bytes);  // the record fills the array exactly
    for (const auto &t : m.t)
      for (int32_t i : t) ASSERT_TRUE(i >= 0 && i < int32_t(m.v.size())) << i;
  }
  // The start-up swap turns word 0 and the triangle-count word native.
  EXPECT_EQ(be32(model1), 329);
  EXPECT_EQ(be32(model1 + 4 * 988), 654);
  EXPECT_EQ(be32(ch_e), 24);
  EXPECT_EQ(be32(ch_e + 4 * 73), 44);
}

// Every edge is used once in each direction (closed, consistently wound),
// no triangle is degenerate, and the enclosed volume is positive, so the
// winding is counter-clockwise seen from outside.
TEST(Models, ClosedOutwardAndNonDegenerate) {
  for (const Entry &e : models) {
    SCOPED_TRACE(e.name);
    Model m = read_model(e.data, e.bytes);
    std::map<std::pair<int, int>, int> edges;
    double volume = 0;
    for (const auto &t : m.t) {
      for (int k = 0; k < 3; k++) edges[{t[k], t[(k + 1) % 3]}]++;
      auto n = normal(m, t);
      double area2 = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      EXPECT_GT(area2, 1e-6) << t[0] << " " << t[1] << " " << t[2];
      auto a = vec(m, t[0]);
      volume += (a[0] * n[0] + a[1] * n[1] + a[2] * n[2]) / 6;
    }
    int bad = 0;
    for (const auto &[edge, count] : edges) {
      auto back = edges.find({edge.second, edge.first});
      bad += count != 1 || back == edges.end() || back->second != 1;
    }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(volume, 0.0);
  }
  // model1 is a sphere-like closed mesh: V - E + F = 2.
  Model star = read_model(model1, sizeof(model1));
  EXPECT_EQ(int(star.t.size()), 2 * int(star.v.size()) - 4);
}

TEST(Models, Extents) {
  auto range = [](const Model &m, int axis) {
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const auto &v : m.v) lo = std::min(lo, v[axis]), hi = std::max(hi, v[axis]);
    return std::pair<double, double>(lo / 65536.0, hi / 65536.0);
  };
  Model star = read_model(model1, sizeof(model1));
  for (int a = 0; a < 3; a++) {
    auto [lo, hi] = range(star, a);
    EXPECT_NEAR(lo, -2.25, 0.15) << a;  // the thorns on the axes
    EXPECT_NEAR(hi, 2.25, 0.15) << a;
  }
  // The word U R E T U: each letter about 2 units tall, centred on its
  // place; neighbours may touch but not run into each other, and the word
  // fits the 320-pixel screen at the letters' depth of 13 units.
  const Entry *word[5] = {&models[1], &models[2], &models[3], &models[4], &models[1]};
  const double place[5] = {-2.2, -0.6, 0.4, 1.2, 2.6};
  double prev_right = -1e9;
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(word[i]->name);
    Model m = read_model(word[i]->data, word[i]->bytes);
    auto [x0, x1] = range(m, 0);
    auto [y0, y1] = range(m, 1);
    EXPECT_NEAR(y1 - y0, 2.0, 0.2);
    EXPECT_GT(x1 - x0, 0.6);
    EXPECT_LT(x1 - x0, 1.4);
    EXPECT_GT(place[i] + x0, prev_right - 0.1);
    prev_right = place[i] + x1;
    EXPECT_GT(160 + (place[i] + x0) * 600 / 13.2, 0.0);
    EXPECT_LT(160 + (place[i] + x1) * 600 / 13.2, 320.0);
  }
  auto zr = range(read_model(ch_u, sizeof(ch_u)), 2);
  EXPECT_EQ(zr.first * 65536, 546);
  EXPECT_EQ(zr.second * 65536, 13653);
  for (const Entry *e : {&models[2], &models[3], &models[4]}) {
    auto z = range(read_model(e->data, e->bytes), 2);
    EXPECT_EQ(z.first * 65536, -6553) << e->name;
    EXPECT_EQ(z.second * 65536, 6553) << e->name;
  }
}

// Projects each model 19 units in front of the camera with the renderer's
// integer projection and facing test: triangles turned clearly towards the
// eye must never be culled, those turned clearly away must never be drawn.
TEST(Models, RendererFacingTestKeepsTheOutside) {
  for (const Entry &e : models) {
    SCOPED_TRACE(e.name);
    Model m = read_model(e.data, e.bytes);
    const int32_t dz = -19 * 65536;
    std::vector<std::array<int32_t, 2>> s;
    for (const auto &v : m.v) {
      int32_t z = std::abs(v[2] + dz);
      s.push_back({v[0] * 600 / z + 160, v[1] * -600 / z + 100});
    }
    int drawn = 0, wrong = 0;
    for (const auto &t : m.t) {
      const auto &p0 = s[t[0]], &p1 = s[t[1]], &p2 = s[t[2]];
      int32_t face = (p1[0] - p0[0]) * (p0[1] - p2[1]) + (p2[0] - p0[0]) * (p1[1] - p0[1]);
      drawn += face > 0;
      auto n = normal(m, t);
      auto a = vec(m, t[0]);
      double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      double ex = -a[0], ey = -a[1], ez = -(a[2] - 19);  // towards the eye at the origin
      double cosv = (n[0] * ex + n[1] * ey + n[2] * ez) / (len * std::sqrt(ex * ex + ey * ey + ez * ez));
      if (cosv > 0.3 && face < 0) wrong++;
      if (cosv < -0.3 && face > 0) wrong++;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(drawn * 5, int(m.t.size()));  // a flat letter head-on shows its front cap
    EXPECT_LT(drawn, int(m.t.size()) * 3 / 4);
  }
}
