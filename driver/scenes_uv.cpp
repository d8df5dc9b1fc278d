// Texture scenes: a moving texture wrapped around a pre-rendered object.
// Per pixel: look the UV entry up (0xFFFF = background, index 0), read the
// texel at the entry plus this frame's offset, combine it with the shading
// pixel, clamp to 0..255. The sines are per frame, never per pixel.
#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "maths/cr.h"

namespace {

constexpr uint16_t UNCOVERED = 0xFFFF;

inline uint8_t clamp255(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// UV maps are stored little-endian; the machine is little-endian too, so
// they are read as they are.
const uint16_t *uv_of(const uint8_t *map) { return reinterpret_cast<const uint16_t *>(map); }

// c1 and c2 of the church and gargoyle formulas, 36..204.
int pulse(int32_t now, double rate) { return int(cr_sin(now * rate) * 84 + 120); }

// Rebuilds auxbuf as kiehkura revealed from the bottom row up: row y shows
// once 260 - y < r, r = elapsed / 40.
void reveal(int32_t elapsed) {
  const int r = elapsed / 40;
  for (int y = 255; y >= 0; y--) {
    if (260 - y < r)
      std::memcpy(auxbuf + 256 * y, kiehkura + 256 * y, 256);
    else
      std::memset(auxbuf + 256 * y, 0, 256);
  }
}

}  // namespace

void uv_skull(const uint8_t *img, const uint16_t *uv, int32_t now, int32_t skull_start) {
  const int32_t elapsed = now - skull_start;
  const uint8_t *tex = kiehkura;
  if (elapsed < 10240) {
    reveal(elapsed);
    tex = auxbuf;
  }
  const uint32_t S = uint32_t(256 * (now / 20));
  const int D = int(cr_sin(now * 0.02) * 70 + 100);  // 30..170
  // (t * img) / D for t * img <= 65025 as a multiply by an exact reciprocal:
  // with m = 2^32 / D + 1 the error stays below one for every such product.
  const uint64_t m = (uint64_t(1) << 32) / uint64_t(D) + 1;
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    if (u == UNCOVERED) {
      vbuf[i] = 0;
      continue;
    }
    const uint32_t p = uint32_t(tex[(S + u) & 0xFFFF]) * img[i];
    const int v = int((p * m) >> 32) + (img[i] >> 2);
    vbuf[i] = uint8_t(v > 255 ? 255 : v);
  }
}

void uv_gargoyle(const uint8_t *img, const uint16_t *uv, int32_t now) {
  const uint32_t A = uint32_t(256 * (now / 9) + int(40 * cr_sin(now * (1.0 / 700))));
  const uint32_t B = uint32_t(256 * (now / 11) + int(40 * cr_sin(now * (1.0 / 771))));
  const int c1 = pulse(now, 1.0 / 150), c2 = pulse(now, 1.0 / 130);
  int16_t m1[256], m2[256];
  for (int t = 0; t < 256; t++) {
    m1[t] = int16_t((t * c1) >> 8);
    m2[t] = int16_t((t * c2) >> 8);
  }
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    if (u == UNCOVERED) {
      vbuf[i] = 0;
      continue;
    }
    // The second layer reads the texture mirrored in both directions.
    const int v = m2[kiehkura[~(B + u) & 0xFFFF]] - m1[kiehkura[(A + u) & 0xFFFF]] + (img[i] >> 1);
    vbuf[i] = clamp255(v);
  }
}

void uv_church(int32_t now) {
  const uint8_t *tex = dracula + 65536 * ((now / 100) % 29);
  const uint16_t *uv = uv_of(kirkkotc);
  const int c1 = pulse(now, 1.0 / 150);
  int m1[256];
  for (int t = 0; t < 256; t++) m1[t] = (t * c1) >> 6;
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    if (u == UNCOVERED) {
      vbuf[i] = 0;
      continue;
    }
    const int v = m1[tex[u]] + (kirkko[i] >> 1);
    vbuf[i] = uint8_t(v > 255 ? 255 : v);
  }
}

void uv_greets(int32_t pos, int32_t now, int32_t greets_start) {
  const bool second = ((pos % 100) & 16) != 0;
  const uint8_t *img = second ? kirkko2 : kirkko;
  const uint16_t *uv = uv_of(second ? kirkko2tc : kirkkotc);
  const int32_t e = now - greets_start;
  const int32_t P1 = 256 * ((e / 20) % 999) + int(30 * cr_sin(now * 0.002));
  const int32_t P2 = 256 * (((e - 200) / 20) % 999) + int(20 * cr_sin(now * 0.002) + 0.2);
  const int c1 = pulse(now, 1.0 / 150), c2 = pulse(now, 1.0 / 130);
  int m1[256], m2[256];
  for (int t = 0; t < 256; t++) {
    m1[t] = (t * c1) >> 7;
    m2[t] = (t * c2) >> 9;
  }
  // Offsets before the start of the tall texture (the first 200 ms, or a
  // negative wobble) read texel 0; the upper end stays inside by design,
  // and the unsigned compare guards both.
  constexpr uint32_t N = sizeof greets;
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    if (u == UNCOVERED) {
      vbuf[i] = 0;
      continue;
    }
    const uint32_t a = uint32_t(P1) + u, b = uint32_t(P2) + u;
    const int t1 = a < N ? greets[a] : 0, t2 = b < N ? greets[b] : 0;
    vbuf[i] = clamp255(m1[t1] + (img[i] >> 1) - m2[t2]);
  }
}
