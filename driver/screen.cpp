// The window, full screen, the pixel scale and presenting a frame.
#include "driver/screen.h"

#include "driver/demo.h"

#include <SDL.h>

#include <cstring>

int screen_scale = 1;
int screen_left = 0;
int screen_top = 0;
bool screen_fullscreen = false;

namespace {

constexpr int AREA_W = 320, AREA_H = 240;  // the picture area at scale 1

int window_scale = 1;        // the scale of the windowed mode
int display_w, display_h;    // the desktop's size; 0 when SDL cannot tell

// Sets the window (fullscreen false) or full screen, clears it to black and
// maps the current palette for its pixel format. Returns 1, or 0 with scr
// null.
int set_mode(bool fullscreen) {
  int scale = window_scale, w, h;
  Uint32 flags = 0;
  if (fullscreen && display_w > 0) {
    scale = screen_fit_scale(display_w, display_h);
    // A display smaller than the area at scale 1 gets the area's size (SDL
    // picks the nearest mode), so the picture never runs off the surface.
    w = display_w > AREA_W * scale ? display_w : AREA_W * scale;
    h = display_h > AREA_H * scale ? display_h : AREA_H * scale;
    flags = SDL_FULLSCREEN;
  } else {
    // Without the display's size, full screen is the scaled area itself.
    if (fullscreen) flags = SDL_FULLSCREEN;
    w = AREA_W * scale;
    h = AREA_H * scale;
  }
  scr = SDL_SetVideoMode(w, h, 16, flags);
  if (!scr) return 0;
  screen_scale = scale;
  screen_fullscreen = fullscreen;
  // SDL may give a larger full-screen mode than asked: centre in what it gave.
  screen_left = scr->w > AREA_W * scale ? (scr->w - AREA_W * scale) / 2 : 0;
  screen_top = scr->h > AREA_H * scale ? (scr->h - AREA_H * scale) / 2 : 0;
  // The only writes outside the picture: the bands and the border.
  SDL_LockSurface(scr);
  for (int y = 0; y < scr->h; y++)
    std::memset(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch, 0, size_t(scr->w) * 2);
  SDL_UnlockSurface(scr);
  // The plain window never updates its bands: its picture rectangle is all
  // it ever sends, as it always did.
  if (scale != 1 || flags != 0) SDL_UpdateRect(scr, 0, 0, 0, 0);
  return 1;
}

}  // namespace

int screen_fit_scale(int w, int h) {
  int s = w / AREA_W < h / AREA_H ? w / AREA_W : h / AREA_H;
  return s < 1 ? 1 : s > SCREEN_MAXSCALE ? SCREEN_MAXSCALE : s;
}

int screen_open(int scale, bool fullscreen) {
  const SDL_VideoInfo *info = SDL_GetVideoInfo();
  display_w = info ? info->current_w : 0;
  display_h = info ? info->current_h : 0;
  window_scale = scale < 1 ? 1 : scale > SCREEN_MAXSCALE ? SCREEN_MAXSCALE : scale;
  return set_mode(fullscreen);
}

int screen_toggle_fullscreen() {
  const bool was = screen_fullscreen;
  if (set_mode(!was) || set_mode(was)) {
    remap_palette();
    return 1;
  }
  return 0;
}

void convert_frame_scaled(const uint8_t *out, uint8_t *pixels, int pitch, int scale) {
  const uint16_t *tab = pixtab;
  const size_t row_bytes = size_t(FRAME_W) * scale * 2;
  for (int y = 0; y < FRAME_H; y++) {
    uint8_t *first = pixels + size_t(y + FRAME_TOP) * scale * pitch;
    uint16_t *d = reinterpret_cast<uint16_t *>(first);
    const uint8_t *src = out + y * FRAME_W;
    for (int x = 0; x < FRAME_W; x++) {
      const uint16_t v = tab[src[x]];
      for (int k = 0; k < scale; k++) *d++ = v;
    }
    for (int k = 1; k < scale; k++) std::memcpy(first + size_t(k) * pitch, first, row_bytes);
  }
}

void present(const uint8_t *out) {
  uint8_t *pixels = static_cast<uint8_t *>(scr->pixels);
  if (screen_scale == 1 && screen_left == 0 && screen_top == 0) {
    // The plain 320x240 window. The surface's own pitch: a window whose
    // rows are padded still shows the picture straight.
    convert_frame(out, pixels, scr->pitch);
    SDL_UpdateRect(scr, 0, FRAME_TOP, FRAME_W, FRAME_H);
    return;
  }
  const int s = screen_scale;
  convert_frame_scaled(out, pixels + size_t(screen_top) * scr->pitch + size_t(screen_left) * 2, scr->pitch, s);
  SDL_UpdateRect(scr, screen_left, screen_top + FRAME_TOP * s, FRAME_W * s, FRAME_H * s);
}
