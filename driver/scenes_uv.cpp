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

namespace {

// clamp_index for v in -128..639, at clamp_table.v[v + 128]: with m1 at
// most 512 and m2 at most 128, the greetings' sum stays inside.
struct clamp_table {
  uint8_t v[768];
};
constexpr clamp_table make_clamp_table() {
  clamp_table t{};
  for (int i = 0; i < 768; i++) t.v[i] = clamp_index(i - 128);
  return t;
}
alignas(32) constexpr clamp_table clamp_of = make_clamp_table();
static_assert(clamp_of.v[0] == 0 && clamp_of.v[128 + 255] == 255 && clamp_of.v[767] == 255);

// The greets texture's first 65536 bytes after GREETS_LEAD zeros.
alignas(32) uint8_t greets_lead[GREETS_LEAD + 65536];

// One run of greets_span's fast path: the texel of UV entry u is tp1[u]
// (tp2[u]) for every u, 0xFFFF included; end - dst a multiple of 8.
struct greets_run_args {
  const uint8_t *tp1, *tp2;
  const int *m1, *m2;
  const uint8_t *clamp;  // clamp_of.v + 128
  const uint16_t *uv;    // word-aligned
  const uint8_t *img;
  uint8_t *dst;          // word-aligned
  uint8_t *end;
};

#if defined(__arm__)
extern "C" void greets_run_arm(const greets_run_args *a);
// Eight pixels a round, two at a time from one word of UV entries (the low
// entry shifted to the top, so both index the texture as a shifted
// register); four results leave as one word. Each pixel: two texels, their
// factors, the image's half, the clamp, and the uncovered test (cmn: the
// entry 0xFFFF carries out) deciding whether the result goes in. The
// pixels of a pair overlap so that no load's result is used by the next
// instruction; r0-r8 hold the arguments, r9 the UV word, r10 the word
// being built, r11, r12 and lr the pixel in flight.
asm(R"(
        .text
        .arm
        .balign 4
        .type   greets_run_arm, %function
        @ first of a pair: the low entry's first texel
        .macro  GR_HEAD
        mov     r11, r9, lsl #16
        ldrb    r12, [r0, r11, lsr #16]
        .endm
        @ the rest of the low pixel (into bits sa..sa+7 of r10), and the
        @ high pixel up to its clamped value in lr; prefetch: the next UV
        @ word into r9
        .macro  GR_REST sa, prefetch
        ldrb    lr, [r1, r11, lsr #16]
        cmn     r11, #0x10000
        ldrb    r11, [r6], #1
        ldr     r12, [r2, r12, lsl #2]
        ldr     lr, [r3, lr, lsl #2]
        add     r12, r12, r11, lsr #1
        sub     r12, r12, lr
        ldrb    r12, [r4, r12]
        ldrb    lr, [r0, r9, lsr #16]
        ldrb    r11, [r1, r9, lsr #16]
        .if \sa == 0
        movcc   r10, r12
        movcs   r10, #0
        .else
        orrcc   r10, r10, r12, lsl #\sa
        .endif
        cmn     r9, #0x10000
        .if \prefetch
        ldr     r9, [r5], #4
        .endif
        ldrb    r12, [r6], #1
        ldr     lr, [r2, lr, lsl #2]
        ldr     r11, [r3, r11, lsl #2]
        add     lr, lr, r12, lsr #1
        sub     lr, lr, r11
        ldrb    lr, [r4, lr]
        .endm
        @ the high pixel into bits sb..sb+7 (the flags of its cmn still set)
        .macro  GR_TAIL sb
        orrcc   r10, r10, lr, lsl #\sb
        .endm
greets_run_arm:
        push    {r4-r11, lr}
        ldm     r0, {r0-r8}
1:      ldr     r9, [r5], #4
        GR_HEAD
        GR_REST 0, 1
        GR_HEAD
        GR_TAIL 8
        GR_REST 16, 1
        GR_HEAD
        GR_TAIL 24
        str     r10, [r7], #4
        GR_REST 0, 1
        GR_HEAD
        GR_TAIL 8
        GR_REST 16, 0
        GR_TAIL 24
        str     r10, [r7], #4
        cmp     r7, r8
        bne     1b
        pop     {r4-r11, pc}
        .size   greets_run_arm, . - greets_run_arm
        .purgem GR_HEAD
        .purgem GR_REST
        .purgem GR_TAIL
)");
#endif

void greets_run(const greets_run_args &a) {
#if defined(__arm__)
  greets_run_arm(&a);
#else
  const uint16_t *uv = a.uv;
  const uint8_t *img = a.img;
  for (uint8_t *d = a.dst; d != a.end; d++, uv++, img++) {
    const uint32_t u = *uv;
    *d = u == UV_UNCOVERED ? 0 : a.clamp[a.m1[a.tp1[u]] + (*img >> 1) - a.m2[a.tp2[u]]];
  }
#endif
}

// Where the texel of entry u is for every u, offset P: the texture itself,
// the lead's copy for a small negative P, or null when neither holds.
const uint8_t *texel_base(const greets_pixels &f, const uint8_t *lead, uint32_t P) {
  if (f.n >= 65536 && P <= f.n - 65536) return f.tex + P;
  if (lead != nullptr && int32_t(P) < 0 && int32_t(P) >= -GREETS_LEAD) return lead + GREETS_LEAD + int32_t(P);
  return nullptr;
}

}  // namespace

void greets_init() {
  static_assert(sizeof greets >= 65536);
  std::memcpy(greets_lead + GREETS_LEAD, greets, 65536);
}

void greets_span(const greets_pixels &f, const uint8_t *lead, const uint16_t *uv, const uint8_t *img, uint8_t *dst,
                 int count) {
  const uint8_t *tp1 = texel_base(f, lead, f.P1), *tp2 = texel_base(f, lead, f.P2);
  // The factors grow with t from 0 (c1, c2 >= 0): their ends bound the sum.
  const bool fits = f.m1[255] >= 0 && f.m1[255] <= 512 && f.m2[255] >= 0 && f.m2[255] <= 128;
  const bool words = reinterpret_cast<uintptr_t>(uv) % 4 == 0 && reinterpret_cast<uintptr_t>(dst) % 4 == 0;
  if (tp1 != nullptr && tp2 != nullptr && fits && words && count % 8 == 0) {
    greets_run({tp1, tp2, f.m1, f.m2, clamp_of.v + 128, uv, img, dst, dst + count});
    return;
  }
  for (int i = 0; i < count; i++) {
    const uint32_t u = uv[i];
    dst[i] = u == UV_UNCOVERED ? 0 : greets_pixel(f, u, img[i]);
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
  greets_span(f, greets_lead, uv, img, vbuf, FRAME_BYTES);
}
