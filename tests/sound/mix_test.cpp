// Software mixer: period conversion, gains, interpolation, loop and park,
// the channel operations and both output formats.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "sound/mix.h"
#include "sound/sd.h"

namespace {

class Mixer : public ::testing::Test {
 protected:
  void SetUp() override {
    sd_mix_setfunctions();
    sd_mix_init(44100, 4096);
    sd_setmainvolume(64);
    sd_setactivechannels(1);
  }

  // Registers `data` in slot 1 and starts it on channel 0 at volume 64,
  // centre panning, position 0 and the given 32.32 step.
  void start(const std::vector<int8_t> &data, uint32_t step, uint32_t step_frac, int loop_start = 0,
             int loop_end = 0, int looping = 0) {
    sd_getsample(1, data.data(), int(data.size()), loop_start, loop_end, looping);
    sd_selectchannel(0);
    sd_setsample(1);
    sd_setvolume(64);
    sd_setpanning(127);
    set_step(step, step_frac);
    sd_setoffset(0);
  }

  void set_step(uint32_t step, uint32_t step_frac) {
    mix_selected->step = step;
    mix_selected->step_frac = step_frac;
    mix_selected->new_period = 1;
  }

  // Channels 0 and 1 play 127, channels 2 and 3 play -128, at step 0, full
  // volume and main volume 252 (gain 510 on a hard-panned side).
  std::vector<int8_t> loud = std::vector<int8_t>(100, 127), low = std::vector<int8_t>(100, -128);
  void four_voices(const int (&pan)[4]) {
    sd_setmainvolume(252);
    sd_setactivechannels(4);
    for (int c = 0; c < 4; ++c) {
      sd_getsample(c + 1, c < 2 ? loud.data() : low.data(), 100, 0, 0, 0);
      sd_selectchannel(c);
      sd_setsample(c + 1);
      sd_setvolume(64);
      sd_setpanning(pan[c]);
      set_step(0, 0);
      sd_setoffset(0);
    }
  }

  std::vector<int16_t> render16(int frames) {
    std::vector<int16_t> out(2 * size_t(frames));
    sd_mix_stereo(out.data(), frames, 1);
    return out;
  }
};

TEST_F(Mixer, PeriodToStepAt44100) {
  sd_selectchannel(0);
  struct {
    int period;
    uint32_t step, step_frac;
  } const table[] = {
      {856, 0, 403541760u}, {428, 0, 807083520u}, {214, 0, 1614167296u},
      {113, 0, 3056918784u}, {80, 1, 22930688u},
  };
  for (const auto &row : table) {
    mix_selected->new_period = 0;
    EXPECT_EQ(sd_setamigaperiod(row.period), 1);
    EXPECT_EQ(mix_selected->step, row.step) << row.period;
    EXPECT_EQ(mix_selected->step_frac, row.step_frac) << row.period;
    EXPECT_EQ(mix_selected->new_period, 1);
  }
  sd_setamigaperiod(0);
  EXPECT_EQ(mix_selected->step, 0u);
  EXPECT_EQ(mix_selected->step_frac, 0u);
}

TEST_F(Mixer, PeriodUsesTheInitialisedRate) {
  sd_mix_init(22050, 4096);
  sd_selectchannel(0);
  sd_setamigaperiod(428);  // the step of period 214 at 44100 Hz
  EXPECT_EQ(mix_selected->step, 0u);
  EXPECT_EQ(mix_selected->step_frac, 1614167296u);
}

// Centre panning at main volume 64 gives L = 65, R = 64: a frame with w = 0
// reading 100 adds 100 x 63 x 65 >> 6 = 6398 left and 6300 right.
TEST_F(Mixer, GainLawWorkedExamples) {
  std::vector<int8_t> data(64, 100);
  start(data, 1, 0);
  render16(1);
  EXPECT_EQ(mix_accum[0][0], 6398);
  EXPECT_EQ(mix_accum[0][1], 6300);

  sd_setpanning(0);  // L = 129, R = 0
  render16(1);
  EXPECT_EQ(mix_accum[0][0], 12698);
  EXPECT_EQ(mix_accum[0][1], 0);

  sd_setpanning(255);  // L = 0, R = 129
  render16(1);
  EXPECT_EQ(mix_accum[0][0], 0);
  EXPECT_EQ(mix_accum[0][1], 12698);

  sd_setmainvolume(300);  // stored as 252: L = 256, R = 254 at panning 127
  EXPECT_EQ(mix_mainvolume, 252);
  sd_setpanning(127);
  render16(1);
  EXPECT_EQ(mix_accum[0][0], 25200);
  EXPECT_EQ(mix_accum[0][1], 25003);
}

// Weights 53 and 10 on two bytes of 100: shifting each product on its own
// gives 5382 + 1015 = 6397 on the left, one less than shifting the sum.
TEST_F(Mixer, InterpolationShiftsEachProduct) {
  std::vector<int8_t> data(64, 100);
  start(data, 1, 10u << 26);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos_frac >> 26, 10u);
  EXPECT_EQ(mix_accum[0][0], 6397);
  EXPECT_EQ(mix_accum[0][1], 6300);
}

// Advance, then read: the first frame after offset 0 already reads frame 1,
// and the next block continues one step beyond where this one stopped.
TEST_F(Mixer, AdvanceThenRead) {
  std::vector<int8_t> data(64);
  for (int i = 0; i < 64; ++i) data[size_t(i)] = int8_t(i);
  start(data, 1, 0);
  sd_setpanning(0);  // L = 129
  render16(3);
  EXPECT_EQ(mix_accum[0][0], (1 * 63 * 129) >> 6);
  EXPECT_EQ(mix_accum[2][0], (3 * 63 * 129) >> 6);
  render16(1);
  EXPECT_EQ(mix_accum[0][0], (4 * 63 * 129) >> 6);
}

TEST_F(Mixer, LoopCyclesFromLoopStartPlusOne) {
  std::vector<int8_t> data(200);
  start(data, 1, 0, 0, 100, 1);
  render16(100);
  EXPECT_EQ(mix_voices[0].pos, 100u);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 1u);  // 101 becomes loop start + 1
  render16(99);
  EXPECT_EQ(mix_voices[0].pos, 100u);
  // A step that overshoots still lands on loop start + 1; the fraction stays.
  sd_selectchannel(0);
  set_step(7, 0x40000000u);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 1u);
  EXPECT_EQ(mix_voices[0].pos_frac, 0x40000000u);
}

TEST_F(Mixer, OneShotParksUntilANewPeriod) {
  std::vector<int8_t> data(50, 10);
  data[0] = data[1] = 0;
  start(data, 1, 0x20000000u);
  render16(44);  // 44 x 1.125 = 49.5: still inside
  EXPECT_EQ(mix_voices[0].pos, 49u);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 0u);
  EXPECT_EQ(mix_voices[0].step, 0u);
  EXPECT_EQ(mix_voices[0].step_frac, 0u);
  EXPECT_EQ(mix_voices[0].pos_frac, 0xA0000000u);  // the fraction stays
  auto out = render16(100);
  EXPECT_EQ(mix_voices[0].pos, 0u);
  for (int16_t s : out) ASSERT_EQ(s, 0);  // frames 0 and 1 are silent
  // A new period alone restarts nothing; a new offset does.
  sd_selectchannel(0);
  sd_setamigaperiod(428);
  render16(10);
  EXPECT_EQ(mix_voices[0].pos, 2u);  // 0.625 + 10 x 0.1879
  EXPECT_EQ(mix_voices[0].step_frac, 807083520u);
}

TEST_F(Mixer, MutedVoiceHoldsItsPlace) {
  std::vector<int8_t> data(1000, 1);
  start(data, 1, 0);
  render16(10);
  sd_setvolume(0);
  auto out = render16(50);
  EXPECT_EQ(mix_voices[0].pos, 10u);
  for (int16_t s : out) ASSERT_EQ(s, 0);
  sd_setvolume(64);
  render16(5);
  EXPECT_EQ(mix_voices[0].pos, 15u);
}

TEST_F(Mixer, SetSampleKeepsPositionAndPitch) {
  std::vector<int8_t> a(1000, 1), b(1000, -1);
  start(a, 2, 0);
  render16(10);
  sd_getsample(2, b.data(), int(b.size()), 0, 0, 0);
  sd_selectchannel(0);
  sd_setsample(2);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 22u);
  EXPECT_EQ(mix_voices[0].data, b.data());
  EXPECT_EQ(mix_voices[0].sample, 2);
  EXPECT_LT(mix_accum[0][0], 0);
}

TEST_F(Mixer, SetOffsetRules) {
  std::vector<int8_t> data(1000);
  start(data, 1, 0, 100, 300, 1);
  render16(5);
  // Inside the loop: jump, looping stays.
  sd_setoffset(200);
  EXPECT_EQ(mix_selected->looping, 1);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 201u);
  // Beyond the loop end, inside the sample: looping off, jump; the sample
  // then plays to its end and parks.
  sd_setoffset(500);
  EXPECT_EQ(mix_selected->looping, 0);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 501u);
  render16(499);
  EXPECT_EQ(mix_voices[0].pos, 0u);
  EXPECT_EQ(mix_voices[0].step, 0u);
  // At or past the length: the position is left alone.
  start(data, 1, 0, 100, 2000, 1);
  render16(3);
  sd_setoffset(1000);
  EXPECT_EQ(mix_selected->looping, 1);  // 1000 is not beyond loop end 2000
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 4u);
  sd_setoffset(5000);
  EXPECT_EQ(mix_selected->looping, 0);
  render16(1);
  EXPECT_EQ(mix_voices[0].pos, 5u);
}

TEST_F(Mixer, InitResetsChannelsAndSlots) {
  std::vector<int8_t> data(100, 1);
  start(data, 1, 0);
  sd_setactivechannels(3);
  render16(4);
  sd_mix_init(48000, 1024);
  EXPECT_EQ(mix_rate, 48000);
  EXPECT_EQ(mix_mainvolume, 64);
  EXPECT_EQ(mix_activechannels, 3);
  for (const mix_channel *set : {&mix_channels[0], &mix_voices[0], &mix_channels[31]}) {
    EXPECT_EQ(set->data, nullptr);
    EXPECT_EQ(set->volume, 0);
    EXPECT_EQ(set->pos, 0u);
    EXPECT_EQ(set->panning, 127);
    EXPECT_EQ(set->new_period, 1);
    EXPECT_EQ(set->new_offset, 1);
  }
  EXPECT_EQ(mix_samples[1].data, nullptr);
  EXPECT_EQ(mix_samples[1].length, 100u);  // kept
}

// Samples in exactly sized heap blocks (the address sanitizer flags any
// read past them) and a copy between guard bytes of 127 (a read past them
// would show in the sum).
class MixerBounds : public Mixer {
 protected:
  std::unique_ptr<int8_t[]> exact;
  std::vector<int8_t> guarded;

  const int8_t *place(const std::vector<int8_t> &s) {
    exact.reset(new int8_t[s.size()]);
    std::memcpy(exact.get(), s.data(), s.size());
    guarded.assign(s.size() + 32, 127);
    std::memcpy(guarded.data() + 16, s.data(), s.size());
    return exact.get();
  }
};

TEST_F(MixerBounds, LastFrameOfOneShotReadsZero) {
  std::vector<int8_t> s(16, 0);
  s[15] = 64;
  for (int copy = 0; copy < 2; ++copy) {
    const int8_t *d = copy == 0 ? place(s) : guarded.data() + 16;
    sd_getsample(1, d, 16, 0, 0, 0);
    sd_selectchannel(0);
    sd_setsample(1);
    sd_setvolume(64);
    sd_setpanning(0);
    mix_selected->pos = 14;
    mix_selected->pos_frac = 0;
    mix_selected->new_offset = 1;
    set_step(0, 1u << 31);  // half a frame per frame
    render16(4);
    // Frames at 14.5, 15.0, 15.5, then parked: frame 16 reads 0.
    EXPECT_EQ(mix_accum[0][0], (64 * 32 * 129) >> 6) << copy;
    EXPECT_EQ(mix_accum[1][0], (64 * 63 * 129) >> 6) << copy;
    EXPECT_EQ(mix_accum[2][0], (64 * 31 * 129) >> 6) << copy;
    EXPECT_EQ(mix_voices[0].pos, 0u);
  }
}

TEST_F(MixerBounds, LoopedLastFrameReadsLoopStart) {
  std::vector<int8_t> s(16, 0);
  s[4] = 100;  // loop start
  const int8_t *d = place(s);
  sd_getsample(1, d, 16, 4, 16, 1);
  sd_selectchannel(0);
  sd_setsample(1);
  sd_setvolume(64);
  sd_setpanning(0);
  mix_selected->pos = 14;
  mix_selected->new_offset = 1;
  set_step(0, 1u << 31);
  render16(4);
  // 14.5 and 15.0 read 0; 15.5 takes 32/63 of frame 16, which reads as the
  // loop start; 16.0 (the loop end) reads the loop start itself.
  EXPECT_EQ(mix_accum[0][0], 0);
  EXPECT_EQ(mix_accum[1][0], 0);
  EXPECT_EQ(mix_accum[2][0], (100 * 32 * 129) >> 6);
  EXPECT_EQ(mix_accum[3][0], (100 * 63 * 129) >> 6);
  // 16.5 still reads 31/63 of the loop start; 17.0 is past the loop end and
  // goes to loop start + 1.
  render16(2);
  EXPECT_EQ(mix_accum[0][0], (100 * 31 * 129) >> 6);
  EXPECT_EQ(mix_accum[1][0], 0);
  EXPECT_EQ(mix_voices[0].pos, 5u);
}

TEST_F(MixerBounds, BrokenLoopPointsStayInsideTheSample) {
  std::vector<int8_t> s(16, 0);
  // Loop end and loop start both past the length, as a damaged module may
  // give them: every frame outside the sample reads 0.
  for (int copy = 0; copy < 2; ++copy) {
    const int8_t *d = copy == 0 ? place(s) : guarded.data() + 16;
    sd_getsample(1, d, 16, 40, 90, 1);
    sd_selectchannel(0);
    sd_setsample(1);
    sd_setvolume(64);
    sd_setpanning(0);
    set_step(1, 0x12345678u);
    sd_setoffset(0);
    auto out = render16(500);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << copy << " " << i;
  }
}

TEST_F(Mixer, SixteenBitOutputClips) {
  four_voices({0, 255, 0, 255});
  // Channels 0 and 1 loud, one per side; 2 and 3 low, one per side: the sum
  // of a side stays 127 x 63 x 510 >> 6 - 128 x 63 x 510 >> 6, small.
  auto out = render16(1);
  EXPECT_EQ(out[0], int16_t(mix_accum[0][0]));
  EXPECT_GT(out[0], -600);
  // Both loud channels to the left, both low ones to the right.
  sd_selectchannel(1);
  sd_setpanning(0);
  sd_selectchannel(2);
  sd_setpanning(255);
  out = render16(1);
  EXPECT_GT(mix_accum[0][0], 100000);
  EXPECT_LT(mix_accum[0][1], -100000);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  // Little-endian byte order whatever the host.
  uint8_t bytes[4];
  sd_mix_stereo(bytes, 1, 1);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0x7F);
  EXPECT_EQ(bytes[2], 0x00);
  EXPECT_EQ(bytes[3], 0x80);
}

TEST_F(Mixer, EightBitOutput) {
  uint8_t out[8];
  std::memset(out, 0x11, sizeof out);
  sd_mix_stereo(out, 4, 0);  // nothing playing: silence is 0x80
  for (uint8_t b : out) EXPECT_EQ(b, 0x80);

  std::vector<int8_t> plus(64, 100), minus(64, -100);
  start(plus, 1, 0);
  sd_mix_stereo(out, 1, 0);
  EXPECT_EQ(out[0], 128 + (6398 >> 9));  // 140
  EXPECT_EQ(out[1], 128 + (6300 >> 9));
  start(minus, 1, 0);
  sd_mix_stereo(out, 1, 0);
  EXPECT_EQ(mix_accum[0][0], -6399);  // arithmetic shifts round down
  EXPECT_EQ(out[0], 115);

  // Four loud voices on one side: far beyond 65535, clipped to 0xFF and 0x00.
  four_voices({0, 0, 255, 255});
  sd_mix_stereo(out, 1, 0);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x00);
}

// A count above one pass renders as one long block would.
TEST_F(Mixer, LongBlocksMatchOnePass) {
  std::vector<int8_t> data(30000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = int8_t((i * 7) ^ (i >> 3));
  auto run = [&](int pieces) {
    start(data, 1, 0x9abcdef0u, 1000, 21000, 1);
    std::vector<int16_t> all;
    int total = 3 * MIX_MAXFRAMES;
    for (int p = 0; p < pieces; ++p) {
      auto part = render16(total / pieces);
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  };
  EXPECT_EQ(run(1), run(5));
}

}  // namespace

namespace {

// The block algorithm written plainly, one frame at a time, as a yardstick
// for the optimised renderer: advance, bounds, read (0 outside the sample,
// the loop continuing past its end), two products per side each shifted on
// its own, clipping.
struct ModelVoice {
  std::vector<int8_t> data;
  uint32_t pos = 0, frac = 0, step = 0, step_frac = 0, loop_start = 0, loop_end = 0;
  int looping = 0, volume = 0, panning = 127;
};

int model_read(const ModelVoice &v, uint64_t i) {
  if (i < v.data.size()) return v.data[i];
  if (v.looping && i >= v.loop_end) {
    uint64_t j = uint64_t(v.loop_start) + (i - v.loop_end);
    if (j < v.data.size()) return v.data[j];
  }
  return 0;
}

void model_mix(std::vector<ModelVoice> &voices, int mainvol, int n, std::vector<int16_t> &out) {
  std::vector<int64_t> acc(2 * size_t(n), 0);
  for (ModelVoice &v : voices) {
    if (v.data.empty() || v.volume == 0) continue;
    uint32_t gl = ((uint32_t(255 - v.panning) * uint32_t(mainvol) * uint32_t(v.volume)) >> 7) / 63;
    uint32_t gr = ((uint32_t(v.panning) * uint32_t(v.volume) * uint32_t(mainvol)) >> 7) / 63;
    for (int i = 0; i < n; ++i) {
      uint32_t f = v.frac + v.step_frac;
      v.pos += v.step + (f < v.frac ? 1 : 0);
      v.frac = f;
      if (v.looping) {
        if (v.pos > v.loop_end) v.pos = v.loop_start + 1;
      } else if (v.pos >= v.data.size()) {
        v.pos = v.step = v.step_frac = 0;
      }
      int32_t w = int32_t(v.frac >> 26);
      int32_t a = model_read(v, v.pos) * (63 - w), b = model_read(v, uint64_t(v.pos) + 1) * w;
      acc[2 * size_t(i)] += int32_t(uint32_t(a) * gl) >> 6;
      acc[2 * size_t(i)] += int32_t(uint32_t(b) * gl) >> 6;
      acc[2 * size_t(i) + 1] += int32_t(uint32_t(a) * gr) >> 6;
      acc[2 * size_t(i) + 1] += int32_t(uint32_t(b) * gr) >> 6;
    }
  }
  out.resize(acc.size());
  for (size_t i = 0; i < acc.size(); ++i) {
    int32_t x = int32_t(uint32_t(uint64_t(acc[i])));
    out[i] = int16_t(x < -32768 ? -32768 : x > 32767 ? 32767 : x);
  }
}

TEST(MixerModel, RandomVoicesMatchThePlainAlgorithm) {
  uint32_t state = 12345;
  auto rnd = [&](uint32_t m) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % m;
  };
  for (int round = 0; round < 60; ++round) {
    sd_mix_setfunctions();
    sd_mix_init(44100, 4096);
    int mainvol = int(rnd(253));
    sd_setmainvolume(mainvol);
    sd_setactivechannels(4);
    std::vector<ModelVoice> model(4);
    for (int c = 0; c < 4; ++c) {
      ModelVoice &v = model[size_t(c)];
      v.data.resize(1 + rnd(300));
      for (int8_t &b : v.data) b = int8_t(rnd(256));
      v.looping = int(rnd(2));
      v.loop_start = rnd(uint32_t(v.data.size()) + 20);
      v.loop_end = v.loop_start + rnd(uint32_t(v.data.size()) + 20);
      // Mostly the replayer's range; now and then a volume the fast path
      // must hand over (negative, or a gain beyond 16 bits).
      int pick = int(rnd(10));
      v.volume = pick == 0 ? -int(rnd(1000)) : pick == 1 ? 5000 + int(rnd(100000)) : int(rnd(256));
      v.panning = int(rnd(256));
      v.step = rnd(3);
      v.step_frac = rnd(0xFFFFFFu) << 8;
      v.pos = rnd(uint32_t(v.data.size()));
      sd_getsample(c + 1, v.data.data(), int(v.data.size()), int(v.loop_start), int(v.loop_end), v.looping);
      sd_selectchannel(c);
      sd_setsample(c + 1);
      sd_setvolume(v.volume);
      sd_setpanning(v.panning);
      mix_selected->step = v.step;
      mix_selected->step_frac = v.step_frac;
      mix_selected->new_period = 1;
      sd_setoffset(v.pos);
      if (v.loop_end < v.pos) v.looping = 0;  // an offset past the loop end
    }
    for (int n : {1, 3, 4, 7, 882, 4096}) {
      std::vector<int16_t> got(2 * size_t(n)), want;
      sd_mix_stereo(got.data(), n, 1);
      model_mix(model, mainvol, n, want);
      ASSERT_EQ(got, want) << "round " << round << ", block of " << n;
      for (int c = 0; c < 4; ++c) {
        if (model[size_t(c)].volume != 0) {
          ASSERT_EQ(mix_voices[c].pos, model[size_t(c)].pos) << c;
        }
      }
    }
  }
}

}  // namespace
