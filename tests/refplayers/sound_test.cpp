// Rendered sound against libopenmpt with plain linear interpolation, no
// volume ramping, no dither and no Amiga filter: at a fixed speed and
// tempo, the mono sum of the engine's output must correlate above 0.95 with
// libopenmpt's, whatever the overall gain. The correlations are printed.
//
// Commands whose behaviour differs from the classic players on purpose
// (arpeggio, vibrato, tone portamento, retrigger) are not played here, nor
// tempo changes (libopenmpt applies them one tick later).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/temp_dir.h"
#include "refplayers/modbuild.h"
#include "refplayers/players.h"

namespace {

using namespace refplay;

constexpr size_t kPatternFrames = 64 * 6 * 882;  // one pattern at speed 6, tempo 125
constexpr double kMinCorrelation = 0.95;

// Three instruments: a looped sine (a steady tone whose level and pitch
// are easy to follow), a one-shot pluck, and a looped buzz with harmonics.
ModBuilder instruments() {
  ModBuilder b;
  std::vector<int8_t> buzz = pluck(1024, 16, 0, 3);
  b.sample(1, sine_wave(1024, 16), 64, 2, 1022).sample(2, pluck(6000, 90, 4, 11), 64).sample(3, buzz, 50, 2, 1022);
  return b;
}

// Renders one pattern with both engines, and checks and prints their
// correlation. The module must be one where the effect matters: the
// engine's render of `plain`, the same module without the effect, must
// fall below the bar against libopenmpt's render with it, so that an
// engine that ignored the effect would fail.
void expect_correlated(const char *what, const ModBuilder &b, const ModBuilder &plain) {
  std::vector<uint8_t> bytes = b.build();
  std::vector<int16_t> ours = engine_render(bytes, kPatternFrames);
  std::vector<int16_t> ref = openmpt_render(bytes, kPatternFrames);
  std::vector<int16_t> ours_plain = engine_render(plain.build(), kPatternFrames);
  ASSERT_EQ(ours.size(), kPatternFrames * 2);
  ASSERT_GE(ref.size(), kPatternFrames * 2 - 2 * 882) << "libopenmpt stopped early";
  double r = mono_correlation(ours, ref), r_plain = mono_correlation(ours_plain, ref);
  std::printf("correlation with libopenmpt, %s: %.4f (without the effect: %.4f)\n", what, r, r_plain);
  EXPECT_GT(r, kMinCorrelation) << what;
  EXPECT_LT(r_plain, kMinCorrelation) << what << ": the module does not depend on the effect";
}

// Notes on all four channels, each naming its sample (so each takes the
// sample's volume), and set-volume commands from 0 to 64 on notes and on
// their own.
TEST(Sound, NotesAndSetVolume) {
  ModBuilder b = instruments();
  b.orders({0});
  for (int r = 0; r < 64; r += 8) {
    b.cell(0, r, 0, 1, period(r / 8 % 12));
    b.cell(0, r + 4, 0, 0, 0, 0xC, (r * 5) % 65);
    b.cell(0, r + 2, 1, 2, period(12 + (r / 2) % 20), 0xC, 64 - r / 2);
    b.cell(0, r, 2, 3, period(24 + r / 8), 0xC, 20 + r / 2);
    b.cell(0, r + 6, 2, 0, 0, 0xC, 0);
    b.cell(0, r + 3, 3, 2, period(30 - r / 8));
    b.cell(0, r + 7, 3, 1, period(19));
  }
  expect_correlated("set volume", b, b.without(0xC));
}

// Volume slides up and down at several rates, running into both limits
// (0 and 64), a slide with both nibbles (only the up nibble counts) and
// slides on a one-shot sample. A looped voice is never brought back from
// volume 0 without a new note: the engine's mixer pauses a muted voice
// where it stands, classic players let it run on, and the two then play
// the loop out of phase.
TEST(Sound, VolumeSlides) {
  ModBuilder b = instruments();
  b.orders({0});
  b.cell(0, 0, 0, 1, period(7), 0xC, 1);
  for (int r = 1; r < 16; ++r) b.fx(0, r, 0, 0xA, 0x10);  // 1 up to 64 and held there
  for (int r = 16; r < 32; ++r) b.fx(0, r, 0, 0xA, 0x03);  // down to 0
  b.cell(0, 32, 0, 1, period(5), 0xC, 40);
  for (int r = 33; r < 64; ++r) b.fx(0, r, 0, 0xA, r < 48 ? 0x21 : 0x01);
  for (int r = 0; r < 64; r += 16) {
    b.cell(0, r, 1, 2, period(14 + r / 16));
    for (int k = 1; k < 16; ++k) b.fx(0, r + k, 1, 0xA, k < 8 ? 0x02 : 0x30);
    b.cell(0, r + 4, 2, 3, period(26), 0xA, 0x0F);
    b.cell(0, r + 8, 2, 3, period(28), 0xC, 8);
    b.fx(0, r + 9, 2, 0xA, 0x40);
    b.fx(0, r + 10, 2, 0xA, 0x40);
  }
  expect_correlated("volume slides", b, b.without(0xA));
}

// Slides up (1xx) and down (2xx) at several speeds, staying within the
// classic period range 113 to 856, with new notes resetting the period.
TEST(Sound, PeriodSlides) {
  ModBuilder b = instruments();
  b.orders({0});
  for (int r = 0; r < 64; r += 16) {
    b.cell(0, r, 0, 1, period(4), 0x1, 2 + r / 8);
    for (int k = 1; k < 8; ++k) b.fx(0, r + k, 0, 0x1, 2 + r / 8);
    b.cell(0, r + 8, 0, 1, period(28), 0x2, 1);
    for (int k = 9; k < 16; ++k) b.fx(0, r + k, 0, 0x2, k);
    b.cell(0, r + 2, 1, 3, period(20), 0x2, 3);
    for (int k = 3; k < 12; ++k) b.fx(0, r + k, 1, k % 2 ? 0x1 : 0x2, 5);
    b.cell(0, r + 4, 2, 2, period(16 + r / 16), 0x1, 8);
  }
  expect_correlated("period slides", b, b.without(0x1).without(0x2));
}

// Tremolo (sine) at several speeds and depths on two steady tones, with
// both nibbles changed and kept with 700. The depths keep the volume above
// 0: a voice muted by the tremolo would pause in the engine's mixer and
// run on in classic players, and the tones would drift out of phase.
TEST(Sound, Tremolo) {
  ModBuilder b = instruments();
  b.orders({0});
  b.cell(0, 0, 0, 1, period(12), 0xC, 32);
  b.cell(0, 0, 1, 3, period(19), 0xC, 36);
  for (int r = 1; r < 64; ++r) {
    b.fx(0, r, 0, 0x7, r == 1 ? 0x47 : r == 16 ? 0x26 : r == 32 ? 0x85 : r == 48 ? 0x17 : 0x00);
    if (r > 1) b.fx(0, r, 1, 0x7, r == 2 ? 0x37 : r == 40 ? 0x68 : 0x00);
  }
  expect_correlated("tremolo", b, b.without(0x7));
}

// Note cuts at ticks 1 to 5 of the row on looped tones and on a one-shot
// (a cut asked for past the row's last tick is not used here: classic
// players ignore it, the engine cuts on the last tick).
TEST(Sound, NoteCut) {
  ModBuilder b = instruments();
  b.orders({0});
  for (int r = 0; r < 64; r += 2) {
    b.cell(0, r, 0, 1, period(12 + r / 8), 0xE, 0xC0 | (1 + r / 2 % 5));
    b.cell(0, r + 1, 1, 3, period(24 - r / 8), 0xE, 0xC0 | (5 - r / 2 % 5));
    if (r % 8 == 0) b.cell(0, r, 2, 2, period(20), 0xE, 0xC3);
  }
  expect_correlated("note cut", b, b.without(0xE, 0xC));
}

// Sample offsets inside the sample, on a one-shot (which then plays its
// tail) and on looped samples (an offset inside the loop), with a note and
// with a repeated offset on later notes of the same sample.
TEST(Sound, SampleOffset) {
  ModBuilder b = instruments();
  b.orders({0});
  for (int r = 0; r < 64; r += 4) {
    b.cell(0, r, 0, 2, period(14 + r / 8 % 6), 0x9, 4 + r / 4 % 16);
    b.cell(0, r + 2, 1, 2, period(20), r % 8 ? 0x0 : 0x9, r % 8 ? 0 : 0x10);
    b.cell(0, r + 1, 2, 1, period(12 + r / 16), 0x9, 1 + r / 4 % 3);
    b.cell(0, r + 3, 3, 3, period(24 - r / 16), 0x9, 2);
  }
  expect_correlated("sample offset", b, b.without(0x9));
}

// A module whose last sample is a few bytes short (a download cut off):
// both reference players play it with the missing end as silence, and so
// must modtool, with one warning line; a module missing more than its last
// sample stays refused.
TEST(ShortModule, LastSampleShortPlaysAsSilence) {
  ModBuilder b = instruments();
  for (int r = 0; r < 64; r += 8) b.cell(0, r, 0, 3, period(r / 8)).cell(0, r + 4, 1, 2, period(12 + r / 8));
  const std::vector<uint8_t> whole = b.build();
  constexpr size_t kShort = 7;
  const std::vector<uint8_t> cut(whole.begin(), whole.end() - kShort);
  std::vector<uint8_t> silent = whole;
  std::fill(silent.end() - kShort, silent.end(), 0);

  xmp_context ctx = xmp_create_context();
  EXPECT_EQ(xmp_load_module_from_memory(ctx, cut.data(), long(cut.size())), 0) << "libxmp refuses the short module";
  xmp_free_context(ctx);
  // libopenmpt shortens the sample (and its loop) instead of padding it:
  // the same sound within a rounding step, not the same bytes.
  const std::vector<int16_t> ref_cut = openmpt_render(cut, kPatternFrames);
  ASSERT_EQ(ref_cut.size(), kPatternFrames * 2) << "libopenmpt stopped early";
  EXPECT_GT(mono_correlation(ref_cut, openmpt_render(silent, kPatternFrames)), 0.999)
      << "libopenmpt plays the short module unlike the one padded with silence";

  const std::string dir = test_temp_dir("refplayers");
  ASSERT_FALSE(dir.empty());
  auto render = [&](const std::string &name, const std::vector<uint8_t> &bytes, std::string &err) {
    EXPECT_TRUE(write_file(dir + "/" + name + ".mod", bytes));
    const std::string cmd = std::string(MODTOOL_EXE) + " render " + dir + "/" + name + ".mod -o " + dir + "/" + name +
                            ".wav --seconds 3 2>" + dir + "/" + name + ".err";
    const int rc = std::system(cmd.c_str());
    std::ifstream f(dir + "/" + name + ".err");
    std::stringstream text;
    text << f.rdbuf();
    err = text.str();
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  auto slurp = [&](const std::string &name) {
    std::ifstream f(dir + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  std::string err;
  EXPECT_EQ(render("silent", silent, err), 0);
  EXPECT_EQ(err, "");
  EXPECT_EQ(render("cut", cut, err), 0);
  EXPECT_EQ(err, "modtool: " + dir + "/cut.mod: the last sample is 7 bytes short; they play as silence\n");
  EXPECT_GT(slurp("cut.wav").size(), 500000u);
  EXPECT_EQ(slurp("cut.wav"), slurp("silent.wav"));
  // One byte past the last sample's start: the sample before it is short.
  const std::vector<uint8_t> shorter(whole.begin(), whole.end() - 1024 - 1);
  EXPECT_EQ(render("shorter", shorter, err), 2);
  EXPECT_NE(err.find("truncated"), std::string::npos) << err;
}

}  // namespace
