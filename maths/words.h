// Word-at-a-time helpers for the per-pixel paths: eight words stored as
// one burst, and byte-lane selections on 32-bit words.
#pragma once

#include <cstdint>

// Stores w0..w7 at dst[0..7] (dst word-aligned). On ARM one STM of eight
// registers: the device's write buffer takes the burst as one entry, where
// eight single stores to a line that is not cached would be eight entries
// draining one by one. Elsewhere plain stores.
inline void store_words8(uint32_t *dst, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4,
                         uint32_t w5, uint32_t w6, uint32_t w7) {
#if defined(__arm__)
  register uint32_t r2 asm("r2") = w0;
  register uint32_t r3 asm("r3") = w1;
  register uint32_t r4 asm("r4") = w2;
  register uint32_t r5 asm("r5") = w3;
  register uint32_t r6 asm("r6") = w4;
  register uint32_t r7 asm("r7") = w5;
  register uint32_t r8 asm("r8") = w6;
  register uint32_t r9 asm("r9") = w7;
  asm volatile("stmia %0, {r2-r9}"
               :
               : "r"(dst), "r"(r2), "r"(r3), "r"(r4), "r"(r5), "r"(r6), "r"(r7), "r"(r8), "r"(r9)
               : "memory");
#else
  dst[0] = w0, dst[1] = w1, dst[2] = w2, dst[3] = w3;
  dst[4] = w4, dst[5] = w5, dst[6] = w6, dst[7] = w7;
#endif
}

// 0xFF in every byte lane of v that is not 0x00, 0x00 in the others. The
// low seven bits of a lane plus 0x7F carry into its top bit exactly when
// one of them is set, and never into the next lane.
inline uint32_t nonzero_lanes(uint32_t v) {
  const uint32_t top = (((v & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | v) & 0x80808080u;
  return (top >> 7) * 0xFFu;
}

// Stores v at dst[0..n-1] for 0 <= n <= 4 (dst word-aligned). On ARM one
// STM of n registers, a single write-buffer entry; elsewhere plain stores.
inline void store_same_words(uint32_t *dst, int n, uint32_t v) {
#if defined(__arm__)
  register uint32_t r2 asm("r2") = v;
  register uint32_t r3 asm("r3") = v;
  register uint32_t r4 asm("r4") = v;
  register uint32_t r5 asm("r5") = v;
  switch (n) {
    case 4: asm volatile("stmia %0, {r2-r5}" : : "r"(dst), "r"(r2), "r"(r3), "r"(r4), "r"(r5) : "memory"); break;
    case 3: asm volatile("stmia %0, {r2-r4}" : : "r"(dst), "r"(r2), "r"(r3), "r"(r4) : "memory"); break;
    case 2: asm volatile("stmia %0, {r2-r3}" : : "r"(dst), "r"(r2), "r"(r3) : "memory"); break;
    case 1: *dst = v; break;
    default: break;
  }
#else
  switch (n) {
    case 4: dst[3] = v; [[fallthrough]];
    case 3: dst[2] = v; [[fallthrough]];
    case 2: dst[1] = v; [[fallthrough]];
    case 1: dst[0] = v; [[fallthrough]];
    default: break;
  }
#endif
}

// Stores N copies of v's low byte at p, p % 4 == A, in the fewest aligned stores:
// a byte and a halfword up to a word boundary, words, a halfword, a byte.
// Expanded at compile time: straight-line stores with constant offsets.
template <int N, int A>
inline void fill_run(uint8_t *p, uint32_t v) {
  if constexpr (N == 0) {
    return;
  } else if constexpr ((A & 1) != 0 || N == 1) {
    *p = uint8_t(v);
    fill_run<N - 1, (A + 1) & 3>(p + 1, v);
  } else if constexpr (A == 2 || N < 4) {
    *reinterpret_cast<uint16_t *>(p) = uint16_t(v);
    fill_run<N - 2, (A + 2) & 3>(p + 2, v);
  } else {
    *reinterpret_cast<uint32_t *>(p) = v;
    fill_run<N - 4, 0>(p + 4, v);
  }
}

// memset(p, colour, n) for n > 16, any alignment of p: up to a word
// boundary, bursts of eight and four words, then the rest.
[[gnu::noinline]] inline void fill_long(uint8_t *p, int n, uint8_t colour) {
  const uint32_t v = colour * 0x01010101u;
  if (reinterpret_cast<uintptr_t>(p) & 1) *p++ = colour, n--;
  if (reinterpret_cast<uintptr_t>(p) & 2) *reinterpret_cast<uint16_t *>(p) = uint16_t(v), p += 2, n -= 2;
  uint32_t *w = reinterpret_cast<uint32_t *>(p);
  int m = n >> 2;
  for (; m >= 8; m -= 8, w += 8) store_words8(w, v, v, v, v, v, v, v, v);
  if (m >= 4) store_same_words(w, 4, v), w += 4, m -= 4;
  store_same_words(w, m, v);
  p = reinterpret_cast<uint8_t *>(w + m);
  if (n & 2) *reinterpret_cast<uint16_t *>(p) = uint16_t(v), p += 2;
  if (n & 1) *p = colour;
}

// memset(p, colour, n) for any n, any alignment of p. Runs of up to 16
// bytes take one jump on length and alignment into their run of fill_run's
// stores; longer ones go to fill_long.
[[gnu::always_inline]] inline void fill_bytes(uint8_t *p, int n, uint8_t colour) {
  const uint32_t v = colour * 0x01010101u;
#define ULV_FILL4(k)                             \
  case 4 * k: fill_run<k, 0>(p, v); return;     \
  case 4 * k + 1: fill_run<k, 1>(p, v); return; \
  case 4 * k + 2: fill_run<k, 2>(p, v); return; \
  case 4 * k + 3: fill_run<k, 3>(p, v); return;
  switch (uint32_t(n) << 2 | (reinterpret_cast<uintptr_t>(p) & 3)) {
    ULV_FILL4(1) ULV_FILL4(2) ULV_FILL4(3) ULV_FILL4(4) ULV_FILL4(5) ULV_FILL4(6) ULV_FILL4(7) ULV_FILL4(8)
    ULV_FILL4(9) ULV_FILL4(10) ULV_FILL4(11) ULV_FILL4(12) ULV_FILL4(13) ULV_FILL4(14) ULV_FILL4(15) ULV_FILL4(16)
    default:
      if (n > 16) fill_long(p, n, colour);
  }
#undef ULV_FILL4
}

// Brings the data-cache line holding p in, on the target (elsewhere
// nothing): a store to a cached line costs no bus time, where every store to
// a line that is not cached takes a write-buffer entry of its own. Worth a
// line fill where many small stores go to one line.
inline void cache_line(const uint8_t *p) {
#if defined(__arm__)
  uint32_t sink;
  asm volatile("ldrb %0, [%1]" : "=r"(sink) : "r"(p));
#else
  (void)p;
#endif
}

// The signed product of a's bottom (mul_bottom) or top (mul_top) 16-bit
// lane and b's bottom lane: one SMULBB or SMULTB (a single cycle) where the
// target has the DSP multiplies, which the compiler does not pick for
// values it knows to be small and non-negative.
inline int32_t mul_bottom(uint32_t a, uint32_t b) {
#if defined(__ARM_FEATURE_DSP)
  int32_t r;
  asm("smulbb %0, %1, %2" : "=r"(r) : "r"(a), "r"(b));
  return r;
#else
  return int32_t(int16_t(a)) * int32_t(int16_t(b));
#endif
}
inline int32_t mul_top(uint32_t a, uint32_t b) {
#if defined(__ARM_FEATURE_DSP)
  int32_t r;
  asm("smultb %0, %1, %2" : "=r"(r) : "r"(a), "r"(b));
  return r;
#else
  return int32_t(int16_t(a >> 16)) * int32_t(int16_t(b));
#endif
}
