// The correctly rounded sine and cosine: against the x87 80-bit sinl/cosl
// where those decide the rounding, the fast path against the slow one, and
// the special values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "maths/cr.h"

namespace {

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The ranges the demo's arguments come from: small angles, a few turns, and
// milliseconds of a whole run times the scenes' rates.
constexpr double RANGES[] = {1e-3, 0.8, 7.0, 100.0, 3e5, 8e8};

// The double nearest to a long double result, or NaN when the long double
// lies too close to the midpoint between two doubles to decide (its own
// error is about 2^-63 relative; the margin is 2^-8 of a double's ulp).
double decided(long double v) {
  const double d = double(v);
  const double other = std::nextafter(d, v > d ? INFINITY : -INFINITY);
  const long double ulp = fabsl((long double)other - (long double)d);
  const long double mid = ((long double)d + (long double)other) / 2;
  return fabsl(v - mid) < ulp / 256 ? NAN : d;
}

TEST(CorrectlyRounded, MatchesExtendedPrecisionWhereThatDecides) {
  if (sizeof(long double) <= sizeof(double)) GTEST_SKIP() << "no wider long double on this machine";
  std::mt19937_64 rng(7);
  long decided_cases = 0;
  for (double range : RANGES) {
    std::uniform_real_distribution<double> pick(-range, range);
    for (int i = 0; i < 40000; i++) {
      const double x = pick(rng);
      const double s = decided(sinl(x)), c = decided(cosl(x));
      if (!std::isnan(s)) {
        ASSERT_EQ(bits(cr_sin(x)), bits(s)) << std::hexfloat << "sin " << x;
        decided_cases++;
      }
      if (!std::isnan(c)) {
        ASSERT_EQ(bits(cr_cos(x)), bits(c)) << std::hexfloat << "cos " << x;
        decided_cases++;
      }
    }
  }
  EXPECT_GT(decided_cases, 470000);  // of 480000; about 0.8% are too close to call
}

// The fast path returns only what the series gives: a wrong table entry
// or a too small error bound would show here.
TEST(CorrectlyRounded, FastPathEqualsSeries) {
  std::mt19937_64 rng(11);
  for (double range : RANGES) {
    std::uniform_real_distribution<double> pick(-range, range);
    for (int i = 0; i < 30000; i++) {
      const double x = pick(rng);
      ASSERT_EQ(bits(cr_sin(x)), bits(cr_sin_accurate(x))) << std::hexfloat << "sin " << x;
      ASSERT_EQ(bits(cr_cos(x)), bits(cr_cos_accurate(x))) << std::hexfloat << "cos " << x;
    }
  }
  // Every table point and both sides of it, where t is 0 or at its largest.
  for (int j = 0; j < 204; j++)
    for (double d : {-1.0 / 512, 0.0, 1.0 / 512}) {
      const double x = j / 256.0 + d;
      ASSERT_EQ(bits(cr_sin(x)), bits(cr_sin_accurate(x))) << std::hexfloat << "sin " << x;
      ASSERT_EQ(bits(cr_cos(x)), bits(cr_cos_accurate(x))) << std::hexfloat << "cos " << x;
    }
}

// Arguments whose sine or cosine lies within 2^-21 of an ulp of the
// midpoint between two doubles (found by a search at 140 bits), with the
// nearest double: the fast path cannot decide these and must fall back.
struct HardCase {
  bool cosine;
  double x, nearest;
};
constexpr HardCase HARD_CASES[] = {
    {true, 0x1.308cb0337bed0p+15, 0x1.baba2a9ec79c3p-4},  {true, 0x1.28dc26a2b6264p+1, -0x1.5c6852700c424p-1},
    {true, -0x1.d01dc8eb36168p+1, -0x1.c51dddba5ac09p-1}, {true, -0x1.3ba2685a362a8p+1, -0x1.8f7f8e07a7314p-1},
    {true, 0x1.89456e6f69538p+17, -0x1.716898b6b7537p-1}, {false, 0x1.e43d9ef9c83eep+1, -0x1.3265302588e7fp-1},
    {false, 0x1.eeab50f7cb348p+1, -0x1.52c321fdde07ep-1}, {false, 0x1.408c28d5e2fb0p+0, 0x1.e6396b196d09ap-1},
};

// The doubles nearest 3, 7, 100, 4001 and 300001 quarter turns: the
// reduced argument is tiny there and needs the long form of pi/2.
constexpr HardCase NEAR_QUARTER_TURNS[] = {
    {true, 0x1.2d97c7f3321d2p+2, -0x1.a79394c9e8a0ap-53}, {true, 0x1.5fdbbe9bba775p+3, -0x1.ee2c2d963a10cp-52},
    {false, 0x1.3a28c59d5433bp+7, 0x1.1b19140c0c0d5p-50}, {true, 0x1.88cc18fffd84dp+12, -0x1.e62a44fbaecdcp-42},
    {true, 0x1.cc321e0163a8cp+18, 0x1.ad420f0ce4176p-36},
};

TEST(CorrectlyRounded, HardCasesNearAMidpoint) {
  for (const HardCase &h : HARD_CASES) {
    const double got = h.cosine ? cr_cos(h.x) : cr_sin(h.x);
    EXPECT_EQ(bits(got), bits(h.nearest)) << std::hexfloat << (h.cosine ? "cos " : "sin ") << h.x;
  }
}

TEST(CorrectlyRounded, NearMultiplesOfAQuarterTurn) {
  for (const HardCase &h : NEAR_QUARTER_TURNS) {
    const double got = h.cosine ? cr_cos(h.x) : cr_sin(h.x);
    EXPECT_EQ(bits(got), bits(h.nearest)) << std::hexfloat << (h.cosine ? "cos " : "sin ") << h.x;
  }
}

TEST(CorrectlyRounded, SpecialValuesAndSymmetry) {
  EXPECT_EQ(bits(cr_sin(0.0)), bits(0.0));
  EXPECT_EQ(bits(cr_sin(-0.0)), bits(-0.0));
  EXPECT_EQ(cr_cos(-0.0), 1.0);
  EXPECT_TRUE(std::isnan(cr_sin(NAN)));
  EXPECT_TRUE(std::isnan(cr_sin(INFINITY)));
  EXPECT_TRUE(std::isnan(cr_cos(-INFINITY)));
  // Below 2^-27 the cube term is under half an ulp.
  EXPECT_EQ(cr_sin(0x1p-30), 0x1p-30);
  EXPECT_EQ(cr_cos(0x1p-30), 1.0);
  // sin and cos of the doubles nearest pi and pi/2: the distance to the
  // true pi, known to many digits.
  EXPECT_EQ(cr_sin(M_PI), 0x1.1a62633145c07p-53);
  EXPECT_EQ(cr_cos(M_PI / 2), 0x1.1a62633145c07p-54);
  EXPECT_EQ(cr_cos(M_PI), -1.0);
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> pick(0, 1e4);
  for (int i = 0; i < 1000; i++) {
    const double x = pick(rng);
    ASSERT_EQ(bits(cr_sin(-x)), bits(-cr_sin(x))) << x;
    ASSERT_EQ(bits(cr_cos(-x)), bits(cr_cos(x))) << x;
  }
}

}  // namespace
