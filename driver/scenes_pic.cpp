// Strip, panorama and overlay scenes: byte copies and one test per byte.
#include <bit>
#include <cstdint>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "fx/scene_pixels.h"
#include "maths/words.h"

void strip_scroll(const uint8_t *strip, int32_t now) {
  // Black above and below the strip's rows 80..159, which are copied whole:
  // in bursts of eight words, the fewest write-buffer entries on the target.
  fill_bytes(vbuf, 80 * FRAME_W, 0);
  fill_bytes(vbuf + 160 * FRAME_W, FRAME_BYTES - 160 * FRAME_W, 0);
  const int off = (now / 40) % 512;  // one column every 40 ms, wrapping at 512
  for (int r = 0; r < 80; r++) {
    const uint8_t *src = strip + 512 * r;
    uint8_t *dst = vbuf + (80 + r) * FRAME_W;
    // The window wraps at column 512: at most two runs per row.
    const int first = 512 - off < FRAME_W ? 512 - off : FRAME_W;
    std::memcpy(dst, src + off, first);
    std::memcpy(dst + first, src, FRAME_W - first);
  }
}

// Rows 0..198 only: a window past column 800 runs on into the next
// panorama row, and 199 rows keep the last byte read (at most 159518)
// inside the 160000-byte panorama.
void panorama_window(int32_t now) {
  const int c = (now / 20) % 800;
  for (int y = 0; y < 199; y++) std::memcpy(vbuf + y * FRAME_W, takamehta + c + 800 * y, FRAME_W);
}

// Four pixels a word (the frame word-aligned, little-endian): pixels 0 and
// 2 and pixels 1 and 3 as two words of 16-bit lanes, each lane times its
// mask byte's multiplier (at most 255 * 256, a 16 x 16-bit multiply on the
// target), the results' high bytes put back in their lanes and stored as
// one word.
void panorama_mask_words(int32_t now) {
  const int m0 = (now / 10) % 800;
  for (int y = 0; y < 199; y++) {
    const uint8_t *m = etumehta + m0 + 800 * y;
    uint32_t *w = reinterpret_cast<uint32_t *>(vbuf + y * FRAME_W);
    for (int x = 0; x < FRAME_W; x += 4, m += 4, w++) {
      const uint32_t v = *w, even = v & 0x00FF00FFu, odd = (v >> 8) & 0x00FF00FFu;
      const uint32_t r0 = uint32_t(mul_bottom(even, mask_weight(m[0])));
      const uint32_t r1 = uint32_t(mul_bottom(odd, mask_weight(m[1])));
      const uint32_t r2 = uint32_t(mul_top(even, mask_weight(m[2])));
      const uint32_t r3 = uint32_t(mul_top(odd, mask_weight(m[3])));
      *w = r0 >> 8 | (r1 & 0xFF00u) | (r2 >> 8) << 16 | (r3 & 0xFF00u) << 16;
    }
  }
}

// The mask read as it is stored, one byte a pixel (the picture's own 160 KB
// rather than a table of multipliers twice its size), each byte made its
// multiplier in registers (mask_weight). The target, with its single-cycle
// 16-bit multiplies, takes the word form; elsewhere the compiler does
// better with the bytes.
void panorama_mask(int32_t now) {
#if defined(__ARM_FEATURE_DSP)
  if (std::endian::native == std::endian::little && reinterpret_cast<uintptr_t>(vbuf) % 4 == 0) {
    panorama_mask_words(now);
    return;
  }
#endif
  const int m0 = (now / 10) % 800;  // twice the panorama's speed
  for (int y = 0; y < 199; y++) {
    const uint8_t *m = etumehta + m0 + 800 * y;
    uint8_t *p = vbuf + y * FRAME_W;
    for (int x = 0; x < FRAME_W; x++) p[x] = uint8_t((mask_weight(m[x]) * p[x]) >> 8);  // 0 gives 0
  }
}

// Four pixels a word where both pictures are word-aligned: the lanes of
// rosic that are not 255 replace those under them (overlay_pixel per lane).
void overlay_rosic(uint8_t *out) {
  static_assert(FRAME_BYTES % 4 == 0);
  if (reinterpret_cast<uintptr_t>(out) % 4 != 0 || reinterpret_cast<uintptr_t>(rosic) % 4 != 0) {
    for (int i = 0; i < FRAME_BYTES; i++) out[i] = overlay_pixel(out[i], rosic[i]);
    return;
  }
  uint8_t *o = static_cast<uint8_t *>(__builtin_assume_aligned(out, 4));
  const uint8_t *r = static_cast<const uint8_t *>(__builtin_assume_aligned(rosic, 4));
  for (int i = 0; i < FRAME_BYTES; i += 4) {
    uint32_t over, under;
    std::memcpy(&over, r + i, 4);
    std::memcpy(&under, o + i, 4);
    const uint32_t mine = nonzero_lanes(~over);  // lanes where over != 255
    const uint32_t w = (over & mine) | (under & ~mine);
    std::memcpy(o + i, &w, 4);
  }
}
