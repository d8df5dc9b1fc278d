// Ulvenor Tarquel: start-up, the frame loop and shutdown.
#include "assets/assets.h"
#include "driver/demo.h"
#include "music/mzx.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

int main(int, char **) {
  demo_reset();
  std::puts("");
  std::puts("Ulvenor Tarquel!");
  std::fflush(stdout);
  SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO);
  scr = SDL_SetVideoMode(320, 240, 16, 0);
  if (!scr) {
    // Nothing can be shown without a window: say why instead of drawing
    // into a null surface.
    std::fprintf(stderr, "ulvenor: cannot open the window: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_LockSurface(scr);
  // The only write to the bands above and below the picture.
  for (int y = 0; y < 240; y++) std::memset(static_cast<uint8_t *>(scr->pixels) + y * scr->pitch, 0, 640);
  SDL_UnlockSurface(scr);
  SDL_WM_SetCaption("Ulvenor Tarquel", nullptr);
  SDL_ShowCursor(0);

  mzx_init(44100, 4096);
  mzx_get(nothing);
  demo_startup_effects();
  demo_convert_models();
  mzx_start(54);
  // -37 before the replayer's first tick is far above 100 as unsigned.
  while (uint32_t(mzx_position()) > 100) {
  }
  const uint32_t start_ticks = SDL_GetTicks();
  map_palette(pal_black);

  for (;;) {
    const int escapes = poll_escapes();
    const int32_t now = int32_t(SDL_GetTicks() - start_ticks);
    const int32_t pos = mzx_position();
    present(demo_frame(pos, now));
    if (demo_done(pos, escapes)) break;
  }
  SDL_Quit();
  return 0;
}
