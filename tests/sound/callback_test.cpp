// Audio callback: tick and block scheduling over device buffers, the
// guards that keep it from ticking, and the output formats it selects.
#include <gtest/gtest.h>

#include <vector>

#include "common/module_builder.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/mix.h"
#include "sound/sd.h"

namespace {

std::vector<int> ticks;  // frame offsets of the ticks in the current buffer
int tick_count;          // ticks since the module was loaded
int tick_volume_flip;    // when not 0, every tick alternates channel 0's volume

// Channel 0 plays a constant 100 at step 0 from slot 5; the hook mutes it
// on even ticks and opens it on odd ones, so the output shows exactly where
// each tick's settings took effect.
const std::vector<int8_t> level(64, 100);

void record_tick(int frame) {
  ticks.push_back(frame);
  ++tick_count;
  if (tick_volume_flip) {
    sd_selectchannel(0);
    sd_setvolume(tick_count % 2 == 0 ? 64 : 0);
  }
}

class Callback : public ::testing::Test {
 protected:
  std::vector<uint8_t> module;

  void load(ModuleBuilder b, int rate = 44100) {
    module = b.build();
    mzx_init_offline(rate, 4096);
    ASSERT_EQ(mzx_get(module.data()), 1);
    ticks.clear();
    tick_count = 0;
    tick_volume_flip = 0;
    mix_tickhook = record_tick;
  }
  void SetUp() override { load(ModuleBuilder().sample(1, std::vector<int8_t>(64))); }
  void TearDown() override {
    mix_tickhook = nullptr;
    mzx_mode = 2;
  }
  void hold_level_on_channel0() {
    sd_getsample(5, level.data(), int(level.size()), 0, 0, 0);
    sd_selectchannel(0);
    sd_setsample(5);
    sd_setpanning(127);
    sd_setamigaperiod(0);
    sd_setoffset(0);
    tick_volume_flip = 1;
  }
};

TEST_F(Callback, FiveTicksPerBufferAtTempo125) {
  hold_level_on_channel0();
  std::vector<int16_t> buf(2 * 4096, 0x5555);
  mix_newhand(nullptr, reinterpret_cast<uint8_t *>(buf.data()), 4096 * 4);
  EXPECT_EQ(ticks, (std::vector<int>{0, 882, 1764, 2646, 3528}));
  EXPECT_EQ(mzx_tickleft, 314);
  // The blocks are 882, 882, 882, 882 and 568 frames, each starting with
  // what its tick set: silent after ticks 1, 3, 5 and sounding after 2, 4.
  for (int f = 0; f < 4096; ++f) {
    int block = f / 882;
    int16_t want = block % 2 == 0 ? 0 : 6398;
    ASSERT_EQ(buf[2 * size_t(f)], want) << "frame " << f;
  }
  // The last tick's 314 frames carry over: the next buffer ticks at 314.
  ticks.clear();
  mix_newhand(nullptr, reinterpret_cast<uint8_t *>(buf.data()), 4096 * 4);
  EXPECT_EQ(ticks, (std::vector<int>{314, 1196, 2078, 2960, 3842}));
  EXPECT_EQ(buf[0], 0);              // still the fifth tick: silent
  EXPECT_EQ(buf[2 * 314], 6398);     // the sixth tick opened it
  EXPECT_EQ(mzx_tickleft, 882 - 254);
}

TEST_F(Callback, TickEndingAtBufferEndWaitsForNextBuffer) {
  std::vector<uint8_t> buf(882 * 4);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  EXPECT_EQ(ticks, (std::vector<int>{0}));
  EXPECT_EQ(mzx_tickleft, 0);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  EXPECT_EQ(ticks, (std::vector<int>{0, 0}));
}

TEST_F(Callback, LessThanAFrameDoesNothing) {
  uint8_t buf[4] = {0xAB, 0xAB, 0xAB, 0xAB};
  mix_newhand(nullptr, buf, 3);
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(mzx_position(), -37);
  for (uint8_t b : buf) EXPECT_EQ(b, 0xAB);
  mix_newhand(nullptr, buf, 4);  // one frame: the first tick runs
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(mzx_position(), 0);
}

TEST_F(Callback, NotMixerDrivenLeavesStreamAndSong) {
  mzx_mode = 0;
  std::vector<uint8_t> buf(4096 * 4, 0xAB);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(mzx_position(), -37);
  for (uint8_t b : buf) ASSERT_EQ(b, 0xAB);
}

// Tempo 0 is what a failed load leaves: no tick may run (the tick length
// would divide by it), the stream is silence.
TEST_F(Callback, NoTickWhileTempoIsZero) {
  pt_bpmtempo = 0;
  std::vector<uint8_t> buf(4096 * 4, 0xAB);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(mzx_position(), -37);
  for (uint8_t b : buf) ASSERT_EQ(b, 0);
}

// A tempo set by a tick sets that tick's own length: F20 (32 BPM) gives
// 3445 frames, FFF (255 BPM) 432.
TEST_F(Callback, TempoChangeSetsItsOwnTicksLength) {
  load(ModuleBuilder().sample(1, std::vector<int8_t>(64)).cell(0, 0, 0, 0, 0, 0xF, 0x20).cell(0, 1, 0, 0, 0, 0xF, 0xFF));
  std::vector<uint8_t> buf(10240 * 4);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_EQ(ticks[1], 3445);
  EXPECT_EQ(ticks[2], 2 * 3445);
  ticks.clear();
  // Row 1 starts on tick 7 and sets 255 BPM.
  for (int i = 0; i < 3; ++i) mix_newhand(nullptr, buf.data(), int(buf.size()));
  ASSERT_EQ(pt_bpmtempo, 255);
  ticks.clear();
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  ASSERT_GE(ticks.size(), 20u);
  for (size_t i = 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], 432);
}

// Below 44100 Hz the output is unsigned 8-bit, 2 bytes a frame, and ticks
// scale with the rate: 441 frames at 22050 Hz and tempo 125.
TEST_F(Callback, LowRatesUseEightBitAndScaledTicks) {
  load(ModuleBuilder().sample(1, std::vector<int8_t>(64)), 22050);
  EXPECT_EQ(sd_framebytes(), 2);
  std::vector<uint8_t> buf(1000 * 2, 0xAB);
  mix_newhand(nullptr, buf.data(), int(buf.size()));
  EXPECT_EQ(ticks, (std::vector<int>{0, 441, 882}));
  for (uint8_t b : buf) ASSERT_EQ(b, 0x80);
  load(ModuleBuilder().sample(1, std::vector<int8_t>(64)), 44100);
  EXPECT_EQ(sd_framebytes(), 4);
  EXPECT_EQ(sd_tickframes(125), 882);
  EXPECT_EQ(sd_tickframes(32), 3445);
}

}  // namespace
