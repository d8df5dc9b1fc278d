// The music position read on the main thread while SDL's audio thread plays
// a module that ends a pattern every second row: every reading must be a
// state the replayer finished (row 0 or 63 of a position of the song), and
// no reading may be older than the one before it. The front-end's row test
// and volume run meanwhile, so ThreadSanitizer sees them against the
// callback.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <vector>

#include "common/module_builder.h"
#include "music/mzx.h"

namespace {

constexpr int POSITIONS = 128;

// 128 positions of one pattern whose second row breaks to the next
// position (D00): at speed 1 and 255 BPM a pattern ends every 864 output
// frames, so one 4096-frame callback block crosses four or five of them.
// Each position reads p00 for its first row and p63 for the row that
// breaks.
std::vector<uint8_t> breaking_song() {
  std::vector<int8_t> wave(512);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = int8_t((i & 31) * 6 - 90);
  ModuleBuilder b;
  b.sample(1, wave, 48, 0, 512).orders(std::vector<uint8_t>(POSITIONS, 0));
  b.cell(0, 0, 0, 1, 428, 0xF, 1).cell(0, 0, 1, 1, 320, 0xF, 0xFF).fx(0, 1, 2, 0xD, 0);
  return b.build();
}

TEST(AudioThread, PositionReadingsNeverGoBack) {
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_TIMER), 0) << SDL_GetError();
  ASSERT_EQ(mzx_init(44100, 4096), 1) << "the audio device must open";
  std::vector<uint8_t> module = breaking_song();
  ASSERT_EQ(mzx_get(module.data()), 1);
  ASSERT_EQ(mzx_position(), -37);

  mzx_start(54);
  // Until the first tick (the first block already runs several positions,
  // so the driver's own wait for 100 or less could miss it).
  uint32_t wait_from = SDL_GetTicks();
  while (mzx_position() == -37) ASSERT_LT(SDL_GetTicks() - wait_from, 2000u) << "no first tick";
  const uint32_t t0 = SDL_GetTicks();

  // The song restarts after position 127: a fall of more than one position
  // is that wrap. A fall within one position is a reading older than the
  // last one.
  mzx_condition any{};
  for (int32_t *f = &any.channel_min; f <= &any.tick_max; f++) *f = -1;
  long readings = 0, matches = 0, invalid = 0, backward = 0, wraps = 0;
  int32_t last = mzx_position(), first_bad = 0, before_bad = 0;
  int changes = 0;  // readings at another position than the one before
  // A reading can only be stale or torn while a callback stores positions.
  // The reader spins from a little before each block is due (the dummy
  // device runs one every 92 ms) until 5 ms after the block's last change,
  // and sleeps in between.
  uint32_t moved_at = t0;  // when the reading last changed
  for (uint32_t now; (now = SDL_GetTicks()) - t0 < 2000;) {
    if (now - moved_at > 5 && now - moved_at < 80) {
      SDL_Delay(80 - (now - moved_at));
      continue;
    }
    const int32_t v = mzx_position();
    if (v != last) moved_at = now;
    ++readings;
    const int pos = v / 100, row = v % 100;
    if (v < 0 || pos >= POSITIONS || (row != 0 && row != 63)) {
      if (invalid++ == 0) first_bad = v;
      continue;
    }
    if (v < last - 100) {
      ++wraps;
    } else if (v < last) {
      if (backward++ == 0) first_bad = v, before_bad = last;
    }
    if (v / 100 != last / 100) ++changes;
    last = v;
    if (readings % 4096 == 0) {
      matches += mzx_match(&any);
      mzx_setvolume(1.0);
    }
  }
  mzx_stop();
  SDL_Quit();

  std::printf("%ld readings, %d position changes seen, %ld wraps\n", readings, changes, wraps);
  EXPECT_EQ(invalid, 0) << "first invalid reading " << first_bad;
  EXPECT_EQ(backward, 0) << "read " << first_bad << " after " << before_bad;
  EXPECT_GT(readings, 10000);
  // 2 s hold about 100 pattern ends in 21 callback blocks; the reader sees
  // one change per block, fewer when a loaded machine delays the device.
  EXPECT_GT(changes, 5);
  // A condition with every maximum negative matches the first channel.
  EXPECT_EQ(matches, readings / 4096);
}

}  // namespace
