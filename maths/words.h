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
