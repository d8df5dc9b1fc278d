// In-memory builder of 4-channel "M.K." tracker modules, for comparing the
// engine with reference players: 31 sample headers, an order list, 64-row
// patterns addressed by (pattern, row, channel), and sample data. The bytes
// are those of a standard file, so they can be written out and read back by
// any player.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace refplay {

// Amiga periods of finetune 0, three octaves: index 0 is C-1 (856), 35 is B-3 (113).
constexpr int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                              428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                              214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// Period of semitone 0..35 above C-1.
inline int period(int semitone) { return kPeriods[std::clamp(semitone, 0, 35)]; }

class ModBuilder {
 public:
  // Sample k (1..31): data (even length), volume 0..64, loop start and
  // length in bytes (loop length 0: one-shot).
  ModBuilder &sample(int k, std::vector<int8_t> data, int volume = 64, int loop_start = 0, int loop_len = 0) {
    samples_[k] = {std::move(data), volume, loop_start, loop_len};
    return *this;
  }

  // Order list and restart byte (127: none).
  ModBuilder &orders(std::vector<uint8_t> list, int restart = 127) {
    orders_ = std::move(list);
    restart_ = restart;
    return *this;
  }

  // One cell: sample (0 none), period (0 none), command and parameter.
  ModBuilder &cell(int pattern, int row, int channel, int sample, int per, int command = 0, int param = 0) {
    cells_.push_back({pattern, row, channel, sample, per, command, param});
    return *this;
  }

  // An effect alone in a cell.
  ModBuilder &fx(int pattern, int row, int channel, int command, int param) {
    return cell(pattern, row, channel, 0, 0, command, param);
  }

  // The same module with every use of one effect cleared (command and
  // parameter 0, note and sample kept): `command` 0..15, and for command 14
  // the extended command's upper parameter nibble `ext` (-1 for any other).
  ModBuilder without(int command, int ext = -1) const {
    ModBuilder b = *this;
    for (Cell &c : b.cells_)
      if (c.command == command && (ext < 0 || (c.param >> 4) == ext)) c.command = c.param = 0;
    return b;
  }

  std::vector<uint8_t> build() const {
    int last = 0;
    for (uint8_t o : orders_) last = std::max(last, int(o));
    std::vector<uint8_t> m(1084 + 1024 * size_t(last + 1));
    std::memcpy(m.data(), "reference test", 14);
    for (int k = 1; k <= 31; ++k) {
      const Sample &s = samples_[k];
      uint8_t *h = &m[20 + 30 * size_t(k - 1)];
      put16(h + 22, unsigned(s.data.size() / 2));
      h[25] = uint8_t(s.volume);
      put16(h + 26, unsigned(s.loop_start / 2));
      put16(h + 28, unsigned(s.loop_len > 0 ? s.loop_len / 2 : 1));  // 1 word: the usual "no loop"
    }
    m[950] = uint8_t(orders_.size());
    m[951] = uint8_t(restart_);
    std::copy(orders_.begin(), orders_.end(), m.begin() + 952);
    std::memcpy(&m[1080], "M.K.", 4);
    for (const Cell &c : cells_) {
      uint8_t *p = &m[1084 + 1024 * size_t(c.pattern) + size_t(c.row * 4 + c.channel) * 4];
      p[0] = uint8_t((c.sample & 0xF0) | ((c.period >> 8) & 15));
      p[1] = uint8_t(c.period);
      p[2] = uint8_t(((c.sample & 15) << 4) | (c.command & 15));
      p[3] = uint8_t(c.param);
    }
    for (int k = 1; k <= 31; ++k)
      for (int8_t b : samples_[k].data) m.push_back(uint8_t(b));
    return m;
  }

 private:
  struct Sample {
    std::vector<int8_t> data;
    int volume = 0, loop_start = 0, loop_len = 0;
  };
  struct Cell {
    int pattern, row, channel, sample, period, command, param;
  };
  static void put16(uint8_t *p, unsigned v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
  }

  Sample samples_[32];
  std::vector<uint8_t> orders_{0};
  int restart_ = 127;
  std::vector<Cell> cells_;
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
