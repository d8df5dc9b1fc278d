// The driver's own scenes. Each draws into the 320x200 frame `vbuf` (or the
// buffer named) from the clock `now` (ms since the loop began) and the
// scene's start times; all per-pixel work is integer.
#pragma once

#include <cstdint>

// Texture scenes: the texture moves over a pre-rendered object through its
// UV map; `img` is the object's shading picture. Each writes all of vbuf.
// skull_start: `now` of the skull scene's first frame.
void uv_skull(const uint8_t *img, const uint16_t *uv, int32_t now, int32_t skull_start);
void uv_gargoyle(const uint8_t *img, const uint16_t *uv, int32_t now);
void uv_church(int32_t now);
// greets_start: `now` of the greetings scene's first frame; pos picks the
// church picture (row bit 4).
void uv_greets(int32_t pos, int32_t now, int32_t greets_start);

// Greetings pixels of `count` UV entries: dst[i] = 0 where uv[i] is
// uncovered, else greets_pixel(f, uv[i], img[i]). `lead` is null or the
// texture's first 65536 bytes after GREETS_LEAD zero bytes: with it, an
// offset down to -GREETS_LEAD (the scene's first 200 ms) runs as fast as
// the others. uv_greets builds it in greets_init(), called at start-up.
constexpr int GREETS_LEAD = 4096;
struct greets_pixels;
void greets_span(const greets_pixels &f, const uint8_t *lead, const uint16_t *uv, const uint8_t *img, uint8_t *dst,
                 int count);
void greets_init();

// Picture scenes.
void strip_scroll(const uint8_t *strip, int32_t now);  // clears vbuf, strip in rows 80..159
// The panorama's window at `now` under its mask (mask_pixel) in rows
// 0..198 of vbuf, row 199 black; the _words form four pixels a word (vbuf
// word-aligned, little-endian). panorama_mask_rows gives the mask's rows
// at `now` for the models drawn over it (row 199 all zero).
void panorama_masked(int32_t now);
void panorama_masked_words(int32_t now);
void panorama_mask_rows(int32_t now, const uint8_t *rows[200]);
void overlay_rosic(uint8_t *out);                       // index 255 of rosic is transparent
// Finds rosic's opaque words for overlay_rosic (which calls it if nobody
// has); at start-up, so no frame pays for it.
void overlay_init();

// Model scenes.
// mask: null, or the rows (200 of 320 bytes or more) each pixel the models
// write is masked by (bare_render_masked).
void spin_models(int32_t pos, int32_t now, const uint8_t *const *mask = nullptr);
void letter_wave(int32_t now, int32_t letters_start);
// Horizontal offsets of the five letters, copied from letter_x_table at
// start-up.
extern const float letter_x_table[5];
extern float letter_x[5];
