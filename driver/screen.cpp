// The window, full screen, the pixel scale, the palette's pixel table and
// presenting a frame.
#include "driver/screen.h"

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/loop.h"
#include "driver/sdl2_window.h"
#include "maths/words.h"

#include <SDL.h>

#include <bit>
#include <cstdlib>
#include <cstring>

SDL_Surface *scr;
uint16_t pixtab[256];
int screen_scale = 1;
int screen_left = 0;
int screen_top = 0;
bool screen_fullscreen = false;
bool screen_sdl2_direct = true;

namespace {

constexpr int AREA_W = 320, AREA_H = 240;  // the picture area at scale 1

int window_scale = 1;      // the scale of the windowed mode
bool over_sdl2;            // SDL 1.2 over SDL 2: each switch needs a new window
                           // and each update costs a whole render (see screen_open)
int display_w, display_h;  // the desktop's size; 0 when SDL cannot tell
int display_bpp;           // the desktop's bits per pixel; 0 when unknown

// Over SDL 2 every frame shown costs a clear and a copy of the whole window
// (the display, in full screen) however little changed, and every update
// converts the rectangle sent into SDL 2's texture. When SDL 2 enlarges by
// nearest neighbour, a surface of the picture area's own size enlarged by a
// whole factor is exactly the picture the demo's own scaling makes, and the
// update is the 320x200 frame instead of the enlarged one.
bool sdl2_nearest;      // SDL12COMPAT_SCALE_METHOD is "nearest"
int sdl2_window_scale;  // SDL12COMPAT_WINDOW_SCALING as a whole 2..8, else 0

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

// Makes the conversion surfaces for 32-bit pixels of the given masks (scr's,
// or SDL 2's window surface's); returns 0 if it cannot.
int make_wide(uint32_t rmask, uint32_t gmask, uint32_t bmask, uint32_t amask) {
  free_wide();
  from16 = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
  to_wide = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 1, 32, rmask, gmask, bmask, amask);
  wide_stale = true;
  return from16 && to_wide;
}

void update_wide() {
  if (!wide_stale && std::memcmp(wide_of, pixtab, sizeof pixtab) == 0) return;
  std::memcpy(wide_of, pixtab, sizeof pixtab);
  std::memcpy(from16->pixels, pixtab, sizeof pixtab);
  SDL_BlitSurface(from16, nullptr, to_wide, nullptr);
  std::memcpy(wide, to_wide->pixels, sizeof wide);
  // The bits outside the colours are left 0, as SDL 2 leaves them in a
  // window pixel (SDL's blit may set them; no display shows them).
  const SDL_PixelFormat *f = to_wide->format;
  for (uint32_t &v : wide) v &= f->Rmask | f->Gmask | f->Bmask;
  wide_stale = false;
}

// Over SDL 2, every mode drawn straight into SDL 2's window surface (see
// driver/sdl2_window.h): the frame is scaled into `view` as it would be
// into scr, enlarged `direct_factor` times more where SDL 2 enlarges scr
// (SDL12COMPAT_WINDOW_SCALING), through `wide` when the window has 32 bits,
// and the picture's rectangle sent; never an SDL 1.2 update, which would
// have sdl12-compat paint its own texture over it. scr is then never shown.
bool direct;
bool direct_whole;  // the next present clears and sends the whole surface
int direct_factor;  // view's size over scr's: 1, or SDL 2's own enlargement
sdl2_view view;

bool rgb565(const sdl2_view &v) { return v.rmask == 0xF800 && v.gmask == 0x07E0 && v.bmask == 0x001F; }

// The window surface for this frame, or false when it is gone or no longer
// a whole enlargement of scr in a pixel format present can write: 32 bits,
// or the RGB565 of a 16-bit scr, pixtab's own.
bool direct_view() {
  if (!sdl2_window_surface(&view) || view.w % scr->w || view.h % scr->h) return false;
  const int k = view.w / scr->w;
  const bool fits = view.h == scr->h * k &&
                    (view.bytes == 4 || (view.bytes == 2 && rgb565(view) && scr->format->BytesPerPixel == 2));
  if (fits) direct_factor = k;
  return fits;
}

// Takes the direct path for the mode just set if it can; returns direct.
bool open_direct() {
  direct = over_sdl2 && screen_sdl2_direct && direct_view();
  direct_whole = direct;
  return direct;
}

// SDL 2 makes a new window surface when the window's size changes: when it
// no longer fits, the frames go back to sdl12-compat.
bool direct_still() {
  const int k = direct_factor, bytes = view.bytes;
  direct = direct_view() && direct_factor == k && view.bytes == bytes;
  return direct;
}

// What the window shows now: the frame and the pixtab it was converted
// through, and when it was sent. Over SDL 2 every update converts what it
// sends into SDL 2's texture, and sdl12-compat shows the texture (clearing
// and copying the whole window) at most once per display refresh, every
// 15 ms when the display does not tell its rate, whatever the rate of
// updates: of the loop's 125 updates a second half would be converted and
// never shown. So over SDL 2 a turn sends nothing when its
// frame and colours are those already sent, or when the last update is
// younger than UPDATE_MS: more than one loop turn and less than two, so
// every other turn sends, 62.5 a second (what a 60 Hz display shows; SDL 1.2
// cannot tell the display's rate), and every turn when turns run late.
// Drawn straight into SDL 2's window surface, each update is shown at once
// and cheaply; the same rate keeps what the viewer sees on sdl12-compat as
// it was, and the cost half what 125 a second would be.
constexpr uint32_t UPDATE_MS = LOOP_FRAME_MS * 3 / 2;
uint8_t shown[FRAME_W * FRAME_H];
uint16_t shown_tab[256];
bool shown_valid = false;  // false after a mode change cleared the window
uint32_t shown_at;         // SDL_GetTicks when it was sent

// True when out through pixtab need not be sent now; else records it.
// Over SDL 2 only: on classic SDL 1.2 an update costs less than the two
// 64,000-byte passes of the comparison, which on a small ARM device would
// add to every frame that did change, and each update is shown at once.
bool skip_update(const uint8_t *out) {
  if (!over_sdl2) return false;
  if (shown_valid && std::memcmp(shown, out, sizeof shown) == 0 &&
      std::memcmp(shown_tab, pixtab, sizeof shown_tab) == 0)
    return true;
  const uint32_t t = SDL_GetTicks();
  if (shown_valid && t - shown_at < UPDATE_MS) return true;  // a later turn sends the newest frame
  std::memcpy(shown, out, sizeof shown);
  std::memcpy(shown_tab, pixtab, sizeof shown_tab);
  shown_valid = true;
  shown_at = t;
  return false;
}

// The scaled modes take the display's own depth when it is 32 bits.
int mode_bpp(int scale, Uint32 flags) {
  if (scale == 1 && flags == 0) return 16;  // the plain window, as designed
  return display_bpp == 32 ? 32 : 16;
}

// Blackens the whole window surface and sends it.
void clear_direct() {
  for (int y = 0; y < view.h; y++) std::memset(view.pixels + size_t(y) * view.pitch, 0, size_t(view.w) * view.bytes);
  sdl2_window_update(0, 0, view.w, view.h);
  direct_whole = false;
}

void clear_window() {
  if (SDL_MUSTLOCK(scr)) SDL_LockSurface(scr);
  for (int y = 0; y < scr->h; y++)
    std::memset(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch, 0,
                size_t(scr->w) * scr->format->BytesPerPixel);
  if (SDL_MUSTLOCK(scr)) SDL_UnlockSurface(scr);
}

// A mode: the surface asked for (w x h, flags), the demo's own scale into
// it, and the whole factor SDL 2 enlarges that surface by on the display.
struct mode {
  int scale, w, h;
  Uint32 flags;
  int sdl_scale;
};

// The window at window_scale, or full screen: the display's size at the
// largest scale that fits it. Over SDL 2 enlarging by nearest neighbour,
// when SDL12COMPAT_WINDOW_SCALING is the window's scale, the same window
// comes from the 320x240 surface enlarged by SDL 2. Not full screen:
// sdl12-compat would stretch a small surface over the display, but without
// a window manager the window keeps the surface's own size.
mode choose_mode(bool fullscreen) {
  const int ws = window_scale;
  if (!fullscreen) {
    if (over_sdl2 && sdl2_nearest && ws > 1 && sdl2_window_scale == ws) return {1, AREA_W, AREA_H, 0, ws};
    return {ws, AREA_W * ws, AREA_H * ws, 0, 1};
  }
  // Without the display's size, full screen is the scaled area itself.
  if (display_w <= 0) return {ws, AREA_W * ws, AREA_H * ws, SDL_FULLSCREEN, 1};
  const int s = screen_fit_scale(display_w, display_h);
  // A display smaller than the area at scale 1 gets the area's size (SDL
  // picks the nearest mode), so the picture never runs off the surface.
  return {s, display_w > AREA_W * s ? display_w : AREA_W * s, display_h > AREA_H * s ? display_h : AREA_H * s,
          SDL_FULLSCREEN, 1};
}

// Sets the window (fullscreen false) or full screen and clears it to black.
// Returns 1, or 0 with scr null.
int set_mode(bool fullscreen) {
  const mode m = choose_mode(fullscreen);
  scr = SDL_SetVideoMode(m.w, m.h, mode_bpp(m.scale, m.flags), m.flags);
  if (!scr) return 0;
  const SDL_PixelFormat *f = scr->format;
  if (f->BytesPerPixel != 2 && f->BytesPerPixel != 4) return 0;
  // `wide` for whatever 32-bit surface the frames go into.
  if (open_direct() ? view.bytes == 4 && !make_wide(view.rmask, view.gmask, view.bmask, 0)
                    : f->BytesPerPixel == 4 && !make_wide(f->Rmask, f->Gmask, f->Bmask, f->Amask))
    return 0;
  screen_scale = m.scale;
  shown_valid = false;
  screen_fullscreen = fullscreen;
  // SDL may give a larger full-screen mode than asked: centre in what it gave.
  screen_left = scr->w > AREA_W * m.scale ? (scr->w - AREA_W * m.scale) / 2 : 0;
  screen_top = scr->h > AREA_H * m.scale ? (scr->h - AREA_H * m.scale) / 2 : 0;
  // The only writes outside the picture: the bands and the border.
  clear_window();
  if (direct) {
    clear_direct();
    return 1;
  }
  // The plain window never updates its bands: its picture rectangle is all
  // it ever sends, as it always did.
  if (m.scale != 1 || m.flags != 0 || m.sdl_scale != 1) SDL_UpdateRect(scr, 0, 0, 0, 0);
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
  direct = false;  // its window goes with SDL 2's video
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

void screen_sdl2_environment(int scale) {
  setenv("SDL_RENDER_DRIVER", "software", 0);
  setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
  setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
  if (scale > 1 && scale <= SCREEN_MAXSCALE) {
    char factor[2] = {char('0' + scale), 0};
    setenv("SDL12COMPAT_WINDOW_SCALING", factor, 0);
  }
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
  const char *method = std::getenv("SDL12COMPAT_SCALE_METHOD");
  sdl2_nearest = method && std::strcmp(method, "nearest") == 0;
  // Only the one-digit form screen_sdl2_environment writes: any other value
  // the user chose is left to sdl12-compat on top of the demo's own scale.
  const char *factor = std::getenv("SDL12COMPAT_WINDOW_SCALING");
  sdl2_window_scale = factor && factor[0] >= '2' && factor[0] <= '0' + SCREEN_MAXSCALE && !factor[1] ? factor[0] - '0' : 0;
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

void screen_show_again() {
  shown_valid = false;
  direct_whole = direct;
}

bool screen_presents_direct() { return direct; }

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
// on the target. One 1 KB block of 32-byte lines.
alignas(32) uint32_t pixwords[256];

// Sixteen pixels at src as eight words, two pixels a word, the first in
// the low half as little-endian memory wants it, stored as one burst (on
// ARM the device's write buffer takes it as one entry).
inline void convert16(const uint8_t *src, uint32_t *dst, const uint32_t *tab) {
  store_words8(dst, tab[src[0]] | tab[src[1]] << 16, tab[src[2]] | tab[src[3]] << 16,
               tab[src[4]] | tab[src[5]] << 16, tab[src[6]] | tab[src[7]] << 16,
               tab[src[8]] | tab[src[9]] << 16, tab[src[10]] | tab[src[11]] << 16,
               tab[src[12]] | tab[src[13]] << 16, tab[src[14]] | tab[src[15]] << 16);
}

// One row of 320 pixels, 16 a step. Neither inlined nor cloned for its
// constant argument: with the table's address in a register the target
// loads each entry in one instruction, base plus scaled index.
[[gnu::noinline, gnu::noclone]] void convert_row_words(const uint8_t *src, uint32_t *dst, const uint32_t *tab) {
  static_assert(FRAME_W % 16 == 0);
  for (const uint8_t *end = src + FRAME_W; src != end; src += 16, dst += 8) convert16(src, dst, tab);
}

#if defined(__arm__)
// Four pixels at src + OFF (bytes) into the words A and B through the two
// scratch registers, ordered so that no load's result is used by the
// instruction after it (a byte load's result comes two cycles late).
#define CONVERT4(A, B, OFF)                \
  "ldrb " A ", [%[src], #" OFF "]\n\t"     \
  "ldrb %[t0], [%[src], #" OFF "+1]\n\t"   \
  "ldrb " B ", [%[src], #" OFF "+2]\n\t"   \
  "ldrb %[t1], [%[src], #" OFF "+3]\n\t"   \
  "ldr " A ", [%[tab], " A ", lsl #2]\n\t" \
  "ldr %[t0], [%[tab], %[t0], lsl #2]\n\t" \
  "ldr " B ", [%[tab], " B ", lsl #2]\n\t" \
  "ldr %[t1], [%[tab], %[t1], lsl #2]\n\t" \
  "orr " A ", " A ", %[t0], lsl #16\n\t"   \
  "orr " B ", " B ", %[t1], lsl #16\n\t"

// convert_row_words as the device runs it best: 64 pixels a step (two
// 32-byte lines of the source when src is line-aligned, as the frames
// are), each 16 leaving as one eight-word burst. Halfway through each
// line the first byte of the line after it is read: its fill then finds
// the bus idle, where at the line's first read it would wait for the burst
// just queued to drain. So it reads the 32 bytes after the row too, which
// must exist (the next row of the frame).
[[gnu::noinline]] void convert_row_ahead(const uint8_t *src, uint32_t *dst, const uint32_t *tab) {
  static_assert(FRAME_W % 64 == 0);
  const uint8_t *const end = src + FRAME_W;
  uint32_t t0, t1;
  asm volatile(
      "1:\n\t"
      CONVERT4("r2", "r3", "0") CONVERT4("r4", "r5", "4") CONVERT4("r6", "r7", "8") CONVERT4("r8", "r9", "12")
      "stmia %[dst]!, {r2-r9}\n\t"
      CONVERT4("r2", "r3", "16") CONVERT4("r4", "r5", "20")
      "ldrb %[t0], [%[src], #32]\n\t"
      CONVERT4("r6", "r7", "24") CONVERT4("r8", "r9", "28")
      "stmia %[dst]!, {r2-r9}\n\t"
      CONVERT4("r2", "r3", "32") CONVERT4("r4", "r5", "36") CONVERT4("r6", "r7", "40") CONVERT4("r8", "r9", "44")
      "stmia %[dst]!, {r2-r9}\n\t"
      CONVERT4("r2", "r3", "48") CONVERT4("r4", "r5", "52")
      "ldrb %[t0], [%[src], #64]\n\t"
      CONVERT4("r6", "r7", "56") CONVERT4("r8", "r9", "60")
      "stmia %[dst]!, {r2-r9}\n\t"
      "add %[src], %[src], #64\n\t"
      "cmp %[src], %[end]\n\t"
      "bne 1b"
      : [src] "+r"(src), [dst] "+r"(dst), [t0] "=&r"(t0), [t1] "=&r"(t1)
      : [tab] "r"(tab), [end] "r"(end)
      : "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "cc", "memory");
}
#undef CONVERT4
#endif

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
  for (int y = 0; y < FRAME_H; y++) {
    const uint8_t *src = out + y * FRAME_W;
    uint32_t *dst = reinterpret_cast<uint32_t *>(pixels + (y + FRAME_TOP) * pitch);
#if defined(__arm__)
    // The last row has nothing after it to read ahead.
    if (y + 1 < FRAME_H) {
      convert_row_ahead(src, dst, pixwords);
      continue;
    }
#endif
    convert_row_words(src, dst, pixwords);
  }
}

void convert_frame_scaled(const uint8_t *out, uint8_t *pixels, int pitch, int scale) {
  scale_frame(out, pixtab, pixels, pitch, scale);
}

void convert_frame_scaled_wide(const uint8_t *out, const uint32_t *tab, uint8_t *pixels, int pitch, int scale) {
  scale_frame(out, tab, pixels, pitch, scale);
}

namespace {
// The frame at scale s into `area` (the top left corner of the picture
// area in a surface of `bytes` per pixel and `pitch` bytes per row).
void draw_scaled(const uint8_t *out, uint8_t *area, int pitch, int bytes, int s) {
  if (bytes == 4) {
    update_wide();
    convert_frame_scaled_wide(out, wide, area, pitch, s);
  } else {
    convert_frame_scaled(out, area, pitch, s);
  }
}
}  // namespace

void present(const uint8_t *out) {
  if (skip_update(out)) return;
  if (direct && !direct_still()) SDL_UpdateRect(scr, 0, 0, 0, 0);  // back to sdl12-compat: bands and all
  if (direct) {
    if (direct_whole) clear_direct();
    const int k = direct_factor, s = screen_scale * k, left = screen_left * k, top = screen_top * k;
    draw_scaled(out, view.pixels + size_t(top) * view.pitch + size_t(left) * view.bytes, view.pitch, view.bytes, s);
    sdl2_window_update(left, top + FRAME_TOP * s, FRAME_W * s, FRAME_H * s);
    return;
  }
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
  draw_scaled(out, pixels + size_t(screen_top) * scr->pitch + size_t(screen_left) * bytes, scr->pitch, bytes, s);
  if (SDL_MUSTLOCK(scr)) SDL_UnlockSurface(scr);
  SDL_UpdateRect(scr, screen_left, screen_top + FRAME_TOP * s, FRAME_W * s, FRAME_H * s);
}
