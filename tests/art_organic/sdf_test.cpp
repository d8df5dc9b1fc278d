// The generator's distance-field toolkit: distances, ray set-up, marching
// and lighting on scenes with known answers, and the renderers' output
// format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gen.h"
#include "sdf.h"

namespace {

const Sdf kUnitSphere = [](const V3 &p) { return sdf_sphere(p, 1.0); };

TEST(SdfDistances, PrimitivesAtKnownPoints) {
  EXPECT_NEAR(sdf_box({3, 0, 0}, {1, 2, 3}), 2.0, 1e-12);
  EXPECT_NEAR(sdf_box({2, 3, 0}, {1, 2, 3}), std::sqrt(2.0), 1e-12);  // off a corner edge
  EXPECT_NEAR(sdf_box({0, 0, 0}, {1, 2, 3}), -1.0, 1e-12);          // inside: nearest face
  EXPECT_NEAR(sdf_box({3, 0, 0}, {1, 2, 3}, 0.5), 1.5, 1e-12);      // rounding grows the box
  EXPECT_NEAR(sdf_capsule({0, 5, 3}, {0, 0, 0}, {0, 4, 0}, 1), std::sqrt(10.0) - 1, 1e-12);
  EXPECT_NEAR(sdf_capsule({2, 2, 0}, {0, 0, 0}, {0, 4, 0}, 1), 1.0, 1e-12);
  EXPECT_NEAR(sdf_ellipsoid({4, 0, 0}, {2, 1, 1}), 2.0, 1e-9);  // exact on the axes
  EXPECT_NEAR(sdf_ellipsoid({0, 3, 0}, {2, 1, 1}), 2.0, 1e-9);
  EXPECT_NEAR(sdf_torus({3, 1, 0}, 2, 0.5), std::sqrt(2.0) - 0.5, 1e-12);
  EXPECT_NEAR(sdf_cylinder({0, 3, 0}, 1, 2), 1.0, 1e-12);
  EXPECT_NEAR(sdf_cylinder({4, 0, 0}, 1, 2), 3.0, 1e-12);
  // Triangle in the z = 0 plane: above its inside, beside an edge, off a corner.
  V3 a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
  EXPECT_NEAR(sdf_triangle({1, 1, 2}, a, b, c), 2.0, 1e-12);
  EXPECT_NEAR(sdf_triangle({2, -3, 0}, a, b, c), 3.0, 1e-12);
  EXPECT_NEAR(sdf_triangle({-3, -4, 0}, a, b, c), 5.0, 1e-12);
}

TEST(SdfDistances, SmoothBlendsStayCloseToHardOnes) {
  for (double a = -1; a <= 1; a += 0.25)
    for (double b = -1; b <= 1; b += 0.25) {
      EXPECT_LE(smin(a, b, 0.3), std::min(a, b) + 1e-12);
      EXPECT_GE(smin(a, b, 0.3), std::min(a, b) - 0.3 / 4 - 1e-12);  // at most k/4 below
      EXPECT_NEAR(smin(a, b, 0.3), smin(b, a, 0.3), 1e-12);
      EXPECT_GE(smax(a, b, 0.3), std::max(a, b) - 1e-12);
    }
  EXPECT_EQ(smin(0.2, 0.7, 0.0), 0.2);  // no blend width: the plain minimum
  EXPECT_NEAR(smin(0.0, 5.0, 0.3), 0.0, 1e-12);  // far apart: untouched
}

TEST(SdfRays, CameraAndIntersections) {
  Camera cam = camera_look({0, 0, 5}, {0, 0, 0}, 90.0);
  V3 mid = camera_ray(cam, 160, 100, 320, 200);
  EXPECT_NEAR(mid.z, -1.0, 1e-12);
  V3 right = camera_ray(cam, 320, 100, 320, 200);  // right edge at 45 degrees
  EXPECT_NEAR(right.x, -right.z, 1e-12);
  EXPECT_GT(right.x, 0);
  V3 top = camera_ray(cam, 160, 0, 320, 200);  // image y runs down, world y up
  EXPECT_GT(top.y, 0);
  EXPECT_NEAR(length(top), 1.0, 1e-12);

  double t0, t1;
  ASSERT_TRUE(ray_sphere({0, 0, 5}, {0, 0, -1}, {0, 0, 0}, 1, &t0, &t1));
  EXPECT_NEAR(t0, 4, 1e-12);
  EXPECT_NEAR(t1, 6, 1e-12);
  EXPECT_FALSE(ray_sphere({0, 2, 5}, {0, 0, -1}, {0, 0, 0}, 1, &t0, &t1));
  EXPECT_FALSE(ray_sphere({0, 0, 5}, {0, 0, 1}, {0, 0, 0}, 1, &t0, &t1));  // behind
  ASSERT_TRUE(ray_box({0, 0, 5}, {0, 0, -1}, {-1, -1, -1}, {1, 1, 1}, &t0, &t1));
  EXPECT_NEAR(t0, 4, 1e-12);
  EXPECT_NEAR(t1, 6, 1e-12);
  ASSERT_TRUE(ray_box({0, 0, 0}, {1, 0, 0}, {-1, -1, -1}, {1, 1, 1}, &t0, &t1));  // from inside
  EXPECT_LT(t0, 0);
  EXPECT_NEAR(t1, 1, 1e-12);
  EXPECT_FALSE(ray_box({0, 3, 5}, {0, 0, -1}, {-1, -1, -1}, {1, 1, 1}, &t0, &t1));
  EXPECT_FALSE(ray_box({0, 0, 5}, {0, 0, 1}, {-1, -1, -1}, {1, 1, 1}, &t0, &t1));
  EXPECT_TRUE(ray_box({0, 0, 5}, normalize(V3{0.1, 0.1, -1}), {-1, -1, -1}, {1, 1, 1}, &t0, &t1));
}

TEST(SdfMarch, FindsSurfacesAndLightsThem) {
  Hit h = sdf_march(kUnitSphere, {0, 0, 5}, {0, 0, -1}, 0, 10);
  ASSERT_TRUE(h.hit);
  EXPECT_NEAR(h.t, 4.0, 5e-3);
  V3 n = sdf_normal(kUnitSphere, h.p);
  EXPECT_NEAR(n.z, 1.0, 1e-3);
  EXPECT_FALSE(sdf_march(kUnitSphere, {0, 1.5, 5}, {0, 0, -1}, 0, 10).hit);
  EXPECT_FALSE(sdf_march(kUnitSphere, {0, 0, 5}, {0, 0, -1}, 0, 3.5).hit);  // beyond tmax

  // A unit ball resting on a floor at y = -1, lit from straight above.
  Sdf scene = [](const V3 &p) { return std::min(sdf_sphere(p, 1.0), p.y + 1.0); };
  double under = sdf_soft_shadow(scene, {0.3, -1 + 1e-3, 0}, {0, 1, 0}, 0.01, 10, 16);
  double aside = sdf_soft_shadow(scene, {4, -1 + 1e-3, 0}, {0, 1, 0}, 0.01, 10, 16);
  double edge = sdf_soft_shadow(scene, {1.02, -1 + 1e-3, 0}, {0, 1, 0}, 0.01, 10, 16);
  EXPECT_LT(under, 0.05);
  EXPECT_GT(aside, 0.95);
  EXPECT_GT(edge, under);  // penumbra between the two
  EXPECT_LT(edge, aside);
  // Occlusion: open floor far away against the crease where ball meets floor.
  double open = sdf_ao(scene, {5, -1, 0}, {0, 1, 0}, 0.5);
  double crease = sdf_ao(scene, {0.6, -1, 0}, {0, 1, 0}, 0.5);
  EXPECT_GT(open, 0.99);
  EXPECT_LT(crease, open - 0.2);
  // Rim light: none facing the viewer, full at the silhouette.
  EXPECT_NEAR(rim_light({0, 0, 1}, {0, 0, -1}, 2), 0.0, 1e-12);
  EXPECT_NEAR(rim_light({1, 0, 0}, {0, 0, -1}, 2), 1.0, 1e-12);
}

TEST(SdfOutput, UvPackWrapsAndNeverMarksCovered) {
  EXPECT_EQ(uv_pack(3.7, 7.2), 0x0703);
  EXPECT_EQ(uv_pack(256 + 3, 512 + 7), 0x0703);
  EXPECT_EQ(uv_pack(-0.5, 1.0), 0x01FF);  // floor, then wrap: column 255
  EXPECT_EQ(uv_pack(-1, -1), 0xFFFE);     // texel (255, 255) would read as uncovered
  EXPECT_EQ(uv_pack(255.9, 255.9), 0xFFFE);
  EXPECT_EQ(uv_pack(254, 255), 0xFFFE);
}

// A disc of constant shade 0.6 with u = x and v = y: background entries
// are 0xFFFF with shading 0, covered ones hold the texel little-endian, and
// the supersampled edge keeps the object's brightness instead of fading
// to the background.
TEST(SdfOutput, UvObjectRendererWritesMapAndShading) {
  std::vector<uint8_t> pic(64000, 77), uv(128000, 0x55);
  render_uv_object(
      [](double px, double py) {
        UvSample s;
        s.covered = (px - 160) * (px - 160) + (py - 100) * (py - 100) < 60.0 * 60.0;
        s.shade = 0.6;
        s.u = px;
        s.v = py;
        return s;
      },
      pic.data(), uv.data());
  const uint8_t flat = quantise(0.6, 0, 0);
  int covered = 0;
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 320; x++) {
      int i = y * 320 + x;
      uint16_t e = uv_at(uv.data(), i);
      bool in = (x + 0.5 - 160) * (x + 0.5 - 160) + (y + 0.5 - 100) * (y + 0.5 - 100) < 3600;
      ASSERT_EQ(e != 0xFFFF, in) << x << "," << y;
      if (!in) {
        ASSERT_EQ(pic[i], 0) << x << "," << y;
        continue;
      }
      covered++;
      ASSERT_EQ(e, (y << 8) | x) << x << "," << y;  // x < 256 on the disc
      ASSERT_NEAR(pic[i], flat, 1) << x << "," << y;
    }
  EXPECT_NEAR(covered, 3.14159 * 3600, 60);
}

// A picture split at x = 100.3 into black and white: whole pixels stay
// pure, the pixel the split crosses gets an in-between value (two thirds
// of the samples white on a 3x3 grid, half on a 2x2 grid).
TEST(SdfOutput, PictureRendererSmoothsEdges) {
  for (int grid = 2; grid <= 3; grid++) {
    std::vector<uint8_t> pic(64000);
    render_picture(
        320, 200, [](double px, double) { return px < 100.3 ? 0.0 : 1.0; }, pic.data(), 0.08, grid);
    for (int y = 0; y < 200; y += 37) {
      EXPECT_EQ(pic[y * 320 + 50], 0);
      EXPECT_EQ(pic[y * 320 + 99], 0);
      EXPECT_EQ(pic[y * 320 + 101], 255);
      EXPECT_NEAR(pic[y * 320 + 100], grid == 3 ? 170 : 128, 2) << "grid " << grid;
    }
  }
}

}  // namespace
