// The module through a reference player (libopenmpt), and the accent and
// headroom measurements on renders.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "wav_accents.h"

namespace {

std::vector<char> module_bytes() {
  std::ifstream f(ULV_ASSET_DIR "/nothing.mod", std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(f), {});
}

void report(const WavReport &r) {
  for (const AccentRow &a : r.accents) std::printf("accent %4d: %6.2f%s\n", a.pos, a.ratio, a.ratio < 1.5 ? "  LOW" : "");
  std::printf("accents %d of %zu, clipped %ld of %ld values\n", r.passed, r.accents.size(), r.clipped, 2 * r.frames);
}

void expect_good_render(const WavReport &r) {
  ASSERT_TRUE(r.ok);
  report(r);
  ASSERT_EQ(r.accents.size(), kAccentPositions.size());
  EXPECT_GE(r.passed * 10, int(r.accents.size()) * 8) << "fewer than 80% of the accent rows stand out";
  EXPECT_LT(r.clipped * 10000.0, 2.0 * r.frames) << "more than 0.01% of the output values clip";
  // The music follows the picture's fades: the outro fades over 4 s from
  // 2920 and is 20 dB down by its last rows (a last bell may ring after),
  // the second section fades at 1050, the worms rise from black at 1100,
  // and the intro is darker than the drop.
  const double outro = level_db(r, 2900, 2920), outro_end = level_db(r, 2952, 2956);
  const double calm = level_db(r, 1000, 1048), calm_end = level_db(r, 1060, 1064);
  const double rise = level_db(r, 1100, 1104), risen = level_db(r, 1132, 1164);
  const double intro = level_db(r, 0, 64), drop = level_db(r, 300, 364);
  std::printf("outro %.1f -> %.1f dB, calm %.1f -> %.1f dB, worms %.1f -> %.1f dB, intro %.1f, drop %.1f dB\n", outro,
              outro_end, calm, calm_end, rise, risen, intro, drop);
  EXPECT_LT(outro_end, outro - 20);
  EXPECT_LT(calm_end, calm - 12);
  EXPECT_LT(rise, risen - 6);
  EXPECT_LT(intro, drop - 3);
}

TEST(ReferencePlayer, ReadsFourChannelsThirtyTwoOrdersAndTheLength) {
  const std::vector<char> bytes = module_bytes();
  ASSERT_FALSE(bytes.empty());
  openmpt::module mod(bytes);
  EXPECT_EQ(mod.get_num_channels(), 4);
  EXPECT_EQ(mod.get_num_orders(), 32);
  EXPECT_EQ(mod.get_num_patterns(), 25);
  EXPECT_EQ(mod.get_num_samples(), 31);
  // 2048 rows of 4860 frames at 44100 Hz; libopenmpt keeps the fraction of
  // the tick length that our replayer drops.
  EXPECT_NEAR(mod.get_duration_seconds(), 9953280 / 44100.0, 1.0);
}

// Renders the whole song with libopenmpt (linear interpolation, full stereo
// separation) and measures it, taking the row starts from the player itself.
TEST(ReferencePlayer, RenderHasItsAccentsAndHeadroom) {
  const std::vector<char> bytes = module_bytes();
  ASSERT_FALSE(bytes.empty());
  openmpt::module mod(bytes);
  mod.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 2);
  mod.set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, 100);
  std::vector<int16_t> all, buf(2 * 256);
  all.reserve(size_t(2 * 44100 * (mod.get_duration_seconds() + 1)));  // grown once, not by doubling
  long last_row_start = -1;
  for (;;) {
    const long at = long(all.size() / 2);
    if (mod.get_current_order() == 31 && mod.get_current_row() == 63 && last_row_start < 0) last_row_start = at;
    const size_t n = mod.read_interleaved_stereo(44100, 256, buf.data());
    if (!n) break;
    all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
  }
  ASSERT_GT(last_row_start, 0);
  const double frames_per_row = last_row_start / double(31 * 64 + 63);
  std::printf("libopenmpt: %.2f frames per row\n", frames_per_row);
  EXPECT_NEAR(frames_per_row, 4864, 8);
  const std::string path = ULV_TEST_OUT "/nothing_openmpt.wav";
  ASSERT_TRUE(write_wav(path, all));
  const WavReport report = measure_wav(path, kAccentPositions, frames_per_row);
  std::remove(path.c_str());
  expect_good_render(report);
}

// The render of our own replayer and mixer, made by the build.
TEST(OwnPlayer, RenderHasItsAccentsAndHeadroom) {
  const std::string path = ULV_ASSET_DIR "/nothing.wav";
  if (!std::ifstream(path)) GTEST_SKIP() << path << " has not been rendered";
  expect_good_render(measure_wav(path, kAccentPositions));
}

// The measurement itself, on a made-up render: a soft bed with a burst on
// some accent rows only.
TEST(AccentMeasure, FindsBurstsOnlyWhereTheyAre) {
  const long frames = 16 * 64 * 4860L;
  std::vector<int16_t> s(2 * frames);
  for (long i = 0; i < frames; i++) s[2 * i] = s[2 * i + 1] = int16_t(1000 * std::sin(i * 0.05));
  const std::vector<int> loud = {332, 1248}, quiet = {400, 900};
  for (int pos : loud) {
    const long at = (pos / 100 * 64 + pos % 100) * 4860L;
    for (long i = at + 2205; i < at + 4410; i++) s[2 * i] = s[2 * i + 1] = int16_t(3000 * std::sin(i * 0.05));
  }
  s[100] = 32767;
  s[101] = -32768;
  const std::string path = ULV_TEST_OUT "/accent_probe.wav";
  ASSERT_TRUE(write_wav(path, s));
  WavReport r = measure_wav(path, {332, 1248, 400, 900});
  std::remove(path.c_str());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.frames, frames);
  EXPECT_EQ(r.clipped, 2);
  ASSERT_EQ(r.accents.size(), 4u);
  EXPECT_NEAR(r.accents[0].ratio, 9.0, 0.5);  // (3000 / 1000) squared, in the second window
  EXPECT_NEAR(r.accents[1].ratio, 9.0, 0.5);
  EXPECT_NEAR(r.accents[2].ratio, 1.0, 0.1);
  EXPECT_NEAR(r.accents[3].ratio, 1.0, 0.1);
  EXPECT_EQ(r.passed, 2);
  EXPECT_FALSE(measure_wav(ULV_TEST_OUT "/no_such.wav", {332}).ok);
}

}  // namespace
