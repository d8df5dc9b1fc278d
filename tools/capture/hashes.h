// The per-frame and per-block fingerprints the capture tool writes with
// --hashes and the web page computes on its own build: the same function
// over the same bytes, so two builds are compared hash for hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr uint64_t CAP_HASH_START = 0xcbf29ce484222325ull;  // 64-bit FNV-1a offset basis

// 64-bit FNV-1a of n bytes, taken every `stride` bytes in runs of `run`
// (run = stride for plain bytes; run 3, stride 4 for the RGB of RGBA).
inline uint64_t cap_hash(const uint8_t *p, size_t n, size_t run, size_t stride, uint64_t h = CAP_HASH_START) {
  for (size_t i = 0; i < n; i += stride)
    for (size_t k = 0; k < run && i + k < n; k++) {
      h ^= p[i + k];
      h *= 0x100000001b3ull;
    }
  return h;
}

// One line of a hash list: "f K POS HASH" for video frame K (the 320x240
// picture as 8-bit RGB, rows top to bottom), "a K HASH" for sound block K
// (4096 frames of 16-bit stereo, little-endian). Returns snprintf's count.
inline int cap_frame_line(char *s, size_t size, long k, int32_t pos, uint64_t h) {
  return std::snprintf(s, size, "f %ld %d %016llx\n", k, int(pos), static_cast<unsigned long long>(h));
}
inline int cap_block_line(char *s, size_t size, long k, uint64_t h) {
  return std::snprintf(s, size, "a %ld %016llx\n", k, static_cast<unsigned long long>(h));
}
