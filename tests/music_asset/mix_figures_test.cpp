// The mix figures: first the measures themselves on made-up signals, then
// the goals the module's render is held to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "figures.h"
#include "wav_accents.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> sines(long n, std::initializer_list<std::pair<double, double>> parts) {
  std::vector<double> x(n, 0.0);
  for (long i = 0; i < n; i++)
    for (auto [hz, amp] : parts) x[i] += amp * std::sin(2 * kPi * hz * i / 44100.0);
  return x;
}

TEST(MixMeasure, BandSharesAndCentroidOfKnownTones) {
  const long n = 44100;
  const std::vector<double> hum = sines(n, {{100, 1}}), tone = sines(n, {{1000, 1}}), air = sines(n, {{6000, 1}});
  EXPECT_GT(mf_band_share(hum, 0, 500), 0.99);
  EXPECT_GT(mf_band_share(tone, 500, 2000), 0.99);
  EXPECT_LT(mf_band_share(tone, 0, 500), 0.01);
  EXPECT_GT(mf_band_share(air, 4000, 1e9), 0.99);
  // Equal amplitudes carry equal energy: half below 500 Hz, half above 4 kHz,
  // and the centroid halfway between the two.
  const std::vector<double> both = sines(n, {{200, 1}, {6000, 1}});
  EXPECT_NEAR(mf_band_share(both, 0, 500), 0.5, 0.01);
  EXPECT_NEAR(mf_band_share(both, 4000, 1e9), 0.5, 0.01);
  EXPECT_NEAR(mf_centroid(tone), 1000, 15);
  EXPECT_NEAR(mf_centroid(both), 3100, 30);
  EXPECT_EQ(mf_centroid(std::vector<double>(n, 0.0)), 0);
}

// Both channels the same, as doubles of full scale.
std::vector<double> both_channels(const std::vector<double> &x) {
  std::vector<double> s(2 * x.size());
  for (size_t i = 0; i < x.size(); i++) s[2 * i] = s[2 * i + 1] = x[i];
  return s;
}

// BS.1770's reference: a 997 Hz sine at full scale in one channel reads
// -3.01 LUFS, so in both 0.0, and half the amplitude 6.02 less. Gating
// leaves silence out and the relative gate a part 20 dB down; the range
// spans the loud and the soft part when both pass its gate.
TEST(MixMeasure, LoudnessOfKnownTonesAndItsGates) {
  const long n = 10 * 44100;
  std::vector<double> tone = sines(n, {{997, 1.0}});
  EXPECT_NEAR(mf_loudness(both_channels(tone)).integrated, 0.0, 0.05);
  std::vector<double> one(2 * n, 0.0);
  for (long i = 0; i < n; i++) one[2 * i] = tone[i];
  EXPECT_NEAR(mf_loudness(one).integrated, -3.01, 0.05);
  for (double &v : tone) v *= 0.5;
  EXPECT_NEAR(mf_loudness(both_channels(tone)).integrated, -6.02, 0.05);
  EXPECT_NEAR(mf_loudness(both_channels(tone)).range, 0.0, 0.05);
  // The K-weighting: 40 Hz is cut by a few dB; 5 kHz is lifted by the
  // shelf's 4 dB less the 0.7 dB it already gives 997 Hz.
  EXPECT_LT(mf_loudness(both_channels(sines(n, {{40, 0.5}}))).integrated, -6.02 - 1.5);
  EXPECT_NEAR(mf_loudness(both_channels(sines(n, {{5000, 0.5}}))).integrated, -6.02 + 3.3, 0.2);
  std::vector<double> gaps = tone, steps = tone;
  for (long i = n / 2; i < n; i++) {
    gaps[i] = 0;
    steps[i] *= 0.1;  // -20 dB
  }
  // (The blocks across the step, partly silent, pass the gates too.)
  EXPECT_NEAR(mf_loudness(both_channels(gaps)).integrated, -6.02, 0.25);
  EXPECT_NEAR(mf_loudness(both_channels(steps)).integrated, -6.02, 0.3);
  for (long i = n / 2; i < n; i++) steps[i] = tone[i] * std::pow(10.0, -8 / 20.0);
  EXPECT_NEAR(mf_loudness(both_channels(steps)).range, 8.0, 0.3);
  const MfLoudness silent = mf_loudness(std::vector<double>(2 * n, 0.0));
  EXPECT_EQ(silent.integrated, -70);
  EXPECT_EQ(silent.range, 0);
}

// The high-pass the real songs' DC goes through: DC gone, 1.5 kHz kept at
// its level once the step at the start has died away.
TEST(MixMeasure, HighPassRemovesDcOnly) {
  const long n = 44100;
  std::vector<int16_t> s(2 * n);
  for (long i = 0; i < n; i++)
    s[2 * i] = s[2 * i + 1] = int16_t(std::lround(3000 + 8000 * std::sin(2 * kPi * 1500 * i / 44100.0)));
  const std::vector<int16_t> out = mf_highpassed(s, 20);
  const MfFigures f = mf_measure(out, {});
  EXPECT_NEAR(f.dc_left, 0, 5);
  EXPECT_NEAR(f.presence, 1.0, 0.01);
  int late_peak = 0;
  for (long i = n / 2; i < n; i++) late_peak = std::max(late_peak, std::abs(int(out[2 * i])));
  EXPECT_NEAR(late_peak, 8000, 40);
}

std::vector<int16_t> stereo(const std::vector<double> &l, const std::vector<double> &r) {
  std::vector<int16_t> s(2 * l.size());
  for (size_t i = 0; i < l.size(); i++) {
    s[2 * i] = int16_t(std::lround(l[i]));
    s[2 * i + 1] = int16_t(std::lround(r[i]));
  }
  return s;
}

// A song-long bed, with flash rows given `gain` over it.
std::vector<int16_t> bed_with_hits(const std::vector<int> &rows, double gain) {
  const long frames = long(26 * 64 * kMfFramesPerRow);
  std::vector<double> x = sines(frames, {{220, 1000}});
  for (int pos : rows) {
    const long at = long((pos / 100 * 64 + pos % 100) * kMfFramesPerRow);
    for (long i = at; i < at + long(kMfFramesPerRow) && i < frames; i++) x[i] *= gain;
  }
  return stereo(x, x);
}

TEST(MixMeasure, StereoWidthAndCorrelation) {
  const long n = 44100;
  const std::vector<double> a = sines(n, {{300, 8000}}), b = sines(n, {{470, 8000}});
  const std::vector<double> silent(n, 0.0);
  std::vector<double> minus(a);
  for (double &v : minus) v = -v;
  const MfFigures same = mf_measure(stereo(a, a), {}), left = mf_measure(stereo(a, silent), {}),
                  wide = mf_measure(stereo(a, b), {}), opposed = mf_measure(stereo(a, minus), {});
  EXPECT_NEAR(same.correlation, 1.0, 1e-6);
  EXPECT_LT(same.side_mid_db, -60);
  EXPECT_NEAR(left.side_mid_db, 0.0, 0.01);  // one side only: side and mid are equal
  EXPECT_EQ(left.correlation, 0.0);
  EXPECT_NEAR(wide.correlation, 0.0, 0.01);  // unrelated tones
  EXPECT_NEAR(wide.side_mid_db, 0.0, 0.1);
  EXPECT_NEAR(opposed.correlation, -1.0, 1e-6);
  EXPECT_EQ(same.frames, n);
  EXPECT_EQ(same.clipped, 0);
}

TEST(MixMeasure, FlashContrastAgainstThePlainDownbeatsAroundIt) {
  // The figures' accent rows are the rows the accent check listens to.
  EXPECT_EQ(kMfAccentRows, kAccentPositions);
  // Twice the amplitude is +6 dB. The title hit and the drop are loud too,
  // but as accent rows they never count as plain downbeats.
  std::vector<int> loud = kMfAccentRows;
  loud.erase(std::remove(loud.begin(), loud.end(), 1300), loud.end());
  const MfFigures f = mf_measure(bed_with_hits(loud, 2.0));
  ASSERT_EQ(f.flashes.size(), 25u);
  for (const MfFlash &fl : f.flashes) {
    SCOPED_TRACE(fl.pos);
    EXPECT_NEAR(fl.contrast_db, fl.pos == 1300 ? 0.0 : 6.02, 0.3);
    EXPECT_NEAR(fl.downbeat_db, f.flashes[0].downbeat_db, 0.3);
  }
  EXPECT_EQ(f.flashes_3db, 24);
  EXPECT_NEAR(f.flash_median_db, 6.02, 0.3);
  EXPECT_EQ(f.clipped, 0);
}

TEST(MixMeasure, CountsClippingAndPeak) {
  std::vector<int16_t> s(2 * 44100, 100);
  s[10] = 32767;
  s[11] = -32768;
  s[2 * 30000] = -32767;
  const MfFigures f = mf_measure(s, {});
  EXPECT_EQ(f.clipped, 2);
  EXPECT_EQ(f.peak, 32768);
  EXPECT_NEAR(f.dc_left, 100, 1);
}

TEST(MixMeasure, ReadsOnlySixteenBitStereoWav) {
  std::string err;
  EXPECT_TRUE(mf_read_wav(ULV_TEST_OUT "/no_such.wav", err).empty());
  EXPECT_EQ(err, "No such file or directory");
  const std::string path = ULV_TEST_OUT "/figures_probe.wav";
  ASSERT_TRUE(write_wav(path, {1, -2, 3, -4}));
  const std::vector<int16_t> s = mf_read_wav(path, err);
  EXPECT_EQ(s, (std::vector<int16_t>{1, -2, 3, -4}));
  std::ofstream(path, std::ios::binary) << "RIFF....WAVEjunk";
  err.clear();
  EXPECT_TRUE(mf_read_wav(path, err).empty());
  EXPECT_FALSE(err.empty());
  std::remove(path.c_str());
}

// The render of our own replayer and mixer, made by the build, against the
// mix's goals: the loudness and presence of real songs, a top end from the
// cymbals, a wide stereo image, a hit on every flash row, a bright worm
// section, no clipping.
TEST(OwnPlayer, MixMeetsItsGoals) {
  const std::string path = ULV_ASSET_DIR "/nothing.wav";
  if (!std::ifstream(path)) GTEST_SKIP() << path << " has not been rendered";
  std::string err;
  const std::vector<int16_t> s = mf_read_wav(path, err);
  ASSERT_FALSE(s.empty()) << err;
  const MfFigures f = mf_measure(s);
  std::printf("%.1f LUFS, range %.1f LU; below 100 Hz %.1f%%, below 500 Hz %.1f%%, 1-3 kHz %.1f%%, above 4 kHz %.2f%%; "
              "side/mid %.1f dB, correlation %.2f\n",
              f.lufs, f.lra, 100 * f.sub, 100 * f.low, 100 * f.presence, 100 * f.top, f.side_mid_db, f.correlation);
  std::printf("flash rows at +3 dB: %d of %zu (median %+.1f dB); worm centroid %.0f Hz; peak %d, clipped %ld\n",
              f.flashes_3db, f.flashes.size(), f.flash_median_db, f.worm_centroid_hz, f.peak, f.clipped);
  // Beside real four-channel songs: as loud as their middle half, energy
  // where the ear is keenest, a low end that does not swamp the rest, and
  // every flash row a hit over the downbeats around it.
  EXPECT_GE(f.lufs, -13.5);
  EXPECT_LE(f.lufs, -10.5);
  EXPECT_GE(f.presence, 0.09);
  EXPECT_LE(f.sub, 0.30);
  EXPECT_EQ(f.flashes_3db, int(f.flashes.size()));
  EXPECT_GE(f.top, 0.02);
  EXPECT_GE(f.side_mid_db, -7.0);
  EXPECT_LT(f.correlation, 0.75);
  EXPECT_GT(f.worm_centroid_hz, 300);
  EXPECT_EQ(f.clipped, 0);
  EXPECT_LT(std::fabs(f.dc_left), 32);  // a thousandth of full scale
  EXPECT_LT(std::fabs(f.dc_right), 32);
}

}  // namespace
