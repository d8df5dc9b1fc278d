// Fixed-point helpers of the 3D renderer. Every product and sum on its
// paths keeps the low 32 bits, so they are done in uint32_t: signed
// overflow would be undefined, and the wrapped value is the one wanted.
#pragma once

#include <cstdint>

namespace bare_fixed {

constexpr int32_t kOne = 4096;  // 1.0 in the matrix's 4.12 format

constexpr int32_t mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
constexpr int32_t add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t shl16(int32_t a) { return static_cast<int32_t>(static_cast<uint32_t>(a) << 16); }

// p / 4096 rounded toward zero (an arithmetic shift alone would round down).
constexpr int32_t q12(int32_t p) { return p < 0 ? (p + 4095) >> 12 : p >> 12; }

// a * b / 4096 rounded toward zero, the product wrapping to 32 bits.
constexpr int32_t mulq(int32_t a, int32_t b) { return q12(mul(a, b)); }

static_assert(q12(-1) == 0 && q12(-4096) == -1 && q12(-4097) == -1 && q12(8191) == 1);

}  // namespace bare_fixed
