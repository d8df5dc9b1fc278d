// Modules for comparing the engine with reference players: 4-channel "M.K."
// modules whose bytes are those of a standard file, so they can be written
// out and read back by any player, the periods of the notes, and sample
// shapes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/module_builder.h"

namespace refplay {

// Amiga periods of finetune 0, three octaves: index 0 is C-1 (856), 35 is B-3 (113).
constexpr int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                              428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                              214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// Period of semitone 0..35 above C-1.
inline int period(int semitone) { return kPeriods[std::clamp(semitone, 0, 35)]; }

// The shared builder with the header a tracker writes: this title, and a
// one-word loop length for samples without a loop.
struct ModBuilder : ModuleBuilder {
  ModBuilder() { title("reference test").no_loop_words(1); }
  ModBuilder(const ModuleBuilder &b) : ModuleBuilder(b) {}  // keeps the result of without()
};

// Sample shapes. Every sample starts with two zero bytes, as the demo's own
// module does, so a voice parked at its start is silent in every player.

// `cycles` periods of a sine of `len` bytes in all, amplitude 0..127.
inline std::vector<int8_t> sine_wave(int len, int cycles, int amplitude = 100) {
  std::vector<int8_t> d(size_t(len), 0);
  for (int i = 2; i < len; ++i)
    d[size_t(i)] = int8_t(std::lround(amplitude * std::sin(2 * M_PI * cycles * (i - 2) / (len - 2))));
  return d;
}

// A decaying noisy tone (a plucked or drum-like one-shot): `len` bytes,
// `cycles` periods of a square-ish wave under an exponential decay, with a
// little deterministic noise.
inline std::vector<int8_t> pluck(int len, int cycles, double decay, uint32_t noise_start) {
  std::vector<int8_t> d(size_t(len), 0);
  uint32_t r = noise_start;
  for (int i = 2; i < len; ++i) {
    r = r * 1103515245u + 12345u;
    double t = double(i - 2) / (len - 2);
    double tone = std::sin(2 * M_PI * cycles * t) + 0.3 * std::sin(6 * M_PI * cycles * t);
    double noise = (int((r >> 16) & 255) - 128) / 128.0;
    d[size_t(i)] = int8_t(std::lround(std::clamp(90 * std::exp(-decay * t) * (tone + 0.25 * noise), -127.0, 127.0)));
  }
  return d;
}

// Writes bytes to `path`; true when every byte was written.
inline bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace refplay
