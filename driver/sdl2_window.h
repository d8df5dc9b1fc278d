// SDL 2's own window surface, under SDL 1.2 over SDL 2 (sdl12-compat).
//
// sdl12-compat shows each SDL 1.2 update by SDL 2's renderer: it converts
// the rectangles sent into a texture of the renderer's format, then clears
// the whole window and copies the whole texture into it, converting again.
// With the software renderer that is three passes over every pixel of the
// display for each frame shown, 2.9 ms at 1920x1080 (a sixth of a core at
// 60 frames a second) where classic SDL 1.2 sends the changed rectangle
// alone. The software renderer draws into SDL 2's window surface, the very
// image the display is sent, and sdl12-compat gives the program its SDL 2
// window (SDL12COMPAT_GetWindow) for such uses: a frame written into that
// surface and sent by SDL_UpdateWindowSurfaceRects costs what it costs on
// classic SDL 1.2. Whatever sdl12-compat presents later (only after an
// SDL 1.2 update) overwrites the surface with its own texture.
//
// SDL 2 is reached through the library sdl12-compat has loaded (never
// loaded here), and its structures through their first fields, which SDL 2
// keeps for every 2.x release. Main thread only, between SDL_Init and
// SDL_Quit.
#pragma once
#include <cstdint>

// The window surface: `pixels` (h rows of `pitch` bytes, w pixels of
// `bytes` bytes each) and the colour masks of its pixels.
struct sdl2_view {
  uint8_t *pixels;
  int w, h, pitch, bytes;
  uint32_t rmask, gmask, bmask;
};

// True, with *v set, when SDL 1.2 is sdl12-compat, its window is open and
// SDL 2's software renderer shows it (so the window surface is the image
// sent to the display and nothing else draws it). False on classic SDL 1.2,
// with no window, or when another renderer shows it (its own buffers, not
// the surface, are what the display gets). Cheap: a few calls into SDL 2.
bool sdl2_window_surface(sdl2_view *v);

// Sends the rectangle (x, y, w, h), inside the surface, of the window
// surface to the display. Returns 1, or 0 when SDL 2 could not.
int sdl2_window_update(int x, int y, int w, int h);
