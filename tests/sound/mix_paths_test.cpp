// The mixer's two rendering forms (split: reads, then gains; fused: one
// pass) against a plain frame-by-frame rendering of the mixing rules, on
// thousands of random voices and millions of frames: any loop points
// (past the sample, inverted), positions past the end and at the top of
// the 32-bit range, steps from 0 to beyond the sample, gains from 0 to
// values that wrap; and short loops of every length over several blocks. And the 16-bit
// writer on aligned and unaligned output against the clipped accumulator.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "sound/mix.h"
#include "sound/sd.h"

namespace {

std::vector<int8_t> sample_data(std::mt19937 &rng, size_t n) {
  std::vector<int8_t> d(n);
  for (int8_t &b : d) b = int8_t(rng());
  return d;
}

// The frame-at rule of the mixer: inside the sample the byte; past the end
// a looped sample continues at its loop start; anything else reads 0.
int reference_byte(const mix_channel &v, uint64_t i) {
  if (i < v.length) return v.data[i];
  if (v.looping && i >= v.loop_end) {
    const uint64_t j = uint64_t(v.loop_start) + (i - v.loop_end);
    if (j < v.length) return v.data[j];
  }
  return 0;
}

// n frames of voice v added to acc (left, right pairs), frame by frame as
// the rules say: advance, bounds, two reads, gains, with 32-bit wrapping.
void reference_mix(mix_channel &v, int n, uint32_t l, uint32_t r, int32_t *acc) {
  for (int i = 0; i < n; ++i, acc += 2) {
    const uint32_t f = v.pos_frac + v.step_frac;
    v.pos += v.step + (f < v.pos_frac);
    v.pos_frac = f;
    if (v.looping) {
      if (v.pos > v.loop_end) v.pos = v.loop_start + 1;
    } else if (v.pos >= v.length) {
      v.pos = 0, v.step = 0, v.step_frac = 0;
    }
    const uint32_t w = v.pos_frac >> 26;
    const uint32_t a = uint32_t(reference_byte(v, v.pos)) * (63 - w);
    const uint32_t b = uint32_t(reference_byte(v, uint64_t(v.pos) + 1)) * w;
    acc[0] = int32_t(uint32_t(acc[0]) + uint32_t(int32_t(a * l) >> 6) + uint32_t(int32_t(b * l) >> 6));
    acc[1] = int32_t(uint32_t(acc[1]) + uint32_t(int32_t(a * r) >> 6) + uint32_t(int32_t(b * r) >> 6));
  }
}

mix_channel random_voice(std::mt19937 &rng, const std::vector<int8_t> &data) {
  auto below = [&](uint32_t n) { return uint32_t(rng() % n); };
  mix_channel v{};
  v.data = data.data();
  const uint32_t kind = below(8);
  v.length = kind == 0 ? 1 + below(3) : 1 + below(uint32_t(data.size()));
  v.looping = int(below(2));
  v.loop_start = below(v.length + 8);
  v.loop_end = kind == 1 ? below(v.length + 8) : v.loop_start + below(v.length + 8 - v.loop_start);
  v.pos = kind == 2 ? 0xFFFFFFFFu - below(3) : below(8) == 0 ? v.length + below(20) : below(v.length);
  v.pos_frac = uint32_t(rng());
  const uint32_t pace = below(10);
  v.step = pace == 0 ? 0 : pace < 7 ? 0 : pace < 9 ? below(3) : below(4 * v.length + 1);
  v.step_frac = pace == 0 || below(12) == 0 ? 0 : uint32_t(rng());
  return v;
}

void same_voice(const mix_channel &a, const mix_channel &b, int trial) {
  EXPECT_EQ(a.pos, b.pos) << trial;
  EXPECT_EQ(a.pos_frac, b.pos_frac) << trial;
  EXPECT_EQ(a.step, b.step) << trial;
  EXPECT_EQ(a.step_frac, b.step_frac) << trial;
}

TEST(MixPaths, SplitAndFusedMatchTheFrameByFrameRules) {
  std::mt19937 rng(42);
  const std::vector<int8_t> data = sample_data(rng, 3000);
  std::vector<int32_t> start(2 * MIX_MAXFRAMES), want(2 * MIX_MAXFRAMES);
  long frames = 0;
  for (int trial = 0; trial < 6000 && !HasFailure(); ++trial) {
    const mix_channel v0 = random_voice(rng, data);
    const int n = trial % 50 == 0 ? MIX_MAXFRAMES : 1 + int(rng() % 1500);
    const bool wraps = rng() % 10 == 0;
    const int32_t l = wraps ? int32_t(rng()) : int32_t(rng() % 520), r = wraps ? int32_t(rng()) : int32_t(rng() % 520);
    for (int i = 0; i < 2 * n; ++i) start[size_t(i)] = int32_t(rng() % 200000) - 100000;
    mix_channel ref = v0;
    want = start;
    reference_mix(ref, n, uint32_t(l), uint32_t(r), want.data());
    for (auto form : {mix_voice_split, mix_voice_fused}) {
      mix_channel v = v0;
      std::memcpy(mix_accum, start.data(), sizeof(int32_t) * 2 * size_t(n));
      form(v, n, l, r);
      same_voice(v, ref, trial);
      ASSERT_EQ(0, std::memcmp(mix_accum, want.data(), sizeof(int32_t) * 2 * size_t(n))) << "trial " << trial;
    }
    frames += n;
  }
  EXPECT_GT(frames, 4000000);
}

// Short loops, which wrap every few dozen frames: every loop length from 1
// to past the longest the mixer plays from a loop table, with loops inside
// the sample, ending at its end, one frame before it or past it, and at the
// top of the 32-bit range; positions before, inside and past the loop;
// steps below one frame (now and then creeping, now and then above one);
// each voice played on over three blocks of one frame to a whole pass.
TEST(MixPaths, ShortLoopsMatchTheFrameByFrameRules) {
  std::mt19937 rng(64);
  auto below = [&](uint32_t n) { return uint32_t(rng() % n); };
  const std::vector<int8_t> data = sample_data(rng, 1024);
  std::vector<int32_t> start(2 * MIX_MAXFRAMES), want(2 * MIX_MAXFRAMES);
  std::vector<uint32_t> lengths;
  for (uint32_t len = 1; len <= 64; ++len) lengths.push_back(len);
  for (uint32_t len = 65; len < 300; len += 9) lengths.push_back(len);
  lengths.insert(lengths.end(), {255, 256, 257});
  long frames = 0;
  for (const uint32_t len : lengths)
    for (int trial = 0; trial < 40 && !HasFailure(); ++trial) {
      mix_channel v0{};
      v0.data = data.data();
      v0.looping = 1;
      v0.loop_start = below(200);
      v0.loop_end = v0.loop_start + len;
      const int where = trial % 9;
      v0.length = where < 3   ? v0.loop_end + 2 + below(150)
                  : where < 5 ? v0.loop_end
                  : where < 7 ? v0.loop_end + 1
                  : where < 8 ? 1 + below(v0.loop_end)
                              : uint32_t(data.size());
      if (where == 8) {  // loop end 2^32 - 1 or just below: reads are 0
        v0.loop_end = 0xFFFFFFFFu - below(2);
        v0.loop_start = v0.loop_end - len;
      }
      const uint32_t at = below(8);
      v0.pos = at == 0 ? below(v0.loop_start + 1) : at == 1 ? v0.loop_end + 1 + below(4) : v0.loop_start + 1 + below(len);
      v0.pos_frac = uint32_t(rng());
      const uint32_t pace = below(16);
      v0.step = pace == 0 ? 1 + below(3) : 0;
      v0.step_frac = pace == 1 ? below(1u << 22) : uint32_t(rng());
      const bool wraps = below(12) == 0;
      const int32_t l = wraps ? int32_t(rng()) : int32_t(below(520)), r = wraps ? int32_t(rng()) : int32_t(below(520));
      mix_channel ref = v0, split = v0, fused = v0;
      for (int block = 0; block < 3; ++block) {
        const int n = below(30) == 0 ? MIX_MAXFRAMES : 1 + int(below(below(4) == 0 ? 40 : 2000));
        for (int i = 0; i < 2 * n; ++i) start[size_t(i)] = int32_t(below(200000)) - 100000;
        want = start;
        reference_mix(ref, n, uint32_t(l), uint32_t(r), want.data());
        for (auto [form, v] : {std::pair{&mix_voice_split, &split}, std::pair{&mix_voice_fused, &fused}}) {
          std::memcpy(mix_accum, start.data(), sizeof(int32_t) * 2 * size_t(n));
          form(*v, n, l, r);
          same_voice(*v, ref, int(len) * 100 + trial);
          ASSERT_EQ(0, std::memcmp(mix_accum, want.data(), sizeof(int32_t) * 2 * size_t(n)))
              << "loop of " << len << ", trial " << trial << ", block " << block;
        }
        frames += n;
      }
    }
  // One long block whose reach grows by one position at a time from 900 to
  // 1200 positions, across any bound on how far a table is laid out.
  for (uint32_t span = 900; span <= 1200 && !HasFailure(); ++span) {
    const int n = MIX_MAXFRAMES / 4;
    mix_channel v0{};
    v0.data = data.data();
    v0.looping = 1;
    v0.loop_start = below(100);
    v0.loop_end = v0.loop_start + 1 + below(64);
    v0.length = v0.loop_end + below(3);
    v0.pos = v0.loop_start + 1 + below(v0.loop_end - v0.loop_start);
    v0.step_frac = uint32_t((uint64_t(span) << 32) / uint64_t(n));
    for (int i = 0; i < 2 * n; ++i) start[size_t(i)] = int32_t(below(2000)) - 1000;
    mix_channel ref = v0;
    want = start;
    reference_mix(ref, n, 300, 200, want.data());
    for (auto form : {mix_voice_split, mix_voice_fused}) {
      mix_channel v = v0;
      std::memcpy(mix_accum, start.data(), sizeof(int32_t) * 2 * size_t(n));
      form(v, n, 300, 200);
      same_voice(v, ref, int(span));
      ASSERT_EQ(0, std::memcmp(mix_accum, want.data(), sizeof(int32_t) * 2 * size_t(n))) << "span " << span;
    }
    frames += n;
  }
  EXPECT_GT(frames, 4000000);
}

TEST(MixPaths, AVoiceStandingStillAddsItsConstantEveryFrame) {
  // Step 0 on bytes 50 and -20 at weight 16: (50 * 47 * 100) >> 6 +
  // (-20 * 16 * 100) >> 6 = 3671 - 500 on the left, gain 100.
  std::vector<int8_t> data = {0, 0, 50, -20, 7};
  for (auto form : {mix_voice_split, mix_voice_fused}) {
    mix_channel v{};
    v.data = data.data();
    v.length = 5;
    v.pos = 2;
    v.pos_frac = 16u << 26;
    std::memset(mix_accum, 0, sizeof(int32_t) * 2 * 300);
    form(v, 300, 100, 0);
    EXPECT_EQ(mix_accum[0][0], 3171);
    EXPECT_EQ(mix_accum[299][0], 3171);
    EXPECT_EQ(mix_accum[299][1], 0);
    EXPECT_EQ(v.pos, 2u);
  }
}

TEST(MixPaths, SixteenBitOutputIsTheClippedAccumulatorAtAnyAlignment) {
  std::mt19937 rng(9);
  std::vector<int8_t> data = sample_data(rng, 4000);
  sd_mix_setfunctions();
  sd_mix_init(44100, 4096);
  sd_setmainvolume(252);
  sd_setactivechannels(1);
  sd_getsample(1, data.data(), 4000, 0, 3990, 1);
  sd_selectchannel(0);
  sd_setsample(1);
  sd_setvolume(64);
  sd_setpanning(40);
  sd_setamigaperiod(150);
  std::vector<uint8_t> out(4 * 64 + 8);
  for (int frames = 1; frames <= 37; ++frames)
    for (int skew = 0; skew < 4; ++skew) {
      std::fill(out.begin(), out.end(), 0xEE);
      sd_mix_stereo(out.data() + skew, frames, 1);
      for (int i = 0; i < 2 * frames; ++i) {
        const int32_t x = std::clamp(mix_accum[i / 2][i % 2], -32768, 32767);
        ASSERT_EQ(out[size_t(skew + 2 * i)], uint8_t(x)) << frames << " " << skew << " " << i;
        ASSERT_EQ(out[size_t(skew + 2 * i + 1)], uint8_t(uint32_t(x) >> 8)) << frames << " " << skew << " " << i;
      }
      ASSERT_EQ(out[size_t(skew + 4 * frames)], 0xEE);
    }
}

}  // namespace
