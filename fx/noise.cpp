#include "fx/noise.h"

#include <cmath>

#include "assets/frame.h"
#include "maths/cr.h"

namespace {

// Largest t for which 13 * t * t + 1000 fits a signed 32-bit int.
constexpr int kMaxT = 12852;

// Blotch shapes, one bit per cell, bit (4 * row + column).
constexpr uint16_t kMaskA = 0b0001'0110'0100'0000;  // used when t % 3 != 0
constexpr uint16_t kMaskB = 0b0110'1111'0110'0010;  // used when t % 3 == 0

void scratch(uint8_t *frame, int t) {
  if ((t / 50) % 2 != 1 || t % 15 == 0) return;
  // 320 * sin + 320 lies in 0..640, so the truncated value is never negative.
  const int c = static_cast<int>(320.0 * cr_sin(0.05 * t) + 320.0) % FRAME_W;
  for (int y = 0; y < FRAME_H; y++) frame[FRAME_W * y + c] >>= 1;
}

void specks(uint8_t *frame, int t) {
  const int last = (t / 20) % 10 + 9;  // 10 to 19 specks
  for (int i = 0; i <= last; i++) {
    const int x = (t * t + i * i + 19 * i) % FRAME_W;
    const int y = (x + 17 * t + 10 * i) % FRAME_H;
    frame[FRAME_W * y + x] >>= 1;
  }
}

void blotch(uint8_t *frame, int t) {
  const double base = static_cast<double>(13 * t * t + 1000);
  const int k = static_cast<int>(base + 500.0 * cr_sin(static_cast<double>(t)));
  // 62720 = 320 * 196: the 4x4 block at p stays inside the frame.
  uint8_t *p = frame + k % 62720;
  const uint16_t mask = t % 3 != 0 ? kMaskA : kMaskB;
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
      if (mask >> (4 * r + c) & 1) p[FRAME_W * r + c] = 0;  // halved 50 times over
}

}  // namespace

void noise(uint8_t *frame, int t) {
  if (t < 0 || t > kMaxT) {
    t %= kMaxT + 1;
    if (t < 0) t += kMaxT + 1;
  }
  scratch(frame, t);
  specks(frame, t);
  blotch(frame, t);
}
