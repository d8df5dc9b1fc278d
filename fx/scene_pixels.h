// The per-pixel formulas of the picture and texture scenes, in one place
// for the scenes (driver/scenes_pic.cpp, driver/scenes_uv.cpp) and the
// asset generator's previews of them.
//
// A scene first builds its frame's factors (texture offsets and pulse
// factors from `now`; the sines are per frame, never per pixel) and then
// runs its pixel function on every covered pixel: u is the pixel's UV entry
// (a texel offset, row in the high byte; uncovered pixels, 0xFFFF, are
// index 0 and never reach these), img the shading picture's pixel. The
// result is the palette index written to the frame. Integer only.
#pragma once

#include <cstdint>

constexpr uint32_t UV_UNCOVERED = 0xFFFF;

// Panorama mask: factor m over the pixel p. 255 keeps p, any other m scales
// it to m * p >> 8 (so 0 gives 0). As a multiplier 255 is 256, so every
// pixel runs the same arithmetic; 255 becomes 256 without a test, as only
// m + 1 = 256 carries into bit 8.
inline uint16_t mask_weight(uint8_t m) { return uint16_t(m + ((m + 1) >> 8)); }
inline uint8_t mask_pixel(uint8_t p, uint8_t m) { return uint8_t((mask_weight(m) * p) >> 8); }

// Overlay picture over the pixel under it: index 255 is transparent.
inline uint8_t overlay_pixel(uint8_t under, uint8_t over) { return over == 255 ? under : over; }

constexpr uint8_t clamp_index(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Skull: T * img / D + img / 4, at most 255, T the texel S further on
// (wrapping in the 256x256 texture), D in 30..170. The division is a
// multiply by m = 2^32 / D + 1: for every product T * img <= 65025 the
// error stays below 1 / D, so the result is exactly the truncated quotient.
struct skull_pixels {
  const uint8_t *tex;
  uint32_t S;  // texture offset of this frame, texels
  uint64_t m;  // 2^32 / D + 1
};
inline skull_pixels skull_frame(const uint8_t *tex, uint32_t S, int D) {
  return {tex, S, (uint64_t(1) << 32) / uint64_t(D) + 1};
}
inline uint8_t skull_pixel(const skull_pixels &f, uint32_t u, uint8_t img) {
  const uint32_t p = uint32_t(f.tex[(f.S + u) & 0xFFFF]) * img;
  const int v = int((p * f.m) >> 32) + (img >> 2);
  return uint8_t(v > 255 ? 255 : v);
}

// Gargoyle: (T2 * c2 >> 8) - (T1 * c1 >> 8) + img / 2, clamped to 0..255;
// T1 the texel A further on, T2 the texel at ~(B + u): the second layer
// reads the texture mirrored in both directions. c1, c2 in 36..204.
struct gargoyle_pixels {
  const uint8_t *tex;
  uint32_t A, B;  // texture offsets of this frame
  int16_t m1[256], m2[256];  // t * c1 >> 8, t * c2 >> 8
};
inline void gargoyle_frame(gargoyle_pixels &f, const uint8_t *tex, uint32_t A, uint32_t B, int c1, int c2) {
  f.tex = tex;
  f.A = A;
  f.B = B;
  for (int t = 0; t < 256; t++) {
    f.m1[t] = int16_t((t * c1) >> 8);
    f.m2[t] = int16_t((t * c2) >> 8);
  }
}
inline uint8_t gargoyle_pixel(const gargoyle_pixels &f, uint32_t u, uint8_t img) {
  return clamp_index(f.m2[f.tex[~(f.B + u) & 0xFFFF]] - f.m1[f.tex[(f.A + u) & 0xFFFF]] + (img >> 1));
}

// Church animation: (T * c1 >> 6) + img / 2, at most 255, T the texel at u
// of this frame's texture.
struct church_pixels {
  const uint8_t *tex;  // this frame's 256x256 texture
  int m1[256];         // t * c1 >> 6
};
inline void church_frame(church_pixels &f, const uint8_t *tex, int c1) {
  f.tex = tex;
  for (int t = 0; t < 256; t++) f.m1[t] = (t * c1) >> 6;
}
inline uint8_t church_pixel(const church_pixels &f, uint32_t u, uint8_t img) {
  const int v = f.m1[f.tex[u]] + (img >> 1);
  return uint8_t(v > 255 ? 255 : v);
}

// Greetings: (T1 * c1 >> 7) + img / 2 - (T2 * c2 >> 9), clamped to 0..255;
// T1, T2 the texels at P1 + u and P2 + u of the tall texture of n bytes.
// Offsets before its start (the first 200 ms, or a negative wobble) read
// texel 0; the upper end stays inside by design, and the unsigned compare
// guards both.
struct greets_pixels {
  const uint8_t *tex;
  uint32_t n;           // bytes of the tall texture
  uint32_t P1, P2;      // offsets of this frame (may be "negative")
  int m1[256], m2[256];  // t * c1 >> 7, t * c2 >> 9
};
inline void greets_frame(greets_pixels &f, const uint8_t *tex, uint32_t n, int32_t P1, int32_t P2, int c1,
                         int c2) {
  f.tex = tex;
  f.n = n;
  f.P1 = uint32_t(P1);
  f.P2 = uint32_t(P2);
  for (int t = 0; t < 256; t++) {
    f.m1[t] = (t * c1) >> 7;
    f.m2[t] = (t * c2) >> 9;
  }
}
inline uint8_t greets_pixel(const greets_pixels &f, uint32_t u, uint8_t img) {
  const uint32_t a = f.P1 + u, b = f.P2 + u;
  const int t1 = a < f.n ? f.tex[a] : 0, t2 = b < f.n ? f.tex[b] : 0;
  return clamp_index(f.m1[t1] + (img >> 1) - f.m2[t2]);
}
