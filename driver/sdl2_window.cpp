// SDL 2's window surface under sdl12-compat, through the SDL 2 library it
// has loaded.
#include "driver/sdl2_window.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <dlfcn.h>

#include <cstring>

namespace {

// The leading fields of SDL 2's public structures, as SDL 2 lays them out
// in every 2.x release (the ABI it keeps). Only SDL 2 creates and fills
// them, except the renderer information, filled whole by SDL 2 into this
// copy of all of it.
struct sdl2_pixel_format {
  uint32_t format;
  void *palette;
  uint8_t bits_per_pixel, bytes_per_pixel, padding[2];
  uint32_t rmask, gmask, bmask, amask;
};
struct sdl2_surface {
  uint32_t flags;
  const sdl2_pixel_format *format;
  int w, h, pitch;
  void *pixels;
};
struct sdl2_rect {
  int x, y, w, h;
};
struct sdl2_renderer_info {
  const char *name;
  uint32_t flags, num_texture_formats, texture_formats[16];
  int max_texture_width, max_texture_height;
};

void *(*get_window)();  // sdl12-compat's SDL12COMPAT_GetWindow
void *(*get_renderer)(void *window);
int (*get_renderer_info)(void *renderer, sdl2_renderer_info *info);
sdl2_surface *(*get_window_surface)(void *window);
int (*update_window_surface_rects)(void *window, const sdl2_rect *rects, int n);
bool looked_up, found;

template <class F>
bool symbol(void *lib, const char *name, F *&f) {
  f = reinterpret_cast<F *>(dlsym(lib, name));
  return f != nullptr;
}

// Finds the functions once: sdl12-compat's in the program's own libraries
// (classic SDL 1.2 has no such function), SDL 2's in the SDL 2 library
// already loaded, if any (RTLD_NOLOAD: never a second copy).
bool look_up() {
  if (looked_up) return found;
  looked_up = true;
  if (!symbol(RTLD_DEFAULT, "SDL12COMPAT_GetWindow", get_window)) return false;
  void *sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!sdl2) return false;
  found = symbol(sdl2, "SDL_GetRenderer", get_renderer) && symbol(sdl2, "SDL_GetRendererInfo", get_renderer_info) &&
          symbol(sdl2, "SDL_GetWindowSurface", get_window_surface) &&
          symbol(sdl2, "SDL_UpdateWindowSurfaceRects", update_window_surface_rects);
  return found;
}

}  // namespace

bool sdl2_window_surface(sdl2_view *v) {
  if (!look_up()) return false;
  void *window = get_window();
  if (!window) return false;
  void *renderer = get_renderer(window);
  sdl2_renderer_info info{};
  if (!renderer || get_renderer_info(renderer, &info) != 0 || !info.name || std::strcmp(info.name, "software") != 0)
    return false;
  const sdl2_surface *s = get_window_surface(window);
  if (!s || !s->pixels || !s->format || s->w <= 0 || s->h <= 0) return false;
  *v = {static_cast<uint8_t *>(s->pixels), s->w, s->h, s->pitch, s->format->bytes_per_pixel,
        s->format->rmask, s->format->gmask, s->format->bmask};
  return true;
}

int sdl2_window_update(int x, int y, int w, int h) {
  void *window = found ? get_window() : nullptr;
  const sdl2_rect r = {x, y, w, h};
  return window && update_window_surface_rects(window, &r, 1) == 0;
}

#else  // no sdl12-compat to reach on this platform

bool sdl2_window_surface(sdl2_view *) { return false; }
int sdl2_window_update(int, int, int, int) { return 0; }

#endif
