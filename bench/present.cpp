// Cost of presenting one frame at each scale: the demo's own conversion of
// the 8-bit frame into window pixels (16-bit, and 32-bit for a 32-bit
// display), and, for comparison, what SDL's blit costs to turn a 16-bit
// window of that size into 32 bits (the conversion the 32-bit path avoids).
// The X server's share is not counted here: bench/desktop-cpu.sh measures
// the whole process under Xvfb.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "driver/demo.h"
#include "driver/screen.h"

namespace {

uint8_t frame[FRAME_BYTES];
uint32_t tab32[256];

void fill() {
  for (int i = 0; i < FRAME_BYTES; i++) frame[i] = uint8_t(i * 7 + i / 320 * 13);
  for (int k = 0; k < 256; k++) {
    pixtab[k] = uint16_t(k * 257);
    tab32[k] = uint32_t(k * 0x010101);
  }
}

void BM_present16(benchmark::State &state) {
  fill();
  const int s = int(state.range(0)), pitch = 640 * s;
  std::vector<uint8_t> win(size_t(pitch) * 240 * s);
  for (auto _ : state) {
    if (s == 1) convert_frame(frame, win.data(), pitch);
    else convert_frame_scaled(frame, win.data(), pitch, s);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_present16)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(8);

void BM_present32(benchmark::State &state) {
  fill();
  const int s = int(state.range(0)), pitch = 1280 * s;
  std::vector<uint8_t> win(size_t(pitch) * 240 * s);
  for (auto _ : state) {
    convert_frame_scaled_wide(frame, tab32, win.data(), pitch, s);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_present32)->Arg(1)->Arg(3)->Arg(4)->Arg(8);

// SDL's 16-bit RGB565 to 32-bit conversion of the picture's rows at scale s.
void BM_sdl_convert16to32(benchmark::State &state) {
  const int s = int(state.range(0));
  SDL_Surface *a = SDL_CreateRGBSurface(SDL_SWSURFACE, 320 * s, 200 * s, 16, 0xF800, 0x07E0, 0x001F, 0);
  SDL_Surface *b = SDL_CreateRGBSurface(SDL_SWSURFACE, 320 * s, 200 * s, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  for (auto _ : state) {
    SDL_BlitSurface(a, nullptr, b, nullptr);
    benchmark::ClobberMemory();
  }
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}
BENCHMARK(BM_sdl_convert16to32)->Arg(1)->Arg(3)->Arg(4);

}  // namespace

BENCHMARK_MAIN();
