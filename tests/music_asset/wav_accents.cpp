#include "wav_accents.h"

#include "figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const std::vector<int> kAccentPositions = {232,  300,  332,  400,  432,  500,  532,  600,  632,  900,
                                           1000, 1248, 1300, 1316, 1400, 1416, 1432, 1500, 1516, 1600,
                                           1616, 1632, 1700, 1732, 2242, 2320, 2462};

WavReport measure_wav(const std::string &path, const std::vector<int> &positions, double frames_per_row) {
  WavReport rep;
  std::string err;  // the reason is not reported: an empty read is not ok
  const std::vector<int16_t> s = mf_read_wav(path, err);
  if (s.empty()) return rep;
  rep.ok = true;
  rep.frames = long(s.size() / 2);
  for (int16_t v : s) rep.clipped += v >= 32767 || v <= -32768;
  for (long row = 0; long((row + 1) * frames_per_row) <= rep.frames; row++) {
    const long a = long(row * frames_per_row), b = long((row + 1) * frames_per_row);
    double e = 0;
    for (long i = 2 * a; i < 2 * b; i++) e += double(s[i]) * s[i];
    rep.row_power.push_back(e / double(2 * (b - a)));
  }
  for (int pos : positions) {
    const long start = long((pos / 100 * 64 + pos % 100) * frames_per_row + 0.5);
    const double at = std::max(mf_window_energy(s, start), mf_window_energy(s, start + kMfWindow));
    std::vector<double> around;
    for (long k = -40; k < 40; k++) {
      if (k >= -3 && k < 3) continue;  // the 150 ms on either side of the row
      const long w = start + k * kMfWindow;
      if (w >= 0 && w + kMfWindow <= rep.frames) around.push_back(mf_window_energy(s, w));
    }
    double ratio = 0;
    if (!around.empty()) {
      std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
      const double med = around[around.size() / 2];
      ratio = med > 0 ? at / med : (at > 0 ? 1e9 : 0);
    }
    rep.accents.push_back({pos, ratio});
    rep.passed += ratio >= 1.5;
  }
  return rep;
}

double level_db(const WavReport &r, int from, int to) {
  double e = 0;
  int n = 0;
  for (int pos = from; pos < to; pos++) {
    const size_t row = size_t(pos / 100 * 64 + pos % 100);
    if (pos % 100 < 64 && row < r.row_power.size()) {
      e += r.row_power[row];
      n++;
    }
  }
  return n ? 10 * std::log10(e / n / (32768.0 * 32768.0) + 1e-12) : -120;
}

bool write_wav(const std::string &path, const std::vector<int16_t> &s) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const uint32_t bytes = uint32_t(s.size() * 2);
  uint8_t h[44];
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; i++) h[at + i] = uint8_t(v >> (8 * i));
  };
  auto put16 = [&](int at, uint16_t v) {
    h[at] = uint8_t(v);
    h[at + 1] = uint8_t(v >> 8);
  };
  std::memcpy(h, "RIFF", 4);
  put32(4, 36 + bytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 2);
  put32(24, 44100);
  put32(28, 44100 * 4);
  put16(32, 4);
  put16(34, 16);
  std::memcpy(h + 36, "data", 4);
  put32(40, bytes);
  std::vector<uint8_t> body(h, h + 44);
  body.reserve(44 + 2 * s.size());
  for (int16_t v : s) {
    body.push_back(uint8_t(v));
    body.push_back(uint8_t(uint16_t(v) >> 8));
  }
  const bool ok = std::fwrite(body.data(), 1, body.size(), f) == body.size();
  return std::fclose(f) == 0 && ok;
}
