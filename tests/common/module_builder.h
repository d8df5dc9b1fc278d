// Tracker modules in memory for tests: 20-byte title, 31 sample headers of
// 30 bytes, song length, restart byte, a 128-entry order list, a 4-byte tag
// at 1080, then 64-row patterns of channels x 4-byte cells from byte 1084,
// then sample data. The layout helpers serve tests that edit a raw image;
// ModuleBuilder assembles whole modules from samples, orders and cells.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace modimage {

constexpr size_t kPatternsAt = 1084;  // first pattern byte
constexpr size_t kOrdersAt = 952;     // order list (950: song length, 951: restart)
constexpr size_t kTagAt = 1080;

// Big-endian 16-bit field, as every word count in the header is stored.
inline void put16(uint8_t *p, unsigned v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}

// Header fields of sample k (1..31) in a module image: length, loop start
// and loop length in words, the finetune byte as stored, volume 0..64.
inline void put_sample(uint8_t *image, int k, unsigned words, int finetune, int volume,
                       unsigned loop_start, unsigned loop_len) {
  uint8_t *h = image + 20 + 30 * size_t(k - 1);
  put16(h + 22, words);
  h[24] = uint8_t(finetune);
  h[25] = uint8_t(volume);
  put16(h + 26, loop_start);
  put16(h + 28, loop_len);
}

// Byte offset of a cell in a module of `channels` channels.
inline size_t cell_at(int channels, int pattern, int row, int channel) {
  return kPatternsAt + (size_t(pattern) * 64 * size_t(channels) + size_t(row * channels + channel)) * 4;
}

// Packs one cell: sample 0..31 (0 none), 12-bit Amiga period (0 none),
// effect command 0..15 and parameter byte.
inline void put_cell(uint8_t *p, int sample, int period, int command, int param) {
  p[0] = uint8_t((sample & 0xF0) | ((period >> 8) & 15));
  p[1] = uint8_t(period);
  p[2] = uint8_t(((sample & 15) << 4) | (command & 15));
  p[3] = uint8_t(param);
}

}  // namespace modimage

class ModuleBuilder {
 public:
  explicit ModuleBuilder(int channels = 4, std::string tag = "M.K.") : channels_(channels), tag_(tag) {}

  // The title bytes (up to 20; the rest stay zero).
  ModuleBuilder &title(std::string text) {
    title_ = std::move(text);
    return *this;
  }

  // Loop length, in words, stored for a sample without a loop: 0, or 1 as
  // most trackers write it.
  ModuleBuilder &no_loop_words(int words) {
    no_loop_words_ = words;
    return *this;
  }

  // Sample k (1..31) with its data (an even number of bytes), volume and
  // loop in bytes (loop length 0: one-shot); finetune 0..15.
  ModuleBuilder &sample(int k, std::vector<int8_t> data, int volume = 64, int loop_start = 0,
                        int loop_len = 0, int finetune = 0) {
    samples_[k] = {std::move(data), volume, loop_start, loop_len, finetune};
    return *this;
  }

  // Order list; the restart byte is written as given (127 means none).
  ModuleBuilder &orders(std::vector<uint8_t> list, int restart = 127) {
    orders_ = std::move(list);
    restart_ = restart;
    return *this;
  }

  // One raw cell: sample number (0 none), Amiga period (0 none), effect
  // command and parameter.
  ModuleBuilder &cell(int pattern, int row, int channel, int sample, int period, int command = 0,
                      int param = 0) {
    cells_.push_back({pattern, row, channel, sample, period, command, param});
    return *this;
  }

  // An effect alone in a cell.
  ModuleBuilder &fx(int pattern, int row, int channel, int command, int param) {
    return cell(pattern, row, channel, 0, 0, command, param);
  }

  // The same module with every use of one effect cleared (command and
  // parameter 0, note and sample kept): `command` 0..15, and for command 14
  // the extended command's upper parameter nibble `ext` (-1 for any other).
  ModuleBuilder without(int command, int ext = -1) const {
    ModuleBuilder b = *this;
    for (Cell &c : b.cells_)
      if (c.command == command && (ext < 0 || (c.param >> 4) == ext)) c.command = c.param = 0;
    return b;
  }

  // Patterns stored: one past the highest order entry.
  int patterns() const {
    int last = 0;
    for (uint8_t o : orders_) last = std::max(last, int(o));
    return last + 1;
  }

  std::vector<uint8_t> build() const {
    std::vector<uint8_t> m(modimage::kPatternsAt + size_t(channels_) * 256 * size_t(patterns()));
    std::memcpy(m.data(), title_.data(), std::min<size_t>(20, title_.size()));
    for (int k = 1; k <= 31; ++k) {
      const Sample &s = samples_[k];
      modimage::put_sample(m.data(), k, unsigned(s.data.size() / 2), s.finetune & 15, s.volume,
                           unsigned(s.loop_start / 2),
                           unsigned(s.loop_len > 0 ? s.loop_len / 2 : no_loop_words_));
    }
    m[950] = uint8_t(orders_.size());
    m[951] = uint8_t(restart_);
    for (size_t i = 0; i < orders_.size() && i < 128; ++i) m[modimage::kOrdersAt + i] = orders_[i];
    std::memcpy(&m[modimage::kTagAt], tag_.data(), std::min<size_t>(4, tag_.size()));
    for (const Cell &c : cells_)
      modimage::put_cell(&m[modimage::cell_at(channels_, c.pattern, c.row, c.channel)], c.sample,
                         c.period, c.command, c.param);
    for (int k = 1; k <= 31; ++k)
      for (int8_t b : samples_[k].data) m.push_back(uint8_t(b));
    return m;
  }

 private:
  struct Sample {
    std::vector<int8_t> data;
    int volume = 0, loop_start = 0, loop_len = 0, finetune = 0;
  };
  struct Cell {
    int pattern, row, channel, sample, period, command, param;
  };

  int channels_;
  std::string tag_;
  std::string title_ = "test module";
  int no_loop_words_ = 0;
  Sample samples_[32];
  std::vector<uint8_t> orders_{0};
  int restart_ = 127;
  std::vector<Cell> cells_;
};
