// Truncating integer division without a divide instruction, for the
// per-edge and per-span steps of the rasterisers. The target has neither a
// hardware divider nor cheap 64-bit division: a quotient by a divisor below
// FDIV_TABLE is one 32 x 32 -> 64-bit multiply by a reciprocal from a table
// built at compile time, exactly n / d as C++ defines it (rounding toward
// zero, for every int32_t n).
//
// Why it is exact: for 2 <= d < FDIV_TABLE, l = ceil(log2 d) and
// m = ceil(2^(31 + l) / d) < 2^32, the error m d - 2^(31 + l) is below
// d <= 2^l, so floor(u m / 2^(31 + l)) = floor(u / d) for every
// 0 <= u <= 2^31, the magnitudes of all int32_t values.
#pragma once

#include <array>
#include <cstdint>

constexpr int32_t FDIV_TABLE = 1024;  // divisors 1..1023 take the table

struct fdiv_magic {
  uint32_t mul;    // m = ceil(2^(31 + l) / d)
  uint32_t shift;  // l - 1: the quotient is (u m) >> 32 >> shift
};

constexpr std::array<fdiv_magic, FDIV_TABLE> fdiv_build() {
  std::array<fdiv_magic, FDIV_TABLE> t{};
  for (uint32_t d = 2; d < uint32_t(FDIV_TABLE); d++) {
    uint32_t l = 0;
    while ((uint64_t(1) << l) < d) l++;
    const uint64_t p = uint64_t(1) << (31 + l);
    t[d] = {uint32_t((p + d - 1) / d), l - 1};
  }
  return t;
}

inline constexpr std::array<fdiv_magic, FDIV_TABLE> fdiv_table = fdiv_build();

// n / d for 2 <= d < FDIV_TABLE, rounding toward zero.
constexpr int32_t fdiv_small(int32_t n, int32_t d) {
  const fdiv_magic &k = fdiv_table[size_t(d)];
  const uint32_t u = n < 0 ? 0u - uint32_t(n) : uint32_t(n);
  const uint32_t q = uint32_t((uint64_t(u) * k.mul) >> 32) >> k.shift;
  return n < 0 ? int32_t(0u - q) : int32_t(q);
}

// n / d for any d >= 1, rounding toward zero: the table below FDIV_TABLE,
// the compiler's division above it.
constexpr int32_t fdiv(int32_t n, int32_t d) {
  if (uint32_t(d) - 2u < uint32_t(FDIV_TABLE - 2)) return fdiv_small(n, d);
  if (d == 1) return n;
  return n / d;
}

// n / d for any n and any d >= 1 that fit in 64 bits, as a 32-bit quotient
// when both fit in 32 bits (the fast path), else by the 64-bit division.
constexpr int64_t fdiv64(int64_t n, int64_t d) {
  if (n >= INT32_MIN && n <= INT32_MAX && d <= INT32_MAX) return fdiv(int32_t(n), int32_t(d));
  return n / d;
}
