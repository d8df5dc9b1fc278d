// Measures a render of the module: loudness at the picture's accent rows and
// clipped output values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AccentRow {
  int pos;       // order x 100 + row
  double ratio;  // louder of the two 50 ms windows at the row over the median around it
};

struct WavReport {
  bool ok = false;  // the file was read as 16-bit stereo PCM
  long frames = 0;
  long clipped = 0;  // output values at +-32767 or -32768
  std::vector<AccentRow> accents;
  int passed = 0;  // accents with ratio >= 1.5
  std::vector<double> row_power;  // mean square of both channels over each row
};

// Level in dB (relative to full scale) of rows [from, to) of positions
// (order x 100 + row), from the report's row powers.
double level_db(const WavReport &r, int from, int to);

// Reads a 16-bit stereo WAV and measures it. Row r of order o starts at frame
// (64 o + r) x frames_per_row (4860 for our replayer at 136 BPM, speed 6).
// Energy is the sum of squares of both channels over 50 ms (2205 frames);
// an accent's reference is the median of the 50 ms windows within 2 s on
// either side of the row, leaving out 150 ms on either side of it.
WavReport measure_wav(const std::string &path, const std::vector<int> &positions, double frames_per_row = 4860.0);

// Writes a 16-bit stereo WAV at 44100 Hz; false on failure.
bool write_wav(const std::string &path, const std::vector<int16_t> &interleaved);

// The rows where the picture flashes or changes: the first row of each flash
// pair, the title hit, the drop and the text bursts of the gargoyle.
extern const std::vector<int> kAccentPositions;
