// Preloaded into the demo (LD_PRELOAD) to make its clock step instead of
// run, so that two runs show exactly the same frame: SDL_GetTicks returns 0
// for the first 2 s after its first call, then 4000 for 2 s, then 4300 for
// ever. The demo draws its frames at now 0 (black), at 4000 (the music, on
// the silent clock, has passed position 32: the first fade starts), then at
// 4300, 300 ms into that fade, and then sleeps, waiting for a time that
// never comes, until it is stopped.
#include <SDL.h>

#include <ctime>

extern "C" Uint32 SDL_GetTicks(void) {
  static timespec t0;
  static bool started;
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  if (!started) {
    t0 = t;
    started = true;
  }
  const long ms = (t.tv_sec - t0.tv_sec) * 1000 + (t.tv_nsec - t0.tv_nsec) / 1000000;
  return ms < 2000 ? 0 : ms < 4000 ? 4000 : 4300;
}
