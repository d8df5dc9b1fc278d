// Music front-end: position before and after the first tick, row timing at
// the tick lengths the callback gives, jumps, the row test, callbacks,
// volume and timer interval.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <vector>

#include "common/module_builder.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/mix.h"
#include "sound/sd.h"

namespace {

std::vector<int32_t> positions;  // position after every tick
void record_position(int) { positions.push_back(mzx_position()); }

class FrontEnd : public ::testing::Test {
 protected:
  std::vector<uint8_t> module;

  void load(const ModuleBuilder &b) {
    module = b.build();
    mzx_init_offline(44100, 4096);
    ASSERT_EQ(mzx_get(module.data()), 1);
    positions.clear();
  }
  void TearDown() override { mix_tickhook = nullptr; }

  // Renders n frames in callbacks of at most `block` frames.
  static void frames(int n, int block = 4096) {
    static std::vector<uint8_t> buf(4 * 10240);
    while (n > 0) {
      int k = n < block ? n : block;
      mix_newhand(nullptr, buf.data(), k * 4);
      n -= k;
    }
  }
};

ModuleBuilder plain() { return ModuleBuilder().sample(1, std::vector<int8_t>(64)).orders({0, 1}); }

TEST_F(FrontEnd, FirstTickAndFirstRowAt125Bpm) {
  load(plain());
  EXPECT_EQ(mzx_position(), -37);
  frames(1);
  EXPECT_EQ(mzx_position(), 0);
  frames(6 * 882 - 1, 1000);  // the six ticks of row 0
  EXPECT_EQ(mzx_position(), 0);
  frames(1);
  EXPECT_EQ(mzx_position(), 1);
}

// 136 BPM set on the first row: each tick is 810 frames from the first one on.
TEST_F(FrontEnd, RowsAt136Bpm) {
  load(plain().cell(0, 0, 1, 0, 0, 0xF, 136));
  frames(6 * 810);
  EXPECT_EQ(mzx_position(), 0);
  frames(1);
  EXPECT_EQ(mzx_position(), 1);
  frames(63 * 4860 - 1);
  EXPECT_EQ(mzx_position(), 63);
  frames(1);
  EXPECT_EQ(mzx_position(), 100);
}

// B07 on position 3 reads 663 for the rest of the row, then 700.
TEST_F(FrontEnd, PositionJumpReadings) {
  load(ModuleBuilder()
           .sample(1, std::vector<int8_t>(64))
           .orders({0, 1, 2, 3, 4, 5, 6, 7})
           .cell(0, 0, 0, 0, 0, 0xF, 1)  // speed 1: one tick a row
           .cell(3, 10, 2, 0, 0, 0xB, 7));
  mix_tickhook = record_position;
  frames(882 * (3 * 64 + 14));
  std::vector<int32_t> around;
  for (size_t i = 0; i < positions.size(); ++i)
    if (positions[i] >= 308 && positions[i] < 800) around.push_back(positions[i]);
  EXPECT_EQ(around, (std::vector<int32_t>{308, 309, 663, 700, 701, 702}));
}

// While a tick runs (here: when it selects channel 0, after the row and
// position advance and before the row's jump takes effect), a reader sees
// the position the previous tick finished, never a half-made one.
std::vector<int32_t> during;
void (*real_select)(int);
void select_and_record(int channel) {
  if (channel == 0) during.push_back(mzx_position());
  real_select(channel);
}

TEST_F(FrontEnd, ReadingsDuringATickShowTheLastFinishedTick) {
  load(ModuleBuilder()
           .sample(1, std::vector<int8_t>(64))
           .orders({0, 1, 2, 3, 4, 5, 6, 7})
           .cell(0, 0, 0, 0, 0, 0xF, 1)  // speed 1: one tick a row
           .cell(3, 10, 2, 0, 0, 0xB, 7)
           .cell(7, 3, 1, 0, 0, 0xD, 0));
  mix_tickhook = record_position;
  real_select = sd_selectchannel;
  sd_selectchannel = select_and_record;
  during.clear();
  frames(882 * (3 * 64 + 20 + 4));
  sd_selectchannel = real_select;
  ASSERT_EQ(during.size(), positions.size());
  ASSERT_GT(positions.size(), 200u);
  EXPECT_EQ(during[0], -37);
  for (size_t i = 1; i < during.size(); ++i) ASSERT_EQ(during[i], positions[i - 1]) << "tick " << i;
  // The jump's and the break's rows read 663 and 763 once they are done.
  EXPECT_NE(std::find(positions.begin(), positions.end(), 663), positions.end());
  EXPECT_NE(std::find(positions.begin(), positions.end(), 763), positions.end());
}

// What mzx_render hands out: (first frame, bytes) of every block, and the
// frame mzx_rendered() read in the tick hook during the block.
struct Taken {
  std::vector<std::pair<int64_t, int>> blocks;
  std::vector<uint8_t> bytes;
};
std::vector<int64_t> rendered_in_ticks;
void note_rendered(int) { rendered_in_ticks.push_back(mzx_rendered()); }
void take_block(void *ctx, const uint8_t *b, int n, int64_t first) {
  Taken &t = *static_cast<Taken *>(ctx);
  t.blocks.emplace_back(first, n);
  t.bytes.insert(t.bytes.end(), b, b + n);
}

TEST_F(FrontEnd, RenderRunsTheBlocksADeviceWouldHaveAskedFor) {
  ModuleBuilder song = ModuleBuilder().sample(1, std::vector<int8_t>(64, 90)).orders({0});
  song.cell(0, 0, 0, 1, 428);
  load(song);
  EXPECT_EQ(mzx_rendered(), 0);
  Taken t;
  const mzx_sink sink{take_block, &t};
  rendered_in_ticks.clear();
  mix_tickhook = note_rendered;
  mzx_render(0, &sink);  // block 0 runs at once
  mzx_render(4095, &sink);
  EXPECT_EQ(t.blocks.size(), 1u);
  mzx_render(4096, &sink);  // block 1 once 4096 frames have played
  mzx_render(mzx_rendered(), &sink);  // exactly the next block
  mzx_render(4 * 4096 - 1, nullptr);  // block 3, to no sink
  EXPECT_EQ(mzx_rendered(), 4 * 4096);
  const std::vector<std::pair<int64_t, int>> want = {{0, 16384}, {4096, 16384}, {8192, 16384}};
  EXPECT_EQ(t.blocks, want);
  // Ticks see the first frame of the block they run in (a tick lasts 882
  // frames at 125 BPM: frames 0 to 3528 in block 0, 4410 in block 1).
  ASSERT_GE(rendered_in_ticks.size(), 10u);
  EXPECT_EQ(rendered_in_ticks[4], 0);
  EXPECT_EQ(rendered_in_ticks[5], 4096);
  // The blocks are the audio callback's own output, block for block.
  load(song);
  std::vector<uint8_t> direct(3 * 16384);
  for (int k = 0; k < 3; k++) mix_newhand(nullptr, direct.data() + k * 16384, 16384);
  EXPECT_EQ(t.bytes, direct);
  EXPECT_NE(std::count(direct.begin(), direct.end(), 0), long(direct.size()));  // the note sounds
}

TEST_F(FrontEnd, FailedLoadReadsZeroAndNeverTicks) {
  load(plain());
  std::vector<uint8_t> bad = ModuleBuilder(4, "m.k.").build();
  mzx_init_offline(44100, 4096);
  EXPECT_EQ(mzx_get(bad.data()), 0);
  EXPECT_EQ(mzx_position(), 0);
  EXPECT_STREQ(pt_errorstr, "pt_takemod error: unknown module type!");
}

TEST_F(FrontEnd, StartIntervalAndElapsed) {
  SDL_Init(SDL_INIT_TIMER);
  load(plain());
  mzx_start(54);
  EXPECT_EQ(mzx_interval, 18u);
  EXPECT_LE(mzx_elapsed(), 1u);
  mzx_start(50);
  EXPECT_EQ(mzx_interval, 20u);
  SDL_Delay(50);
  EXPECT_GE(mzx_elapsed(), 2u);
  EXPECT_LE(mzx_elapsed(), 10u);
  // Offline, starting unpauses nothing and runs no tick.
  EXPECT_EQ(mzx_position(), -37);
  SDL_Quit();
}

TEST_F(FrontEnd, SetVolumeDropsTheFraction) {
  load(plain());
  EXPECT_EQ(mix_mainvolume, 64);
  mzx_setvolume(1.0);
  EXPECT_EQ(mix_mainvolume, 63);
  mzx_setvolume(0.5);
  EXPECT_EQ(mix_mainvolume, 31);
  mzx_setvolume(0.0);
  EXPECT_EQ(mix_mainvolume, 0);
  mzx_setvolume(4.0);
  EXPECT_EQ(mix_mainvolume, 252);
  mzx_setvolume(1e30);
  EXPECT_EQ(mix_mainvolume, 252);
}

TEST_F(FrontEnd, CallbackHandlesRiseAndRunOut) {
  load(plain());
  EXPECT_EQ(mzx_cbcount, 0);
  int32_t first = mzx_addcallback(nullptr);
  EXPECT_GE(first, 1);
  for (int i = 1; i < MZX_MAXCALLBACKS; ++i) ASSERT_EQ(mzx_addcallback(nullptr), first + i);
  EXPECT_EQ(mzx_cbcount, 1024);
  EXPECT_EQ(mzx_addcallback(nullptr), 0);
  EXPECT_EQ(mzx_nexthandle, first + 1024);
  // A fresh init empties the table but never reuses a handle.
  load(plain());
  EXPECT_EQ(mzx_addcallback(nullptr), first + 1024);
}

TEST_F(FrontEnd, InRange) {
  EXPECT_EQ(mzx_inrange(5, 1, 10), 1);
  EXPECT_EQ(mzx_inrange(1, 1, 10), 1);
  EXPECT_EQ(mzx_inrange(10, 1, 10), 1);
  EXPECT_EQ(mzx_inrange(0, 1, 10), 0);
  EXPECT_EQ(mzx_inrange(11, 1, 10), 0);
  EXPECT_EQ(mzx_inrange(-5, -10, 10), 1);
  EXPECT_EQ(mzx_inrange(12345, 99, -1), 1);  // negative maximum: anything
  EXPECT_EQ(mzx_inrange(5, 10, 1), 0);
}

mzx_condition any() {
  return {0, -1, 0, -1, 0, 0, 0, -1, 0, -1, 0, -1, 0, 0, -1, 0, -1};
}

// Row 4 of position 0 holds sample 3 with A12 on channel 2.
TEST_F(FrontEnd, MatchTestsTheCurrentRow) {
  load(ModuleBuilder()
           .sample(1, std::vector<int8_t>(64))
           .sample(3, std::vector<int8_t>(64))
           .orders({0, 1})
           .cell(0, 4, 2, 3, 428, 0xA, 0x12));
  mzx_condition c = any();
  EXPECT_EQ(mzx_match(&c), 0);  // before the first tick there is no row
  frames(4 * 6 * 882 + 1);      // row 4, tick 0
  ASSERT_EQ(mzx_position(), 4);
  EXPECT_EQ(mzx_match(&c), 1);

  c = any();
  c.command_min = c.command_max = 10;
  c.param_min = c.param_max = 0x12;
  EXPECT_EQ(mzx_match(&c), 1);
  c.channel_min = 0, c.channel_max = 1;
  EXPECT_EQ(mzx_match(&c), 0);  // the command is on channel 2
  c.channel_max = 3;
  c.sample_min = c.sample_max = 3;
  EXPECT_EQ(mzx_match(&c), 1);
  c.sample_min = c.sample_max = 2;
  EXPECT_EQ(mzx_match(&c), 0);

  c = any();
  c.row_divisor = 4;
  c.row_min = c.row_max = 0;  // 4 mod 4
  EXPECT_EQ(mzx_match(&c), 1);
  c.row_min = 1, c.row_max = 3;
  EXPECT_EQ(mzx_match(&c), 0);
  c.row_divisor = 0;  // taken as the row itself rather than dividing by 0
  c.row_min = c.row_max = 4;
  EXPECT_EQ(mzx_match(&c), 1);

  c = any();
  c.songpos_min = 1, c.songpos_max = 5;
  EXPECT_EQ(mzx_match(&c), 0);
  c = any();
  c.tick_min = c.tick_max = 0;
  EXPECT_EQ(mzx_match(&c), 1);
  frames(882);
  EXPECT_EQ(mzx_match(&c), 0);  // tick 1
  c.tick_min = 1, c.tick_max = 5;
  EXPECT_EQ(mzx_match(&c), 1);
}

}  // namespace
