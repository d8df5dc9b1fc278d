// The music position read on the main thread while SDL's audio thread plays
// the module: every value read must be one the replayer's stores allow, and
// the song must advance at its tempo.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <vector>

#include "common/module_builder.h"
#include "music/mzx.h"

namespace {

// Eight positions at speed 1 and 255 BPM: a row every 432 frames, so two
// seconds cross three pattern ends.
std::vector<uint8_t> fast_song() {
  std::vector<int8_t> wave(512);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = int8_t((i & 31) * 6 - 90);
  ModuleBuilder b;
  b.sample(1, wave, 48, 0, 512).orders({0, 1, 2, 3, 4, 5, 6, 7});
  b.cell(0, 0, 0, 1, 428, 0xF, 1).cell(0, 0, 1, 1, 320, 0xF, 0xFF);
  for (int p = 0; p < 8; ++p)
    for (int r = 0; r < 64; r += 4) b.cell(p, r, 2, 1, 214 + 8 * (r % 16), 0xA, 0x01);
  return b.build();
}

constexpr int POSITIONS = 8;
constexpr int FRAMES_PER_ROW = 110250 / 255;

TEST(AudioThread, PositionReadingsWhilePlaying) {
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_TIMER), 0) << SDL_GetError();
  ASSERT_EQ(mzx_init(44100, 4096), 1) << "the audio device must open";
  std::vector<uint8_t> module = fast_song();
  ASSERT_EQ(mzx_get(module.data()), 1);
  ASSERT_EQ(mzx_position(), -37);

  mzx_start(54);
  // The driver's start-up wait.
  uint32_t wait_from = SDL_GetTicks();
  while (uint32_t(mzx_position()) > 100u) ASSERT_LT(SDL_GetTicks() - wait_from, 2000u) << "no first tick";
  const uint32_t t0 = SDL_GetTicks();

  // Rows counted from the start: position x 64 + row. A reading below the
  // last one is allowed only as the old position with the new row (the
  // replayer stores the row before the position); it then stands for the
  // next position's row.
  long readings = 0, transient = 0, bad = 0;
  int last = 0;
  int32_t first_bad = 0;
  while (SDL_GetTicks() - t0 < 2000) {
    int32_t v = mzx_position();
    ++readings;
    int pos = v / 100, row = v % 100;
    if (v < 0 || pos >= POSITIONS || row > 64) {
      if (bad++ == 0) first_bad = v;
      continue;
    }
    int at = pos * 64 + row;
    if (at < last) {
      int as_next = (pos + 1) * 64 + row;
      if (pos + 1 < POSITIONS && last / 64 <= pos + 1 && as_next >= last) {
        ++transient;
        at = as_next;
      } else {
        if (bad++ == 0) first_bad = v;
        continue;
      }
    }
    last = at;
  }
  const uint32_t elapsed = SDL_GetTicks() - t0;
  mzx_stop();
  SDL_Quit();

  std::printf("%ld readings, %ld old-position readings, %d rows in %u ms\n", readings, transient, last,
              unsigned(elapsed));
  EXPECT_EQ(bad, 0) << "first bad reading " << first_bad;
  EXPECT_GT(readings, 1000);
  EXPECT_LT(transient * 100, readings) << transient << " old-position readings of " << readings;
  // Rows that `elapsed` ms hold. The device runs ahead by a few buffers of
  // 9.5 rows (SDL's dummy driver fills its first ones at once) and lags on
  // a loaded machine; a tick length off by a factor of two still fails.
  const int expected = int(uint64_t(elapsed) * 44100 / 1000 / FRAMES_PER_ROW);
  const int buffer_rows = 4096 / FRAMES_PER_ROW + 1;
  EXPECT_GE(last, expected * 6 / 10) << "rows played " << last << ", expected about " << expected;
  EXPECT_LE(last, expected + 4 * buffer_rows) << "rows played " << last << ", expected about " << expected;
}

}  // namespace
