// A 320x200 frame with guard bytes on both sides, to catch writes that
// leave the frame.
#pragma once

#include <cstdint>
#include <vector>

class GuardedFrame {
 public:
  static constexpr int kWidth = 320, kHeight = 200, kSize = kWidth * kHeight;
  static constexpr int kGuard = 4096;
  static constexpr uint8_t kGuardByte = 0xA5;

  explicit GuardedFrame(uint8_t fill = 0) : buf_(kSize + 2 * kGuard, kGuardByte) {
    std::fill(data(), data() + kSize, fill);
  }
  uint8_t *data() { return buf_.data() + kGuard; }
  uint8_t &at(int x, int y) { return data()[kWidth * y + x]; }
  bool guards_intact() const {
    for (int i = 0; i < kGuard; i++)
      if (buf_[i] != kGuardByte || buf_[kGuard + kSize + i] != kGuardByte) return false;
    return true;
  }
  // Number of frame pixels that hold `v`.
  int count(uint8_t v) {
    int n = 0;
    for (int i = 0; i < kSize; i++) n += data()[i] == v;
    return n;
  }

 private:
  std::vector<uint8_t> buf_;
};
