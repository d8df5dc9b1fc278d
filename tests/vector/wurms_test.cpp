// Worms: the path, the offsets, the point transform and the links drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "maths/rng.h"
#include "vector/wurms.h"

namespace {

int zero_rand() { return 0; }

// wurms_init with a rand stand-in that always returns 0; the real source is
// put back afterwards.
void init_with_zero_rand() {
  wurms_rand = zero_rand;
  wurms_init();
  wurms_rand = rng_next;
}

TEST(Wurms, PathStartsWithZeroStepsAndCloses) {
  init_with_zero_rand();
  EXPECT_EQ(wurms_path[0][0], 0);
  EXPECT_EQ(wurms_path[0][1], 0);
  EXPECT_EQ(wurms_path[1][0], 0);
  EXPECT_EQ(wurms_path[1][1], 0);
  EXPECT_EQ(wurms_path[2][0], 0);
  EXPECT_EQ(wurms_path[2][1], 5);
  for (int a = 0; a < 8; a++) {
    EXPECT_EQ(wurms_arcs[a][0][0], 0.0);
    EXPECT_EQ(wurms_arcs[a][0][1], 0.0);
  }
  int minx = 0, maxx = 0, miny = 0, maxy = 0, maxstep2 = 0;
  for (int i = 0; i < 560; i++) {
    minx = std::min(minx, wurms_path[i][0]), maxx = std::max(maxx, wurms_path[i][0]);
    miny = std::min(miny, wurms_path[i][1]), maxy = std::max(maxy, wurms_path[i][1]);
    int j = (i + 1) % 560;  // the last step leads back to the start
    int dx = wurms_path[j][0] - wurms_path[i][0], dy = wurms_path[j][1] - wurms_path[i][1];
    maxstep2 = std::max(maxstep2, dx * dx + dy * dy);
  }
  EXPECT_EQ(minx, -388);
  EXPECT_EQ(maxx, 194);
  EXPECT_EQ(miny, -482);
  EXPECT_EQ(maxy, 99);
  EXPECT_LE(maxstep2, 7 * 7);

  // Summing every arc step in order returns to the origin.
  static const int order[20] = {0, 1, 4, 5, 6, 7, 4, 1, 2, 3, 6, 7, 4, 1, 2, 3, 6, 3, 0, 5};
  double x = 0, y = 0;
  for (int i = 0; i < 560; i++) x += wurms_arcs[order[i / 28]][i % 28][0], y += wurms_arcs[order[i / 28]][i % 28][1];
  EXPECT_NEAR(x, 0.0, 1e-9);
  EXPECT_NEAR(y, 0.0, 1e-9);
}

TEST(Wurms, OffsetsFromAZeroRandom) {
  init_with_zero_rand();
  const int32_t xo[16] = {-300, 240, -20, -280, 260, 0, -260, 280, 20, -240, 300, 40, -220, 320, 60, -200};
  const int32_t yo[16] = {-300, -150, 0, 150, 300, 450, -200, -50, 100, 250, 400, -250, -100, 50, 200, 350};
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(wurms_xoff[i], xo[i]) << i;
    EXPECT_EQ(wurms_yoff[i], yo[i]) << i;
  }
}

int calls;
int counting_rand() { return calls++ * 7; }  // 0, 7, 14, ...: shows the call order

TEST(Wurms, OffsetsDrawRandInOrder) {
  calls = 0;
  wurms_rand = counting_rand;
  wurms_init();
  wurms_rand = rng_next;
  EXPECT_EQ(calls, 32);
  EXPECT_EQ(wurms_xoff[0], 0 - 300);             // rand 0
  EXPECT_EQ(wurms_yoff[0], 7 - 300);             // rand 7
  EXPECT_EQ(wurms_xoff[1], 14 + 540 - 300);      // rand 14
  EXPECT_EQ(wurms_yoff[15], (217 % 200 + 150 * 15) % 800 - 300);  // rand 31 * 7
}

TEST(Wurms, TransformScalesRotatesAndFlipsY) {
  wurms_mat[0] = 4096, wurms_mat[1] = 0, wurms_mat[2] = 0, wurms_mat[3] = 4096;
  wurms_scale = 4, wurms_cx = 10, wurms_cy = -20;
  int X, Y;
  wurms_xform(65536, 65536, &X, &Y);  // the picture's edge lands S pixels out
  EXPECT_EQ(X, 10 + 16 + 640);
  EXPECT_EQ(Y, -20 + 400 - 16);
  wurms_xform(-1, -1, &X, &Y);  // shifts round down
  EXPECT_EQ(X, 10 - 1 + 640);
  EXPECT_EQ(Y, -20 + 400 + 1);

  // Quarter turn: picture x goes to screen up.
  wurms_mat[0] = 0, wurms_mat[1] = -4096, wurms_mat[2] = 4096, wurms_mat[3] = 0;
  wurms_scale = 11, wurms_cx = 0, wurms_cy = 0;
  wurms_xform(65536, 0, &X, &Y);
  EXPECT_EQ(X, 640);
  EXPECT_EQ(Y, 400 - 44);
}

// The upright transform against the full one with the identity matrix,
// over random points of the picture range and random placements.
TEST(Wurms, UprightTransformIsTheIdentityMatrix) {
  std::mt19937 rng(23);
  wurms_mat[0] = 4096, wurms_mat[1] = 0, wurms_mat[2] = 0, wurms_mat[3] = 4096;
  int bad = 0;
  for (int i = 0; i < 200000; i++) {
    wurms_scale = int32_t(rng() % 16), wurms_cx = int32_t(rng() % 4000) - 2000, wurms_cy = int32_t(rng() % 4000) - 2000;
    const int x = int(rng() % 262145) - 131072, y = int(rng() % 262145) - 131072;
    int X, Y, U, V;
    wurms_xform(x, y, &X, &Y);
    wurms_xform_upright(x, y, &U, &V);
    bad += X != U || Y != V;
  }
  EXPECT_EQ(bad, 0);
}

// One outline point at picture (65536, 0): every link of a disc worm plots a
// single pixel S pixels right of its path position.
struct PointPicture {
  int32_t pt[4] = {65536, 0, 65536, 0};
  cgm_element e{};
  cgm_picture pic{};
  PointPicture() {
    e.flags = CGM_OUTLINE;
    e.linewidth = 1;
    e.linecolr = 200;
    e.npoints = 2;
    e.points = pt;
    pic.elements = &e;
  }
};

TEST(Wurms, DiscLinksFollowThePathWithGrowingRadius) {
  init_with_zero_rand();
  cgm_picture *saved = wurms_pic1;
  PointPicture probe;
  wurms_pic1 = &probe.pic;
  std::vector<uint8_t> fb(64000, 0);
  wurms(fb.data(), 0, 1);
  wurms_pic1 = saved;

  // Radii 4,4,4,4,4,4,5,...,7 and a small head of 4; links at path
  // indices 4, 8, ..., 100 for worm 0 at t = 0.
  const int radius[25] = {4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 4};
  std::set<std::pair<int, int>> expected, drawn;
  for (int k = 0; k < 25; k++) {
    int j = 4 * (k + 1);
    int X = wurms_path[j][0] + wurms_xoff[0] + 640 + 4 * radius[k];
    int Y = wurms_path[j][1] + wurms_yoff[0] + 400;
    int c = (X + 2) >> 2, r = (Y + 2) >> 2;
    if (c >= 0 && c < 320 && r >= 0 && r < 200) expected.insert({c, r});
  }
  for (int i = 0; i < 64000; i++)
    if (fb[i] == 200) drawn.insert({i % 320, i / 320});
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(drawn, expected);
}

// A disc link from wurms_disc against the rasteriser's own drawing of it,
// on a frame of random bytes (what the link leaves alone must survive):
// every quarter-pixel position of each scale along rows and columns that
// run from wholly off the frame through its edges and middle, then random
// placements near and far.
TEST(Wurms, DiscLinkIsTheRasterisersDrawing) {
  init_with_zero_rand();
  std::mt19937 rng(61);
  std::vector<uint8_t> ground(64000), want(64000), got(64000);
  for (auto &v : ground) v = uint8_t(rng());
  int cases = 0, bad = 0;
  auto check = [&](int32_t s, int32_t cx, int32_t cy) {
    wurms_scale = s, wurms_cx = cx, wurms_cy = cy;
    want = ground, got = ground;
    cgm_render(wurms_pic1, want.data(), wurms_xform_upright);
    wurms_disc(got.data());
    cases++;
    if (want != got && bad++ < 5) ADD_FAILURE() << "scale " << s << " at " << cx << ", " << cy;
  };
  // Links 8 px at most in radius: centres 40 px past an edge draw nothing.
  for (int32_t s = 4; s <= 7; s++) {
    for (int32_t cy : {-440, -420, -401, -398, -370, 0, 3, 362, 397, 402, 430})
      for (int32_t cx = -720; cx <= 720; cx++) check(s, cx, cy);
    for (int32_t cx : {-690, -665, -642, -637, -600, 1, 2, 601, 635, 638, 662})
      for (int32_t cy = -460; cy <= 460; cy++) check(s, cx, cy);
  }
  for (int i = 0; i < 20000; i++) {
    const int32_t reach = i % 2 ? 800 : 70000;  // mostly on the frame, or anywhere up to the fast path's limit and past it
    check(int32_t(rng() % 4) + 4, int32_t(rng() % (2 * reach + 1)) - reach, int32_t(rng() % (2 * reach + 1)) - reach);
  }
  EXPECT_EQ(bad, 0) << "of " << cases;
}

// The disc worms against their definition: every link one cgm_render
// through the transform, over a lap of frames with the demo's offsets.
TEST(Wurms, DiscWormsAreOneRenderPerLink) {
  wurms_init();
  std::vector<uint8_t> want(64000), got(64000);
  int bad = 0;
  for (int t = 0; t <= 20 * 560; t += 37) {
    std::fill(want.begin(), want.end(), uint8_t(t));
    got = want;
    wurms(got.data(), t, 16);
    wurms_mat[0] = 4096, wurms_mat[1] = 0, wurms_mat[2] = 0, wurms_mat[3] = 4096;
    for (int i = 0; i < 16; i++) {
      uint32_t j = uint32_t(t / (i / 5 + 20) + 35 * i);
      for (int k = 0; k < 25; k++) {
        j = (j + 4) % 560;
        wurms_cx = wurms_path[j][0] + wurms_xoff[i], wurms_cy = wurms_path[j][1] + wurms_yoff[i];
        wurms_scale = k < 24 ? k / 6 + 4 : 4;
        cgm_render(wurms_pic1, want.data(), wurms_xform);
      }
    }
    if (want != got && bad++ < 5) ADD_FAILURE() << "t " << t;
  }
  EXPECT_EQ(bad, 0);
}

TEST(Wurms, WormsRepeatAfterOneLap) {
  init_with_zero_rand();
  for (auto draw : {wurms, wurms2}) {
    std::vector<uint8_t> a(64000, 0), b(64000, 0), c(64000, 0);
    draw(a.data(), 0, 1);
    draw(b.data(), 20 * 560, 1);  // worm 0 moves one step per 20 ms
    draw(c.data(), 20 * 17, 1);
    EXPECT_GT(std::count_if(a.begin(), a.end(), [](uint8_t v) { return v != 0; }), 100);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
  }
}

TEST(Wurms, SixteenWormsStayInsideTheFrame) {
  init_with_zero_rand();
  std::vector<uint8_t> mem(64000 + 2 * 1024, 0xEE);
  std::fill(mem.begin() + 1024, mem.end() - 1024, 0);
  for (int t : {0, 12345, 987654}) {
    wurms(mem.data() + 1024, t, 16);
    wurms2(mem.data() + 1024, t, 20);  // more than the tables hold: the first 16
  }
  for (int i = 0; i < 1024; i++) {
    ASSERT_EQ(mem[i], 0xEE);
    ASSERT_EQ(mem[mem.size() - 1 - i], 0xEE);
  }
}

}  // namespace
