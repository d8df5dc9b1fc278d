// Stand-in clock until the replayer drives the position: song position and
// row derived from SDL_GetTicks at 136 BPM, speed 6 (4860 frames a row at
// 44100 Hz).
#include "music/mzx.h"

#include <SDL.h>

namespace {
uint32_t start_ms;
bool started;
}  // namespace

int mzx_init(int, int) { return 1; }
int mzx_get(uint8_t *) { return 1; }
void mzx_start(int) {
  start_ms = SDL_GetTicks();
  started = true;
}

int32_t mzx_position() {
  if (!started) return -37;
  uint64_t frames = uint64_t(SDL_GetTicks() - start_ms) * 44100 / 1000;
  uint64_t row = frames / 4860;
  return int32_t((row / 64) % 32 * 100 + row % 64);
}
