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

namespace {

const uint8_t black_row[FRAME_W] = {};  // row 199's mask: nothing shows there

// Four pixels of the window under their mask bytes as one little-endian
// word: each pixel times its mask byte's multiplier (at most 255 * 256, a
// 16 x 16-bit multiply on the target), the products' high bytes put in
// their lanes.
[[maybe_unused]] uint32_t masked_word(const uint8_t *p, const uint8_t *m) {
  const uint32_t r0 = uint32_t(mul_bottom(p[0], mask_weight(m[0])));
  const uint32_t r1 = uint32_t(mul_bottom(p[1], mask_weight(m[1])));
  const uint32_t r2 = uint32_t(mul_bottom(p[2], mask_weight(m[2])));
  const uint32_t r3 = uint32_t(mul_bottom(p[3], mask_weight(m[3])));
  return r0 >> 8 | (r1 & 0xFF00u) | (r2 >> 8) << 16 | (r3 & 0xFF00u) << 16;
}

}  // namespace

// Rows 0..198 only: a window past column 800 runs on into the next
// panorama row, and 199 rows keep the last byte read (at most 159518)
// inside the 160000-byte panorama and its mask.
void panorama_mask_rows(int32_t now, const uint8_t *rows[FRAME_H]) {
  const int m0 = (now / 10) % 800;  // twice the panorama's speed
  for (int y = 0; y < FRAME_H - 1; y++) rows[y] = etumehta + m0 + 800 * y;
  rows[FRAME_H - 1] = black_row;
}

#if defined(__arm__) && defined(__ARM_FEATURE_DSP)
// panorama_masked_words' rows on the target: `rows` rows of 320 pixels into
// dst, each a window of 320 bytes of the panorama and of the mask, the
// next rows 800 bytes on. A line of eight words a burst (one STM, one
// write-buffer entry: the frame is written, never read). Each word: four
// pixels and mask bytes read as bytes (any alignment), the mask byte made
// its multiplier (m + ((m + 1) >> 8)), one SMULBB each, the high bytes of
// the products put in their lanes. r0 the frame, r1 the panorama, r2 the
// mask, r4-r11 the line's words, r3, r12 and lr the pixel in flight; the
// line's and the last row's ends on the stack.
extern "C" void panorama_rows_arm(uint32_t *dst, const uint8_t *p, const uint8_t *m, int rows);
asm(R"(
        .text
        .arm
        .balign 4
        .type   panorama_rows_arm, %function
        .macro  PM_WORD rk
        ldrb    r3, [r2], #1
        ldrb    r12, [r1], #1
        add     lr, r3, #1
        add     r3, r3, lr, lsr #8
        smulbb  \rk, r12, r3
        ldrb    r3, [r2], #1
        ldrb    r12, [r1], #1
        mov     \rk, \rk, lsr #8
        add     lr, r3, #1
        add     r3, r3, lr, lsr #8
        smulbb  r12, r12, r3
        ldrb    r3, [r2], #1
        bic     r12, r12, #0xFF
        orr     \rk, \rk, r12
        ldrb    r12, [r1], #1
        add     lr, r3, #1
        add     r3, r3, lr, lsr #8
        smulbb  r12, r12, r3
        ldrb    r3, [r2], #1
        mov     r12, r12, lsr #8
        orr     \rk, \rk, r12, lsl #16
        ldrb    r12, [r1], #1
        add     lr, r3, #1
        add     r3, r3, lr, lsr #8
        smulbb  r12, r12, r3
        bic     r12, r12, #0xFF
        orr     \rk, \rk, r12, lsl #16
        .endm
panorama_rows_arm:
        push    {r4-r11, lr}
        add     r3, r3, r3, lsl #2
        add     r3, r0, r3, lsl #6
        add     r4, r0, #320
        push    {r3, r4}
1:      PM_WORD r4
        PM_WORD r5
        PM_WORD r6
        PM_WORD r7
        PM_WORD r8
        PM_WORD r9
        PM_WORD r10
        PM_WORD r11
        stmia   r0!, {r4-r11}
        ldr     r3, [sp, #4]
        cmp     r0, r3
        bne     1b
        add     r1, r1, #480
        add     r2, r2, #480
        add     r3, r3, #320
        str     r3, [sp, #4]
        ldr     r3, [sp]
        cmp     r0, r3
        bne     1b
        add     sp, sp, #8
        pop     {r4-r11, pc}
        .size   panorama_rows_arm, . - panorama_rows_arm
        .purgem PM_WORD
)");
#endif

// Four pixels a word (the frame word-aligned, little-endian): on the
// target with the DSP multiplies a line of eight words a burst, by
// panorama_rows_arm.
void panorama_masked_words(int32_t now) {
  static_assert(FRAME_W == 320);
  const int c = (now / 20) % 800;
  const int m0 = (now / 10) % 800;
#if defined(__arm__) && defined(__ARM_FEATURE_DSP)
  panorama_rows_arm(reinterpret_cast<uint32_t *>(vbuf), takamehta + c, etumehta + m0, FRAME_H - 1);
#else
  for (int y = 0; y < FRAME_H - 1; y++) {
    const uint8_t *p = takamehta + c + 800 * y;
    const uint8_t *m = etumehta + m0 + 800 * y;
    uint32_t *w = reinterpret_cast<uint32_t *>(vbuf + y * FRAME_W);
    for (int x = 0; x < FRAME_W; x += 4, p += 4, m += 4, w++) *w = masked_word(p, m);
  }
#endif
  std::memset(vbuf + (FRAME_H - 1) * FRAME_W, 0, FRAME_W);
}

// The target, with its single-cycle 16-bit multiplies, takes the word form;
// elsewhere the compiler does better with the bytes.
void panorama_masked(int32_t now) {
#if defined(__ARM_FEATURE_DSP)
  if (std::endian::native == std::endian::little && reinterpret_cast<uintptr_t>(vbuf) % 4 == 0) {
    panorama_masked_words(now);
    return;
  }
#endif
  const int c = (now / 20) % 800;
  const int m0 = (now / 10) % 800;
  for (int y = 0; y < FRAME_H - 1; y++) {
    const uint8_t *p = takamehta + c + 800 * y;
    const uint8_t *m = etumehta + m0 + 800 * y;
    uint8_t *o = vbuf + y * FRAME_W;
    for (int x = 0; x < FRAME_W; x++) o[x] = mask_pixel(p[x], m[x]);
  }
  std::memset(vbuf + (FRAME_H - 1) * FRAME_W, 0, FRAME_W);
}

namespace {

// rosic's opaque lanes, found once: runs of words with all four pixels
// opaque (copied as they are) and the words with some (mixed lane by lane).
// The frame's other words are never read or written. A picture with more
// runs than these hold takes the whole-frame path instead.
constexpr int OVERLAY_RUNS = 1024, OVERLAY_MIXED = 1024;
struct word_run {
  uint16_t first, count;  // word index in the frame (0..15999), words
};
word_run overlay_runs[OVERLAY_RUNS];
uint16_t overlay_mixed[OVERLAY_MIXED];  // word index
uint32_t overlay_lanes[OVERLAY_MIXED];  // 0xFF in the opaque lanes
int overlay_run_count, overlay_mixed_count;
enum { OVERLAY_UNKNOWN, OVERLAY_SPARSE, OVERLAY_DENSE } overlay_kind = OVERLAY_UNKNOWN;

uint32_t rosic_word(int i) {
  uint32_t w;
  std::memcpy(&w, rosic + 4 * i, 4);
  return w;
}

// Four pixels a word over the whole frame: the lanes of rosic that are not
// 255 replace those under them (overlay_pixel per lane).
void overlay_words(uint8_t *o) {
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

// n words from src to dst, eight a burst while they last (a short run
// costs less than a call of memcpy).
void copy_words(uint32_t *dst, const uint32_t *src, int n) {
  for (; n >= 8; n -= 8, dst += 8, src += 8)
    store_words8(dst, src[0], src[1], src[2], src[3], src[4], src[5], src[6], src[7]);
  for (; n > 0; n--) *dst++ = *src++;
}

}  // namespace

void overlay_init() {
  static_assert(FRAME_BYTES % 4 == 0 && FRAME_BYTES / 4 <= 65536);
  overlay_run_count = overlay_mixed_count = 0;
  overlay_kind = OVERLAY_SPARSE;
  for (int i = 0; i < FRAME_BYTES / 4; i++) {
    const uint32_t mine = nonzero_lanes(~rosic_word(i));
    if (mine == 0xFFFFFFFFu) {
      word_run *last = overlay_run_count > 0 ? &overlay_runs[overlay_run_count - 1] : nullptr;
      if (last != nullptr && last->first + last->count == i) {
        last->count++;
      } else if (overlay_run_count < OVERLAY_RUNS) {
        overlay_runs[overlay_run_count++] = {uint16_t(i), 1};
      } else {
        overlay_kind = OVERLAY_DENSE;
        return;
      }
    } else if (mine != 0) {
      if (overlay_mixed_count == OVERLAY_MIXED) {
        overlay_kind = OVERLAY_DENSE;
        return;
      }
      overlay_mixed[overlay_mixed_count] = uint16_t(i);
      overlay_lanes[overlay_mixed_count++] = mine;
    }
  }
}

// Word-aligned frames (rosic is) take the words: the runs, then the mixed
// words; others go byte by byte.
void overlay_rosic(uint8_t *out) {
  if (reinterpret_cast<uintptr_t>(out) % 4 != 0 || reinterpret_cast<uintptr_t>(rosic) % 4 != 0) {
    for (int i = 0; i < FRAME_BYTES; i++) out[i] = overlay_pixel(out[i], rosic[i]);
    return;
  }
  if (overlay_kind == OVERLAY_UNKNOWN) overlay_init();
  uint8_t *o = static_cast<uint8_t *>(__builtin_assume_aligned(out, 4));
  if (overlay_kind == OVERLAY_DENSE) {
    overlay_words(o);
    return;
  }
  const uint32_t *r = static_cast<const uint32_t *>(__builtin_assume_aligned(static_cast<const void *>(rosic), 4));
  uint32_t *words = reinterpret_cast<uint32_t *>(o);
  for (int k = 0; k < overlay_run_count; k++) {
    const word_run run = overlay_runs[k];
    copy_words(words + run.first, r + run.first, run.count);
  }
  for (int k = 0; k < overlay_mixed_count; k++) {
    const int i = overlay_mixed[k];
    const uint32_t mine = overlay_lanes[k];
    words[i] = (r[i] & mine) | (words[i] & ~mine);
  }
}
