// Division through the reciprocal table against the compiler's own
// division: every table divisor with the numerators where a reciprocal goes
// wrong first (the ends of the int32_t range and the neighbours of
// multiples of the divisor), and millions of random pairs.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "vector/fdiv.h"

namespace {

// Counts the numerators n for which fdiv(n, d) differs from n / d.
int mismatches(int32_t d, int64_t from, int64_t to) {
  int bad = 0;
  for (int64_t n = from; n <= to; n++)
    if (fdiv(int32_t(n), d) != int32_t(n) / d) bad++;
  return bad;
}

TEST(Fdiv, EveryTableDivisorAtTheRangeEndsAndAroundItsMultiples) {
  for (int32_t d = 1; d < FDIV_TABLE + 8; d++) {
    SCOPED_TRACE(d);
    ASSERT_EQ(mismatches(d, INT32_MIN, INT32_MIN + 4 * d), 0);
    ASSERT_EQ(mismatches(d, INT32_MAX - 4 * int64_t(d), INT32_MAX), 0);
    ASSERT_EQ(mismatches(d, -3 * int64_t(d) - 2, 3 * int64_t(d) + 2), 0);
    // The largest quotients carry the largest error of the reciprocal: the
    // last numerator below each of the top 64 multiples, and the multiple.
    const int64_t top = int64_t(INT32_MAX) / d * d;
    for (int k = 0; k < 64; k++) {
      const int64_t m = top - int64_t(k) * d;
      ASSERT_EQ(mismatches(d, m - 1, m), 0);
      ASSERT_EQ(mismatches(d, -m, -m + 1), 0);
    }
  }
}

TEST(Fdiv, MillionsOfRandomPairs) {
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> small(1, FDIV_TABLE - 1);
  std::uniform_int_distribution<int32_t> large(1, INT32_MAX);
  int bad = 0;
  for (int i = 0; i < 6000000; i++) {
    const int32_t n = any(rng), d = i % 3 == 2 ? large(rng) : small(rng);
    if (fdiv(n, d) != n / d) bad++;
  }
  EXPECT_EQ(bad, 0);
}

TEST(Fdiv, SixtyFourBitOperandsOutsideThirtyTwoBitsTakeTheWideDivision) {
  const int64_t cases[][2] = {{int64_t(INT32_MAX) + 1, 3},     {int64_t(INT32_MIN) - 1, 7},
                              {int64_t(1) << 40, 1000},         {-(int64_t(1) << 45), 999},
                              {12345, int64_t(INT32_MAX) + 10}, {-5, int64_t(1) << 33},
                              {INT32_MIN, 1},                   {INT32_MIN, 2},
                              {INT32_MAX, INT32_MAX},           {INT32_MIN, INT32_MAX}};
  for (const auto &c : cases) EXPECT_EQ(fdiv64(c[0], c[1]), c[0] / c[1]) << c[0] << " / " << c[1];
  std::mt19937_64 rng(7);
  int bad = 0;
  for (int i = 0; i < 1000000; i++) {
    const int64_t n = int64_t(rng()) >> (rng() % 40), d = int64_t(rng() >> (24 + rng() % 39)) + 1;
    if (fdiv64(n, d) != n / d) bad++;
  }
  EXPECT_EQ(bad, 0);
}

}  // namespace
