// Builds 31-sample tagged tracker modules in memory for tests: a header,
// patterns addressed by (pattern, row, channel), and sample data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ModuleBuilder {
 public:
  explicit ModuleBuilder(int channels = 4, std::string tag = "M.K.") : channels_(channels), tag_(tag) {}

  // Sample k (1..31) with its data (an even number of bytes), volume and
  // loop in bytes.
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

  // One raw cell: sample number, Amiga period, effect command and parameter.
  ModuleBuilder &cell(int pattern, int row, int channel, int sample, int period, int command = 0,
                      int param = 0) {
    cells_.push_back({pattern, row, channel, sample, period, command, param});
    return *this;
  }

  int patterns() const {
    int last = 0;
    for (uint8_t o : orders_) last = std::max(last, int(o));
    return last + 1;
  }

  std::vector<uint8_t> build() const {
    const size_t pattern_bytes = size_t(channels_) * 256;
    std::vector<uint8_t> m(1084 + pattern_bytes * size_t(patterns()));
    std::memcpy(m.data(), "test module", 11);
    for (int k = 1; k <= 31; ++k) {
      const Sample &s = samples_[k];
      uint8_t *h = &m[20 + 30 * size_t(k - 1)];
      put16(h + 22, unsigned(s.data.size() / 2));
      h[24] = uint8_t(s.finetune & 15);
      h[25] = uint8_t(s.volume);
      put16(h + 26, unsigned(s.loop_start / 2));
      put16(h + 28, unsigned(s.loop_len / 2));
    }
    m[950] = uint8_t(orders_.size());
    m[951] = uint8_t(restart_);
    for (size_t i = 0; i < orders_.size() && i < 128; ++i) m[952 + i] = orders_[i];
    std::memcpy(&m[1080], tag_.data(), std::min<size_t>(4, tag_.size()));
    for (const Cell &c : cells_) {
      uint8_t *p = &m[1084 + pattern_bytes * size_t(c.pattern) + size_t(c.row * channels_ + c.channel) * 4];
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
    int volume = 0, loop_start = 0, loop_len = 0, finetune = 0;
  };
  struct Cell {
    int pattern, row, channel, sample, period, command, param;
  };
  static void put16(uint8_t *p, unsigned v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
  }

  int channels_;
  std::string tag_;
  Sample samples_[32];
  std::vector<uint8_t> orders_{0};
  int restart_ = 127;
  std::vector<Cell> cells_;
};
