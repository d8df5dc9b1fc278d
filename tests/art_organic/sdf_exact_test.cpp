// The distance-field toolkit's shortcuts give the very bits of the plain
// formulas they stand for: the generator's pictures must not change by a
// single byte when a shortcut is taken. Each is checked against the plain
// form on random operands and on the edge cases of its argument (zeros of
// either sign, NaN, infinities, operands exactly a blend width apart).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "sdf.h"

namespace {

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

// The plain forms, as the shortcuts' contracts state them.
double plain_smin(double a, double b, double k) {
  if (k <= 0) return std::min(a, b);
  double h = clamp01(0.5 + 0.5 * (b - a) / k);
  return mixd(b, a, h) - k * h * (1.0 - h);
}
double plain_ellipsoid(V3 p, V3 r) {
  double k0 = length(V3{p.x / r.x, p.y / r.y, p.z / r.z});
  double k1 = length(V3{p.x / (r.x * r.x), p.y / (r.y * r.y), p.z / (r.z * r.z)});
  if (k1 == 0) return -std::min(r.x, std::min(r.y, r.z));
  return k0 * (k0 - 1.0) / k1;
}
double plain_box(V3 p, V3 b, double r) {
  V3 q = vabs(p) - b;
  V3 o{std::fmax(q.x, 0.0), std::fmax(q.y, 0.0), std::fmax(q.z, 0.0)};
  return length(o) + std::fmin(std::fmax(q.x, std::fmax(q.y, q.z)), 0.0) - r;
}

// Doubles that stress comparisons: both zeros, NaN, infinities, the
// smallest subnormal, and values of every sign and size.
std::vector<double> special_values() {
  const double inf = std::numeric_limits<double>::infinity();
  return {0.0, -0.0, 1.0, -1.0, 0.5, -2.5, 1e-300, -1e-300, 4.9e-324, 1e300, inf, -inf,
          std::numeric_limits<double>::quiet_NaN()};
}

double random_value(std::mt19937_64 &rng) {
  std::uniform_real_distribution<double> mant(-4.0, 4.0);
  std::uniform_int_distribution<int> scale(-8, 8);
  return std::ldexp(mant(rng), scale(rng));
}

TEST(SdfExact, InlineMaxMinAndHypotMatchTheLibrary) {
  std::mt19937_64 rng(2024);
  std::vector<double> v = special_values();
  for (int i = 0; i < 400; i++) v.push_back(random_value(rng));
  for (double a : v)
    for (double b : v) {
      double mx = fmax_z(a, b), mn = fmin_z(a, b), lmx = std::fmax(a, b), lmn = std::fmin(a, b);
      // Equal as values, NaN exactly where the library gives NaN; only the
      // sign of a zero may differ.
      ASSERT_EQ(std::isnan(mx), std::isnan(lmx)) << a << " " << b;
      ASSERT_EQ(std::isnan(mn), std::isnan(lmn)) << a << " " << b;
      if (!std::isnan(lmx)) {
        ASSERT_TRUE(mx == lmx) << a << " " << b;
      }
      if (!std::isnan(lmn)) {
        ASSERT_TRUE(mn == lmn) << a << " " << b;
      }
      if (lmx != 0) {
        ASSERT_EQ(bits(mx), bits(lmx)) << a << " " << b;
      }
      // hypot_z answers zero arguments itself: the very same bits.
      double h = hypot_z(a, b), lh = std::hypot(a, b);
      if (std::isnan(lh)) {
        ASSERT_TRUE(std::isnan(h)) << a << " " << b;
      } else {
        ASSERT_EQ(bits(h), bits(lh)) << a << " " << b;
      }
    }
}

// Points on the box's faces, edges and corners make q components of +0 and
// -0: the sign of those zeros must not reach the distance.
TEST(SdfExact, BoxWithInlineMaximaGivesTheLibraryBits) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-3.0, 3.0);
  const V3 b{1.25, 0.5, 2.0};
  const double on_face[] = {-1.25, 1.25, -0.5, 0.5, -2.0, 2.0, 0.0, -0.0};
  int checked = 0;
  for (int i = 0; i < 20000; i++) {
    V3 p{u(rng), u(rng), u(rng)};
    // Put some components exactly on a face plane or a centre plane.
    if (i % 3 == 0) p.x = on_face[i % 8];
    if (i % 5 == 0) p.y = on_face[(i / 5) % 8];
    if (i % 7 == 0) p.z = on_face[(i / 7) % 8];
    for (double r : {0.0, 0.02}) {
      ASSERT_EQ(bits(sdf_box(p, b, r)), bits(plain_box(p, b, r))) << p.x << " " << p.y << " " << p.z;
      checked++;
    }
  }
  EXPECT_EQ(checked, 40000);
}

// The smooth minimum skips its division where the operands lie at least a
// blend width apart; right at, just inside and just outside that width the
// result must still be the plain formula's, and so must smax's.
TEST(SdfExact, SmoothMinimumShortcutGivesThePlainBits) {
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  const double widths[] = {0.0, 0.006, 0.015, 0.03, 0.05, 0.12, 0.3, 1.0 / 3.0};
  for (double k : widths)
    for (int i = 0; i < 20000; i++) {
      double a = u(rng), b;
      switch (i % 4) {
        case 0: b = u(rng); break;
        case 1: b = a + k; break;  // exactly a width apart, as far as rounding lets it
        case 2: b = std::nextafter(a + k, -10.0); break;
        default: b = std::nextafter(a - k, 10.0); break;
      }
      ASSERT_EQ(bits(smin(a, b, k)), bits(plain_smin(a, b, k))) << a << " " << b << " " << k;
      ASSERT_EQ(bits(smin(b, a, k)), bits(plain_smin(b, a, k))) << a << " " << b << " " << k;
      ASSERT_EQ(bits(smax(a, b, k)), bits(-plain_smin(-a, -b, k))) << a << " " << b << " " << k;
    }
  // Zeros of either sign, NaN and infinite operands, tiny differences in
  // the band, and widths from a tiny one to an infinite one (where the
  // blend term is not +0 and no step may be dropped).
  const double inf = std::numeric_limits<double>::infinity();
  for (double k : {0.05, 1e-300, 4.9e-324, 1e300, inf})
    for (double a : special_values())
      for (double b : special_values()) {
        double s = smin(a, b, k), p = plain_smin(a, b, k);
        if (std::isnan(p)) {
          ASSERT_TRUE(std::isnan(s)) << a << " " << b << " " << k;
        } else {
          ASSERT_EQ(bits(s), bits(p)) << a << " " << b << " " << k;
        }
      }
}

// Wherever smin_keeps says so, the blend gives a back bit for bit, for
// parts anywhere in the stated range: at its ends, one ulp inside them
// and between. Outside its conditions it says no, and the upper limit is
// not idle: a part beyond 2a does change a's last bits.
TEST(SdfExact, FarPartLeavesTheBlendAsItIs) {
  std::mt19937_64 rng(4242);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double widths[] = {0.01, 0.015, 0.03, 0.06, 0.25};
  int kept = 0;
  for (int i = 0; i < 20000; i++) {
    // a from near-surface values to far ones, with every mantissa bit used
    const double a = std::ldexp(1.0 + u(rng), -int(u(rng) * 12)) * (1 + 0x1p-52 * double(i % 7));
    const double k = widths[i % 5];
    const double lo = (a + k) * (1 + 0x1p-50), top = std::nextafter(2 * a, 0.0);
    if (lo > top) {
      ASSERT_FALSE(smin_keeps(a, lo, 2 * a, k)) << a << " " << k;
      continue;
    }
    const double hi = lo + (top - lo) * u(rng);
    ASSERT_TRUE(smin_keeps(a, lo, hi, k)) << a << " " << lo << " " << hi;
    ASSERT_FALSE(smin_keeps(a, lo, 2 * a, k));
    ASSERT_FALSE(smin_keeps(a, std::nextafter(a + k, 0.0), hi, k));
    const double xs[] = {lo, hi, std::nextafter(lo, 10.0), std::nextafter(hi, 0.0), lo + (hi - lo) * u(rng)};
    for (double x : xs) {
      if (x < lo || x > hi) continue;
      ASSERT_EQ(bits(smin(a, x, k)), bits(a)) << a << " " << x << " " << k;
      ASSERT_EQ(bits(plain_smin(a, x, k)), bits(a)) << a << " " << x << " " << k;
      kept++;
    }
  }
  EXPECT_GT(kept, 20000);
  for (double a : special_values())
    if (!(a > 0) || a > 0x1p500 || a < 0x1p-1000) {
      EXPECT_FALSE(smin_keeps(a, 10.0, 10.0, 0.05)) << a;
    }
  // Beyond 2a the sum a - x rounds: some such part changes a.
  bool changed = false;
  for (int i = 0; i < 1000 && !changed; i++) {
    const double a = 0.01 * (1 + u(rng)), x = 4 * a + u(rng);
    changed = bits(smin(a, x, 0.05)) != bits(a);
  }
  EXPECT_TRUE(changed);
}

// Square roots of a pair give std::sqrt's bits lane by lane, whatever the
// other lane holds.
TEST(SdfExact, PairedSquareRootsGiveTheLibraryBits) {
  std::mt19937_64 rng(11);
  std::vector<double> v = special_values();
  for (int i = 0; i < 300; i++) v.push_back(std::fabs(random_value(rng)));
  v.push_back(std::nextafter(1.0, 2.0));
  v.push_back(2.2250738585072014e-308);  // smallest normal
  for (double x : v)
    for (double y : {0.0, -1.0, 2.0, x}) {
      const Pair r = sqrt_pair(Pair{x, y});
      const double lib[2] = {std::sqrt(x), std::sqrt(y)};
      for (int lane = 0; lane < 2; lane++) {
        if (std::isnan(lib[lane])) {
          ASSERT_TRUE(std::isnan(r[lane])) << x << " " << y;
        } else {
          ASSERT_EQ(bits(r[lane]), bits(lib[lane])) << x << " " << y;
        }
      }
    }
}

// The ellipsoid's paired divisions give the scalar formula's bits, at the
// centre (where it answers the smallest radius) and on and off its axes.
TEST(SdfExact, PairedEllipsoidGivesThePlainBits) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-1.5, 1.5), rad(0.01, 1.0);
  for (int shape = 0; shape < 300; shape++) {
    V3 r{rad(rng), rad(rng), rad(rng)};
    ASSERT_EQ(bits(sdf_ellipsoid({0, 0, 0}, r)), bits(-std::min(r.x, std::min(r.y, r.z))));
    for (int i = 0; i < 300; i++) {
      V3 p{u(rng), u(rng), u(rng)};
      if (i % 4 == 0) p = {r.x, 0, 0};  // on the surface, on an axis
      if (i % 4 == 1) p.y = 0;
      ASSERT_EQ(bits(sdf_ellipsoid(p, r)), bits(plain_ellipsoid(p, r))) << shape << " " << i;
    }
  }
}

// Shapes set up once give their plain function's distance bit for bit, on
// random shapes and points, near and far, inside and out.
TEST(SdfExact, PreparedShapesGiveThePlainBits) {
  std::mt19937_64 rng(31337);
  std::uniform_real_distribution<double> u(-1.5, 1.5), rad(0.001, 0.2);
  auto point = [&] { return V3{u(rng), u(rng), u(rng)}; };
  for (int shape = 0; shape < 300; shape++) {
    V3 a = point(), b = point(), c = point();
    double ra = rad(rng), rb = rad(rng);
    const ConeCapsule cone(a, b, ra, rb);
    const Triangle tri(a, b, c);
    for (int i = 0; i < 200; i++) {
      // Half the points near the shape (around a vertex or an edge's middle).
      V3 p = i % 2 ? point() : (i % 4 ? a : (a + b) * 0.5) + point() * 0.05;
      ASSERT_EQ(bits(cone(p)), bits(sdf_cone_capsule(p, a, b, ra, rb))) << shape << " " << i;
      ASSERT_EQ(bits(tri(p)), bits(sdf_triangle(p, a, b, c))) << shape << " " << i;
    }
  }
}

}  // namespace
