// No sound device: the front-end keeps the music going from the system
// clock, one 4096-frame block per 4096 frames of time, without sound.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/module_builder.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "sound/sd.h"

namespace {

TEST(SilentClock, MusicFollowsTheSystemClockWithoutDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_TIMER), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(mzx_init(44100, 4096), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("without sound"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1);  // one line
  EXPECT_STREQ(sd_errorstr, "SDL audio error");
  EXPECT_STREQ(sd_devicename, "");
  EXPECT_EQ(mzx_mode, 2);

  std::vector<uint8_t> module =
      ModuleBuilder().sample(1, std::vector<int8_t>(64, 0)).orders({0, 0, 0, 0}).build();
  ASSERT_EQ(mzx_get(module.data()), 1);
  EXPECT_EQ(mzx_position(), -37);
  uint32_t t0 = SDL_GetTicks();
  mzx_start(54);
  // The first block is due at once, as a device asks for its first buffer:
  // the driver's start-up wait ends.
  EXPECT_EQ(mzx_position(), 0);

  // 125 BPM, speed 6: a row every 5292 frames (120 ms). Blocks come every
  // 4096 frames, so the position trails the clock by at most one block.
  int32_t pos = 0;
  while (SDL_GetTicks() - t0 < 1500) {
    pos = mzx_position();
    SDL_Delay(5);
  }
  uint32_t t1 = SDL_GetTicks();
  pos = mzx_position();
  uint32_t t2 = SDL_GetTicks();
  uint64_t lo_frames = uint64_t(t1 - t0 - 2) * 44100 / 1000;   // elapsed, give or take
  uint64_t hi_frames = uint64_t(t2 - t0 + 2) * 44100 / 1000 + 4096;  // one block ahead
  int32_t rows = pos / 100 * 64 + pos % 100;
  EXPECT_GE(rows, int32_t(lo_frames / 5292) - 1) << pos;
  EXPECT_LE(rows, int32_t(hi_frames / 5292)) << pos;
  EXPECT_GE(rows, 11);  // 1.5 s hold 12.5 rows
  mzx_stop();
  SDL_Quit();
}

// A device that plays is kept: giving up on it after its first row would
// run the replayer on two threads.
TEST(DropDevice, KeepsADeviceThatPlays) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO), 0);
  ASSERT_EQ(mzx_init(44100, 4096), 1);
  std::vector<uint8_t> module =
      ModuleBuilder().sample(1, std::vector<int8_t>(64, 0)).orders({0, 0}).build();
  ASSERT_EQ(mzx_get(module.data()), 1);
  mzx_start(54);
  for (int i = 0; i < 10000 && uint32_t(mzx_position()) > 100; i++) SDL_Delay(1);
  ASSERT_LE(uint32_t(mzx_position()), 100u) << "the dummy device never played";
  testing::internal::CaptureStderr();
  EXPECT_EQ(mzx_drop_device(-37), 0);  // it has moved on from -37
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  mzx_stop();
  SDL_Quit();
}

// SDL's disk driver sleeps 1.5 s per block: unpaused just after its first
// (paused) block, it asks for nothing for that long. Given up, it stays
// paused, and the music follows the system clock from the moment it was
// given up, once.
TEST(DropDevice, MuteDeviceGivesWayToTheSilentClock) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "1500", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO), 0);
  ASSERT_EQ(mzx_init(44100, 4096), 1);
  std::vector<uint8_t> module =
      ModuleBuilder().sample(1, std::vector<int8_t>(64, 0)).orders({0, 0, 0, 0}).build();
  ASSERT_EQ(mzx_get(module.data()), 1);
  SDL_Delay(200);  // the driver's thread writes its paused block and sleeps
  mzx_start(54);
  if (mzx_position() != -37) GTEST_SKIP() << "the device thread came late and played at once";
  testing::internal::CaptureStderr();
  const uint32_t t0 = SDL_GetTicks();
  ASSERT_EQ(mzx_drop_device(-37), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("without sound"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1);  // one line
  EXPECT_EQ(mzx_position(), 0);  // the first block at once
  EXPECT_EQ(mzx_drop_device(0), 0);  // once only
  // Past the device's wake-up: had it played too, the music would be a
  // block ahead of the clock.
  while (SDL_GetTicks() - t0 < 2500) SDL_Delay(5);
  const uint32_t t1 = SDL_GetTicks();
  const int32_t pos = mzx_position();
  const uint32_t t2 = SDL_GetTicks();
  const int32_t rows = pos / 100 * 64 + pos % 100;
  // 125 BPM, speed 6: a row every 5292 frames; blocks of 4096 frames.
  EXPECT_GE(rows, int32_t(uint64_t(t1 - t0 - 2) * 44100 / 1000 / 5292) - 1) << pos;
  EXPECT_LE(rows, int32_t((uint64_t(t2 - t0 + 2) * 44100 / 1000 + 4096) / 5292)) << pos;
  mzx_stop();
  SDL_Quit();
}

}  // namespace
