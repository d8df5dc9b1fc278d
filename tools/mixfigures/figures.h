// Mix figures of a 44100 Hz 16-bit stereo render of the song: where the
// energy sits in the spectrum, how wide the stereo is, how hard the
// picture's flash rows hit, how bright the worm section is, and whether
// anything clips. Floating point is fine here: this is an offline tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Frames per row of our replayer: 6 ticks of 110250 / 136 frames.
constexpr double kMfFramesPerRow = 4860.0;

struct MfFlash {
  int pos;             // order x 100 + row
  double hit_db;       // level of the louder of the row's two first 50 ms windows, dBFS
  double downbeat_db;  // median of the same level at the plain downbeats around it
  double contrast_db;  // hit_db - downbeat_db
};

struct MfFigures {
  long frames = 0;
  // Shares of the energy (both channels, 0 Hz excluded) below 100 Hz,
  // below 500 Hz, 1 to 3 kHz (presence), and above 4 kHz.
  double sub = 0, low = 0, presence = 0, top = 0;
  // Loudness as ITU-R BS.1770-4 measures it: integrated over the gated
  // 400 ms blocks, LUFS; its range (EBU Tech 3342, 3 s windows), LU; and how
  // much of the integrated loudness a small speaker loses (a 300 Hz
  // high-pass ahead of the measure), LU.
  double lufs = 0, lra = 0, small_speaker_loss = 0;
  double side_mid_db = 0;  // energy of (L-R)/2 over that of (L+R)/2
  double correlation = 0;  // sum LR / sqrt(sum LL sum RR)
  std::vector<MfFlash> flashes;
  int flashes_3db = 0;     // flash rows at +3 dB or more
  double flash_median_db = 0;
  // The worm section, rows [worm_from, worm_to) of the song.
  double worm_centroid_hz = 0, worm_low = 0, worm_side_mid_db = 0;
  long clipped = 0;            // values at 32767 or -32768
  int peak = 0;                // largest magnitude of a value
  int peak_pos = 0;            // the position (order x 100 + row) where it is
  double dc_left = 0, dc_right = 0;  // mean value of each channel
};

// The rows of the song (order x 100 + row) where the picture flashes, read
// from the demo's script: the first row of each flash pair, the gargoyle's
// text bursts and the portrait switches; ascending.
extern const std::vector<int> kMfFlashRows;
// Every row the music accents: the flash rows, the title hit and the drop.
// A downbeat on one of these is not plain.
extern const std::vector<int> kMfAccentRows;

// Interleaved 16-bit stereo frames of a PCM WAV file; on failure empty, with
// the reason in `err`.
std::vector<int16_t> mf_read_wav(const std::string &path, std::string &err);

// Measures interleaved stereo frames; the worm section is the worm strip's
// positions (the script's SCENE_WORMS) and flash rows are `flash_rows`.
MfFigures mf_measure(const std::vector<int16_t> &s, const std::vector<int> &flash_rows = kMfFlashRows);

// Frames of the loudness window at a row: 50 ms at 44100 Hz.
constexpr long kMfWindow = 2205;

// Sum of squares of both channels over the kMfWindow frames from `frame`
// (the part inside the sound; nothing outside it).
double mf_window_energy(const std::vector<int16_t> &s, long frame);

// Integrated loudness (LUFS) and loudness range (LU) of interleaved 44100 Hz
// stereo frames, values scaled so that 1.0 is full scale. Silence (no
// block above the absolute gate) gives -70 LUFS and 0 LU.
struct MfLoudness {
  double integrated, range;
};
MfLoudness mf_loudness(const std::vector<double> &stereo);

// Interleaved stereo values as doubles of full scale (32768 is 1.0),
// through a second-order Butterworth high-pass at `cut_hz` when cut_hz > 0.
std::vector<double> mf_scaled(const std::vector<int16_t> &s, double cut_hz = 0);

// Interleaved stereo frames through that high-pass, rounded and clamped to
// 16 bits: the real songs' DC taken out before they are measured.
std::vector<int16_t> mf_highpassed(const std::vector<int16_t> &s, double cut_hz);

// Energy spectrum helpers, exposed for tests: share of the energy of
// `mono` (any length) in [lo_hz, hi_hz), and its spectral centroid in Hz.
double mf_band_share(const std::vector<double> &mono, double lo_hz, double hi_hz);
double mf_centroid(const std::vector<double> &mono);
