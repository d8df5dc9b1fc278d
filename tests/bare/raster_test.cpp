#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fx/guarded_frame.h"
#include "vector/bare.h"

namespace {

constexpr int32_t kUnit = 65536;
constexpr int32_t kCameraZ = -18 * kUnit;  // the translation every test model gets

// A vertex by where it must land: screen column X, screen row Y, eye-space
// depth Z (16.16, negative in front of the camera).
struct Target {
  int x, y;
  int32_t z;
};

// The model coordinate c whose projection c * 600 / |z| truncates to k:
// the least magnitude with |c| * 600 >= |k| * |z|.
int32_t coord_for(int k, int32_t z) {
  const int64_t az = std::llabs(z);
  const int64_t c = (std::llabs(k) * az + 599) / 600;
  return static_cast<int32_t>(k < 0 ? -c : c);
}

// Builds a model whose vertices land on `points` under translate(0, 0, -18).
std::vector<int32_t> model_of(const std::vector<Target> &points,
                              const std::vector<std::array<int32_t, 3>> &tris) {
  std::vector<int32_t> m{static_cast<int32_t>(points.size())};
  for (const Target &p : points) {
    m.push_back(coord_for(p.x - 160, p.z));
    m.push_back(-coord_for(p.y - 100, p.z));
    m.push_back(p.z - kCameraZ);
  }
  m.push_back(static_cast<int32_t>(tris.size()));
  for (const auto &t : tris) m.insert(m.end(), t.begin(), t.end());
  return m;
}

// Depth colour table whose entry is its own index, or one constant.
struct Colours {
  uint8_t c[256];
  Colours() {
    for (int i = 0; i < 256; i++) c[i] = static_cast<uint8_t>(i);
  }
  explicit Colours(uint8_t v) {
    for (auto &e : c) e = v;
  }
};

class BareRaster : public ::testing::Test {
 protected:
  void SetUp() override { bare_clearzbuf(); }
  void render(const std::vector<int32_t> &model, const Colours &colours = Colours()) {
    bare_loadidentity();
    bare_translate(0.0f, 0.0f, -18.0f);
    bare_render(model.data(), frame.data(), colours.c);
  }
  int written() { return 64000 - frame.count(0); }
  GuardedFrame frame{0};
};

constexpr int32_t kZ19 = -19 * kUnit;  // depth index 192

TEST_F(BareRaster, FrontFacingTriangleFillsBothSpanEnds) {
  // a (10, 10), b (10, 20), c (20, 10): rows 10..20 from x = 10 to 30 - y.
  render(model_of({{10, 10, kZ19}, {10, 20, kZ19}, {20, 10, kZ19}}, {{0, 1, 2}}));
  EXPECT_EQ(bare_verts[1][0], 10);
  EXPECT_EQ(bare_verts[1][1], 20);
  EXPECT_EQ(written(), 66);
  for (int y = 10; y <= 20; y++) {
    EXPECT_EQ(frame.at(10, y), 192) << y;
    EXPECT_EQ(frame.at(30 - y, y), 192) << y;
    EXPECT_EQ(frame.at(31 - y, y), 0) << y;
    EXPECT_EQ(frame.at(9, y), 0) << y;
  }
  EXPECT_EQ(bare_zbuf[320 * 15 + 12], kZ19);
}

TEST_F(BareRaster, ClockwiseAndCollinearTrianglesAreNotDrawn) {
  render(model_of({{10, 10, kZ19}, {10, 20, kZ19}, {20, 10, kZ19}, {30, 30, kZ19}},
                  {{0, 2, 1}, {0, 3, 3}, {0, 1, 1}}));
  render(model_of({{10, 10, kZ19}, {20, 20, kZ19}, {30, 30, kZ19}}, {{0, 1, 2}, {2, 1, 0}}));
  EXPECT_EQ(written(), 0);
  EXPECT_EQ(bare_zbuf[320 * 12 + 12], BARE_ZCLEAR);
}

TEST_F(BareRaster, TrianglesOffTheTopOrBottomAreSkippedAndPartialOnesCut) {
  render(model_of({{10, -30, kZ19}, {10, -1, kZ19}, {20, -30, kZ19}}, {{0, 1, 2}}));
  render(model_of({{10, 200, kZ19}, {10, 260, kZ19}, {20, 200, kZ19}}, {{0, 1, 2}}));
  EXPECT_EQ(written(), 0);
  // Rows above 0 are stepped through: the edge from (30, -10) to (10, 10)
  // reaches x = 20 at row 0.
  render(model_of({{10, -10, kZ19}, {10, 10, kZ19}, {30, -10, kZ19}}, {{0, 1, 2}}));
  EXPECT_EQ(frame.at(20, 0), 192);
  EXPECT_EQ(frame.at(21, 0), 0);
  EXPECT_EQ(frame.at(10, 10), 192);
  EXPECT_EQ(written(), 66);
  // And rows below 199 are cut the same way.
  render(model_of({{100, 190, kZ19}, {100, 230, kZ19}, {140, 190, kZ19}}, {{0, 1, 2}}));
  EXPECT_EQ(frame.at(131, 199), 192);  // 140 - 9 at row 199
  EXPECT_EQ(frame.at(132, 199), 0);
  EXPECT_TRUE(frame.guards_intact());
}

TEST_F(BareRaster, SpansAreClampedToTheScreenWithoutAdjustingTheirDepths) {
  render(model_of({{-50, 50, kZ19}, {-50, 150, kZ19}, {400, 50, kZ19}}, {{0, 1, 2}}));
  for (int x = 0; x < 320; x++) ASSERT_EQ(frame.at(x, 50), 192) << x;
  for (int x = 0; x < 320; x++) ASSERT_EQ(frame.at(x, 49), 0) << x;
  EXPECT_TRUE(frame.guards_intact());

  // Row 0 runs from x = -10 (depth -19) to x = 10 (depth -17); the clamped
  // span starts at column 0 with the depth of column -10.
  bare_clearzbuf();
  const int32_t z17 = -17 * kUnit;
  render(model_of({{-10, 0, kZ19}, {-10, 20, kZ19}, {10, 0, z17}}, {{0, 1, 2}}));
  EXPECT_EQ(bare_zbuf[0], kZ19);
  EXPECT_EQ(bare_zbuf[10], kZ19 + 10 * ((z17 - kZ19) / 11));  // 11 pixels: the divisor
}

TEST_F(BareRaster, NearerWinsAndEqualDepthKeepsTheFirst) {
  const auto far = model_of({{10, 10, kZ19}, {10, 40, kZ19}, {40, 10, kZ19}}, {{0, 1, 2}});
  render(far, Colours(1));
  render(far, Colours(2));
  EXPECT_EQ(frame.at(12, 12), 1);
  const int32_t z15 = -15 * kUnit;
  render(model_of({{10, 10, z15}, {10, 40, z15}, {40, 10, z15}}, {{0, 1, 2}}), Colours(3));
  EXPECT_EQ(frame.at(12, 12), 3);
  render(far, Colours(4));
  EXPECT_EQ(frame.at(12, 12), 3);
  EXPECT_EQ(frame.count(4), 0);
}

TEST_F(BareRaster, AnEdgeTieKeepsTheEndStoredFirst) {
  // a (20, 0), b (10, 10), c (20, 20). At row 10 edge a->b ends and edge
  // b->c starts on column 10; a->b, walked first, arrives with depth
  // za + 10 * (1005 / 10) = za + 1000 rather than b's own za + 1005.
  const auto m = model_of({{20, 0, kZ19}, {10, 10, kZ19 + 1005}, {20, 20, kZ19}}, {{0, 1, 2}});
  render(m);
  EXPECT_EQ(bare_zbuf[320 * 10 + 10], kZ19 + 1000);
}

TEST_F(BareRaster, ClearDepthNeverPasses) {
  // Translation column -6250000 puts the model at depth 16 * -6250000, where
  // the vertices land on (157, 100), (157, 103) and (163, 100).
  const std::vector<int32_t> model = {3, -500000, 0,      0, -500000, -500000, 0,
                                      500000, 0,  0,      1, 0,       1,       2};
  bare_loadidentity();
  bare_matrix[2][3] = -6250000;
  bare_render(model.data(), frame.data(), Colours(7).c);
  EXPECT_EQ(bare_verts[0][2], -100000000);
  EXPECT_EQ(written(), 0);
  bare_matrix[2][3] = -6249999;  // one step nearer
  bare_render(model.data(), frame.data(), Colours(7).c);
  EXPECT_GT(frame.count(7), 0);
}

TEST_F(BareRaster, BehindTheCameraProjectsLikeItsMirrorImage) {
  const std::vector<int32_t> model = {2, 131072, 65536, -65536, 131072, 65536, 65536, 0};
  bare_loadidentity();
  bare_translate(0.0f, 0.0f, -18.0f);  // vertex 0 at z -19, vertex 1 at -17
  bare_render(model.data(), frame.data(), Colours().c);
  const int32_t front[2] = {bare_verts[0][0], bare_verts[0][1]};
  bare_loadidentity();
  bare_translate(0.0f, 0.0f, 18.0f);  // vertex 1 at z +19
  bare_render(model.data(), frame.data(), Colours().c);
  EXPECT_EQ(bare_verts[1][2], 19 * kUnit);
  EXPECT_EQ(bare_verts[1][0], front[0]);
  EXPECT_EQ(bare_verts[1][1], front[1]);
  EXPECT_EQ(front[0], 160 + 2 * 65536 * 600 / (19 * 65536));  // 63
}

TEST_F(BareRaster, DepthIndexCountsSixtyFourthsModulo256) {
  render(model_of({{10, 10, kZ19}, {10, 20, kZ19}, {20, 10, kZ19}}, {{0, 1, 2}}));
  const int32_t z15 = -15 * kUnit;
  render(model_of({{50, 10, z15}, {50, 20, z15}, {60, 10, z15}}, {{0, 1, 2}}));
  const int32_t z16 = -16 * kUnit - 1024;  // 1025 sixty-fourths
  render(model_of({{90, 10, z16}, {90, 20, z16}, {100, 10, z16}}, {{0, 1, 2}}));
  EXPECT_EQ(frame.at(11, 11), 192);
  EXPECT_EQ(frame.at(51, 11), 192);
  EXPECT_EQ(frame.at(91, 11), 1);
}

TEST_F(BareRaster, SinglePixelSpanTakesItsLeftDepth) {
  // A sliver one pixel wide: every row's span starts and ends in column 10,
  // the right end interpolated towards a depth of -17 at (11, 100).
  render(model_of({{10, 0, kZ19}, {10, 100, kZ19}, {11, 100, -17 * kUnit}}, {{0, 1, 2}}));
  for (int y = 0; y <= 100; y++) ASSERT_EQ(frame.at(10, y), 192) << y;
  EXPECT_EQ(written(), 101);
}

TEST_F(BareRaster, EmptyAndMalformedModelsDrawNothing) {
  render({3, 0, 0, 0, 65536, 0, 0, 0, 65536, 0, 0});  // F = 0
  render({0, 0});                                     // N = 0: F from word 1
  std::vector<int32_t> big(2 + 3 * 1001 + 1, 0);
  big[0] = 1001;  // more vertices than the buffer holds
  render(big);
  // An index past N skips its triangle only.
  auto m = model_of({{10, 10, kZ19}, {10, 20, kZ19}, {20, 10, kZ19}}, {{0, 1, 3}, {0, 1, 2}});
  render(m);
  EXPECT_EQ(written(), 66);
  EXPECT_TRUE(frame.guards_intact());
}

}  // namespace
