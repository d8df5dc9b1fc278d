// The window, full screen, the pixel scale, the palette's pixel table and
// presenting a frame.
#include "driver/screen.h"

#include "assets/assets.h"
#include "driver/demo.h"
#include "maths/words.h"

#include <SDL.h>

#include <bit>
#include <cstring>

SDL_Surface *scr;
uint16_t pixtab[256];
int screen_scale = 1;
int screen_left = 0;
int screen_top = 0;
bool screen_fullscreen = false;

namespace {

constexpr int AREA_W = 320, AREA_H = 240;  // the picture area at scale 1

int window_scale = 1;      // the scale of the windowed mode
bool over_sdl2;            // SDL 1.2 over SDL 2: each switch needs a new window
                           // and each update costs a whole render (see screen_open)
int display_w, display_h;  // the desktop's size; 0 when SDL cannot tell
int display_bpp;           // the desktop's bits per pixel; 0 when unknown

// A 32-bit window is written in its own format: SDL's conversion of a 16-bit
// surface costs several times the scaling itself. pixtab then holds RGB565
// values (the format SDL gives a 16-bit surface, plain window included) and
// `wide` their window values, converted by SDL's own blit from `from16` to
// `to_wide`, so every colour is exactly what the 16-bit window would show.
SDL_Surface *from16, *to_wide;  // 256x1, made when a 32-bit mode is set
uint32_t wide[256];
uint16_t wide_of[256];  // the pixtab that `wide` was converted from
bool wide_stale = true;

void free_wide() {
  SDL_FreeSurface(from16);
  SDL_FreeSurface(to_wide);
  from16 = to_wide = nullptr;
}

// Makes the conversion surfaces for a 32-bit scr; returns 0 if it cannot.
int make_wide() {
  free_wide();
  from16 = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
  const SDL_PixelFormat *f = scr->format;
  to_wide = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 1, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
  wide_stale = true;
  return from16 && to_wide;
}

void update_wide() {
  if (!wide_stale && std::memcmp(wide_of, pixtab, sizeof pixtab) == 0) return;
  std::memcpy(wide_of, pixtab, sizeof pixtab);
  std::memcpy(from16->pixels, pixtab, sizeof pixtab);
  SDL_BlitSurface(from16, nullptr, to_wide, nullptr);
  std::memcpy(wide, to_wide->pixels, sizeof wide);
  wide_stale = false;
}

// What the window shows now: the frame and the pixtab it was converted
// through. A loop turn whose frame and colours are both unchanged sends
// nothing: on SDL 1.2 over SDL2 every update uploads and renders the whole
// window, which at 125 turns a second costs more than drawing the demo.
uint8_t shown[FRAME_W * FRAME_H];
uint16_t shown_tab[256];
bool shown_valid = false;  // false after a mode change cleared the window

// True when out through pixtab is already on the window; else records it.
// Over SDL 2 only: on classic SDL 1.2 an update costs less than the two
// 64,000-byte passes of the comparison, which on a small ARM device would
// add to every frame that did change.
bool already_shown(const uint8_t *out) {
  if (!over_sdl2) return false;
  if (shown_valid && std::memcmp(shown, out, sizeof shown) == 0 &&
      std::memcmp(shown_tab, pixtab, sizeof shown_tab) == 0)
    return true;
  std::memcpy(shown, out, sizeof shown);
  std::memcpy(shown_tab, pixtab, sizeof shown_tab);
  shown_valid = true;
  return false;
}

// The scaled modes take the display's own depth when it is 32 bits.
int mode_bpp(int scale, Uint32 flags) {
  if (scale == 1 && flags == 0) return 16;  // the plain window, as designed
  return display_bpp == 32 ? 32 : 16;
}

void clear_window() {
  if (SDL_MUSTLOCK(scr)) SDL_LockSurface(scr);
  for (int y = 0; y < scr->h; y++)
    std::memset(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch, 0,
                size_t(scr->w) * scr->format->BytesPerPixel);
  if (SDL_MUSTLOCK(scr)) SDL_UnlockSurface(scr);
}

struct mode {
  int scale, w, h;
  Uint32 flags;
};

// The window at window_scale, or full screen: the display's size at the
// largest scale that fits it.
mode choose_mode(bool fullscreen) {
  if (!fullscreen) return {window_scale, AREA_W * window_scale, AREA_H * window_scale, 0};
  // Without the display's size, full screen is the scaled area itself.
  if (display_w <= 0) return {window_scale, AREA_W * window_scale, AREA_H * window_scale, SDL_FULLSCREEN};
  const int s = screen_fit_scale(display_w, display_h);
  // A display smaller than the area at scale 1 gets the area's size (SDL
  // picks the nearest mode), so the picture never runs off the surface.
  return {s, display_w > AREA_W * s ? display_w : AREA_W * s, display_h > AREA_H * s ? display_h : AREA_H * s,
          SDL_FULLSCREEN};
}

// Sets the window (fullscreen false) or full screen and clears it to black.
// Returns 1, or 0 with scr null.
int set_mode(bool fullscreen) {
  const mode m = choose_mode(fullscreen);
  scr = SDL_SetVideoMode(m.w, m.h, mode_bpp(m.scale, m.flags), m.flags);
  if (!scr) return 0;
  const int bytes = scr->format->BytesPerPixel;
  if (bytes == 4 ? !make_wide() : bytes != 2) return 0;
  screen_scale = m.scale;
  shown_valid = false;
  screen_fullscreen = fullscreen;
  // SDL may give a larger full-screen mode than asked: centre in what it gave.
  screen_left = scr->w > AREA_W * m.scale ? (scr->w - AREA_W * m.scale) / 2 : 0;
  screen_top = scr->h > AREA_H * m.scale ? (scr->h - AREA_H * m.scale) / 2 : 0;
  // The only writes outside the picture: the bands and the border.
  clear_window();
  // The plain window never updates its bands: its picture rectangle is all
  // it ever sends, as it always did.
  if (m.scale != 1 || m.flags != 0) SDL_UpdateRect(scr, 0, 0, 0, 0);
  return 1;
}

// The title and the hidden cursor, on every new window.
void dress_window() {
  SDL_WM_SetCaption("Ulvenor Tarquel", nullptr);
  SDL_ShowCursor(0);
}

// Closes and opens SDL's video, so the next mode gets a window of its own.
// Returns 0, with SDL's reason, when video cannot be opened again.
int reopen_video() {
  free_wide();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  scr = nullptr;
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

template <class Pixel>
void scale_frame(const uint8_t *out, const Pixel *tab, uint8_t *pixels, int pitch, int scale) {
  const size_t row_bytes = size_t(FRAME_W) * scale * sizeof(Pixel);
  for (int y = 0; y < FRAME_H; y++) {
    uint8_t *first = pixels + size_t(y + FRAME_TOP) * scale * pitch;
    Pixel *d = reinterpret_cast<Pixel *>(first);
    const uint8_t *src = out + y * FRAME_W;
    for (int x = 0; x < FRAME_W; x++) {
      const Pixel v = tab[src[x]];
      for (int k = 0; k < scale; k++) *d++ = v;
    }
    for (int k = 1; k < scale; k++) std::memcpy(first + size_t(k) * pitch, first, row_bytes);
  }
}

}  // namespace

int screen_fit_scale(int w, int h) {
  int s = w / AREA_W < h / AREA_H ? w / AREA_W : h / AREA_H;
  return s < 1 ? 1 : s > SCREEN_MAXSCALE ? SCREEN_MAXSCALE : s;
}

int screen_offscreen() {
  scr = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
  if (!scr) return 0;
  std::memset(scr->pixels, 0, size_t(scr->pitch) * 240);
  return 1;
}

int screen_open(int scale, bool fullscreen) {
  const SDL_VideoInfo *info = SDL_GetVideoInfo();
  display_w = info ? info->current_w : 0;
  display_h = info ? info->current_h : 0;
  display_bpp = info && info->vfmt ? info->vfmt->BitsPerPixel : 0;
  window_scale = scale < 1 ? 1 : scale > SCREEN_MAXSCALE ? SCREEN_MAXSCALE : scale;
  // SDL 1.2 over SDL 2 (sdl12-compat, which reports 1.2.50 and later;
  // classic SDL 1.2 ends at 1.2.15) switches to full screen by enlarging the
  // window where it stands: without a window manager to move it, the
  // full-screen window keeps the small one's corner and the picture runs off
  // the display. A window made full screen from the start sits at the
  // display's corner, so each switch there opens video afresh.
  over_sdl2 = SDL_Linked_Version()->patch >= 50;
  if (!set_mode(fullscreen)) return 0;
  dress_window();
  return 1;
}

int screen_toggle_fullscreen() {
  const bool was = screen_fullscreen;
  if (over_sdl2 && !reopen_video()) return 0;
  if (set_mode(!was) || set_mode(was)) {
    if (over_sdl2) dress_window();
    remap_palette();
    return 1;
  }
  return 0;
}

void screen_show_again() { shown_valid = false; }

const SDL_PixelFormat *screen_pixtab_format() {
  return scr->format->BytesPerPixel == 2 || !from16 ? scr->format : from16->format;
}

namespace {
const uint8_t *mapped = pal_black;  // the palette pixtab was last mapped from
}  // namespace

void map_palette(const uint8_t *pal) {
  mapped = pal;
  const SDL_PixelFormat *f = screen_pixtab_format();
  for (int k = 0; k < 256; k++) pixtab[k] = uint16_t(SDL_MapRGB(f, pal[3 * k], pal[3 * k + 1], pal[3 * k + 2]));
}

void remap_palette() { map_palette(mapped); }

namespace {

// pixtab widened to words for the conversion: an indexed word load takes
// the scaled index in the instruction, a halfword load needs an extra add
// on the target.
uint32_t pixwords[256];

// One row of 320 pixels, 16 a step: two pixels leave as one aligned word,
// the first in the low half as little-endian memory wants it, and the
// step's eight words as one burst (the surface is written, never read, so
// its lines are not cached). Neither inlined nor cloned for its constant
// argument: with the table's address in a register the target loads each
// entry in one instruction, base plus scaled index.
[[gnu::noinline, gnu::noclone]] void convert_row_words(const uint8_t *src, uint32_t *dst, const uint32_t *tab) {
  static_assert(FRAME_W % 16 == 0);
  for (const uint8_t *end = src + FRAME_W; src != end; src += 16, dst += 8)
    store_words8(dst, tab[src[0]] | tab[src[1]] << 16, tab[src[2]] | tab[src[3]] << 16,
                 tab[src[4]] | tab[src[5]] << 16, tab[src[6]] | tab[src[7]] << 16,
                 tab[src[8]] | tab[src[9]] << 16, tab[src[10]] | tab[src[11]] << 16,
                 tab[src[12]] | tab[src[13]] << 16, tab[src[14]] | tab[src[15]] << 16);
}

}  // namespace

void convert_frame(const uint8_t *out, uint8_t *pixels, int pitch) {
  const bool words = std::endian::native == std::endian::little &&
                     reinterpret_cast<uintptr_t>(pixels) % 4 == 0 && pitch % 4 == 0;
  if (!words) {
    for (int y = 0; y < FRAME_H; y++) {
      uint16_t *row = reinterpret_cast<uint16_t *>(pixels + (y + FRAME_TOP) * pitch);
      const uint8_t *src = out + y * FRAME_W;
      for (int x = 0; x < FRAME_W; x++) row[x] = pixtab[src[x]];
    }
    return;
  }
  for (int k = 0; k < 256; k++) pixwords[k] = pixtab[k];
  for (int y = 0; y < FRAME_H; y++)
    convert_row_words(out + y * FRAME_W, reinterpret_cast<uint32_t *>(pixels + (y + FRAME_TOP) * pitch), pixwords);
}

void convert_frame_scaled(const uint8_t *out, uint8_t *pixels, int pitch, int scale) {
  scale_frame(out, pixtab, pixels, pitch, scale);
}

void convert_frame_scaled_wide(const uint8_t *out, const uint32_t *tab, uint8_t *pixels, int pitch, int scale) {
  scale_frame(out, tab, pixels, pitch, scale);
}

void present(const uint8_t *out) {
  if (already_shown(out)) return;
  uint8_t *pixels = static_cast<uint8_t *>(scr->pixels);
  if (screen_scale == 1 && screen_left == 0 && screen_top == 0 && scr->format->BytesPerPixel == 2) {
    // The plain 320x240 window. The surface's own pitch: a window whose
    // rows are padded still shows the picture straight.
    convert_frame(out, pixels, scr->pitch);
    SDL_UpdateRect(scr, 0, FRAME_TOP, FRAME_W, FRAME_H);
    return;
  }
  const int s = screen_scale, bytes = scr->format->BytesPerPixel;
  if (SDL_MUSTLOCK(scr)) SDL_LockSurface(scr);
  uint8_t *area = pixels + size_t(screen_top) * scr->pitch + size_t(screen_left) * bytes;
  if (bytes == 4) {
    update_wide();
    convert_frame_scaled_wide(out, wide, area, scr->pitch, s);
  } else {
    convert_frame_scaled(out, area, scr->pitch, s);
  }
  if (SDL_MUSTLOCK(scr)) SDL_UnlockSurface(scr);
  SDL_UpdateRect(scr, screen_left, screen_top + FRAME_TOP * s, FRAME_W * s, FRAME_H * s);
}
