// Texture scenes: a moving texture wrapped around a pre-rendered object.
// Per pixel: look the UV entry up (0xFFFF = background, index 0), read the
// texel at the entry plus this frame's offset, combine it with the shading
// pixel, clamp to 0..255. The sines are per frame, never per pixel.
#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "driver/script.h"
#include "fx/scene_pixels.h"
#include "maths/cr.h"

namespace {

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
  const skull_pixels f = skull_frame(tex, S, D);
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    vbuf[i] = u == UV_UNCOVERED ? 0 : skull_pixel(f, u, img[i]);
  }
}

void uv_gargoyle(const uint8_t *img, const uint16_t *uv, int32_t now) {
  const uint32_t A = uint32_t(256 * (now / 9) + int(40 * cr_sin(now * (1.0 / 700))));
  const uint32_t B = uint32_t(256 * (now / 11) + int(40 * cr_sin(now * (1.0 / 771))));
  gargoyle_pixels f;
  gargoyle_frame(f, kiehkura, A, B, pulse(now, 1.0 / 150), pulse(now, 1.0 / 130));
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    vbuf[i] = u == UV_UNCOVERED ? 0 : gargoyle_pixel(f, u, img[i]);
  }
}

void uv_church(int32_t now) {
  const uint16_t *uv = uv_of(kirkkotc);
  church_pixels f;
  church_frame(f, dracula + 65536 * ((now / 100) % 29), pulse(now, 1.0 / 150));
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    vbuf[i] = u == UV_UNCOVERED ? 0 : church_pixel(f, u, kirkko[i]);
  }
}

void uv_greets(int32_t pos, int32_t now, int32_t greets_start) {
  const bool second = ((pos % 100) & GREETS_ROW_BIT) != 0;
  const uint8_t *img = second ? kirkko2 : kirkko;
  const uint16_t *uv = uv_of(second ? kirkko2tc : kirkkotc);
  const int32_t e = now - greets_start;
  const int32_t P1 = 256 * ((e / 20) % 999) + int(30 * cr_sin(now * 0.002));
  const int32_t P2 = 256 * (((e - 200) / 20) % 999) + int(20 * cr_sin(now * 0.002) + 0.2);
  greets_pixels f;
  greets_frame(f, greets, sizeof greets, P1, P2, pulse(now, 1.0 / 150), pulse(now, 1.0 / 130));
  for (int i = 0; i < FRAME_BYTES; i++) {
    const uint32_t u = uv[i];
    vbuf[i] = u == UV_UNCOVERED ? 0 : greets_pixel(f, u, img[i]);
  }
}
