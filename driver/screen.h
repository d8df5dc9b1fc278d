// The window: its size, full screen, the pixel scale, and presenting a
// frame into it.
//
// The 320x240 picture area (the 320x200 frame in its middle, black bands
// above and below) is shown with every pixel as a screen_scale x
// screen_scale block, nearest neighbour, at (screen_left, screen_top) of the
// window. A window is exactly the scaled area; full screen covers the whole
// display and centres the area on black. At scale 1 in a window this is the
// plain 320x240 window of 16 bits, presented exactly as before; the other
// modes take the display's depth when it is 32 bits, so SDL need not
// convert every enlarged pixel (over SDL 2 a scaled window is the 320x240
// surface of 16 bits that SDL 2 enlarges, see screen_sdl2_environment).
//
// Main thread only.
#pragma once

#include <SDL.h>

#include <cstdint>

constexpr int SCREEN_MAXSCALE = 8;

// The window (320x240x16 unless scaled), set by screen_open and again when
// it switches to or from full screen; the capture and the tests set an
// off-screen surface of their own.
extern SDL_Surface *scr;
extern uint16_t pixtab[256];  // screen pixel value of each palette index

extern int screen_scale;       // 1..SCREEN_MAXSCALE
extern int screen_left;        // window pixels left of the picture area
extern int screen_top;         // window rows above the picture area
extern bool screen_fullscreen;
// Over sdl12-compat, full screen is drawn straight into SDL 2's window
// surface and only the picture's rectangle sent, as classic SDL 1.2 sends
// it (driver/sdl2_window.h), when this is true (the default) and SDL 2's
// software renderer shows the window; false leaves every frame to
// sdl12-compat, which clears and converts the whole display for each one.
// Read when a mode is set.
extern bool screen_sdl2_direct;

// The largest integer scale, 1..SCREEN_MAXSCALE, at which the 320x240 area
// fits a display of w x h pixels (1 when it does not fit at all).
int screen_fit_scale(int w, int h);

// Sets, before SDL_Init and unless the user has set them, the environment
// that SDL 1.2 over SDL 2 (sdl12-compat) reads and classic SDL 1.2 ignores:
// SDL 2's software renderer straight into the window's shared image
// (SDL_RENDER_DRIVER=software, SDL_FRAMEBUFFER_ACCELERATION=0), nearest-
// neighbour enlargement (SDL12COMPAT_SCALE_METHOD=nearest) and, for a
// window of `scale` above 1, SDL12COMPAT_WINDOW_SCALING=scale. With the
// last two SDL 2 enlarges a 320x240 surface itself (see screen_open), so the
// demo converts and sends a 320x200 frame, not the enlarged one.
void screen_sdl2_environment(int scale);

// Remembers the display's size (call once, before the first mode is set:
// SDL reports the desktop's size only then) and sets the first mode: full
// screen, or a window of `scale` (1..8). Sets scr. Returns 1, or 0 with
// SDL's reason in SDL_GetError().
int screen_open(int scale, bool fullscreen);

// For runs without a window (the capture, the frame counter, the tests):
// sets scr to a new 320x240 RGB565 software surface, all pixels 0, the
// format and layout of the plain window. Returns 1, or 0 (scr null) with
// SDL's reason in SDL_GetError().
int screen_offscreen();

// Switches between the window and full screen. On failure it returns to the
// mode it had; returns 0 (scr null) only when neither can be set.
int screen_toggle_fullscreen();

// pixtab[k] = SDL_MapRGB(format, p[3k], p[3k+1], p[3k+2]), format being
// screen_pixtab_format().
void map_palette(const uint8_t *pal);
// Maps the palette of the last map_palette again, for a new window whose
// pixel format may differ. Reads workpal when the last mapping was a fade
// step (nothing else writes it).
void remap_palette();

// Converts `out` (a 320x200 frame) through pixtab into rows 20..219 of
// `pixels` (16-bit pixels, `pitch` bytes per row).
void convert_frame(const uint8_t *out, uint8_t *pixels, int pitch);

// Converts `out` through pixtab into the window at the current scale and
// updates the picture's rectangle. Over SDL 2 it does nothing when the same
// frame through the same pixtab is already shown (since the last mode change
// or screen_show_again), or when the last update is less than one and a
// half loop periods old (a later call sends the frame of its own time).
void present(const uint8_t *out);

// The next present sends its frame even if unchanged (the window was
// exposed and may have lost its picture).
void screen_show_again();
// Whether the frames of the current mode go straight into SDL 2's window
// surface (see screen_sdl2_direct).
bool screen_presents_direct();

// The pixel format of pixtab's values: the window's when it has 16 bits,
// else RGB565, which present converts to the window's format (exactly as
// SDL converts a 16-bit window).
const SDL_PixelFormat *screen_pixtab_format();

// convert_frame at `scale`: row y of the frame becomes rows
// (y + 20) x scale .. (y + 21) x scale - 1 of `pixels`, every pixel repeated
// scale times; `pixels` is the top left corner of the 320x240 area and
// `pitch` the bytes per window row.
void convert_frame_scaled(const uint8_t *out, uint8_t *pixels, int pitch, int scale);
// The same for a 32-bit window, through `tab` (256 window pixel values).
void convert_frame_scaled_wide(const uint8_t *out, const uint32_t *tab, uint8_t *pixels, int pitch, int scale);
