#include "fx/writer.h"

#include <algorithm>
#include <cstring>

#include "assets/assets.h"
#include "assets/frame.h"
#include "fx/maf.h"

namespace {

constexpr int kLines = 26;
constexpr int kLineRows = 24;
constexpr int kMargin = 32;                          // zero columns either side of a line
constexpr int kStripPitch = FRAME_W + 2 * kMargin;  // 384

constexpr int kCaptionWidth = 196;
constexpr int kCaptionRows = 120;

// Blur source (the padded line) and blur result. The margins of the source
// are never written, so they stay zero.
uint8_t strip_src[kLineRows][kStripPitch];
uint8_t strip_blur[kLineRows][kStripPitch];

void add_byte(uint8_t *d, const uint8_t *img, long c) {
  const int v = d[c] + img[c];
  d[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Adds `n` image bytes onto the frame from linear offset `off`, saturating
// at 255, dropping the bytes that fall outside the frame. On ARM, where
// bytes are added one at a time, the mostly black images (a tenth of a
// caption's bytes are lit) are read a word at a time from the first
// word-aligned byte on, and four zero bytes are passed over with one load,
// nothing of the frame read or written under them. Elsewhere the compiler
// adds the whole run as byte vectors, faster than any test.
void add_run(uint8_t *frame, long off, const uint8_t *img, int n) {
  const long lo = std::max(0L, -off);
  const long hi = std::min(static_cast<long>(n), FRAME_BYTES - off);
  uint8_t *d = frame + off;
  long c = lo;
#if defined(__arm__)
  for (; c < hi && reinterpret_cast<uintptr_t>(img + c) % 4 != 0; c++) add_byte(d, img, c);
  for (; c + 4 <= hi; c += 4) {
    uint32_t four;
    std::memcpy(&four, __builtin_assume_aligned(img + c, 4), 4);
    if (four == 0) continue;
    for (long k = c; k < c + 4; k++) add_byte(d, img, k);
  }
#endif
  for (; c < hi; c++) add_byte(d, img, c);
}

// The streak: (3, 0), (2, 1), (1, 2), (0, 3), rows at or below 200 not drawn.
void streak(uint8_t *frame, int x, int y) {
  for (int r = 0; r < 4 && y + r < FRAME_H; r++) frame[FRAME_W * (y + r) + x + 3 - r] >>= 1;
}

}  // namespace

void writer(uint8_t *frame, int line, int x, int y, int level) {
  if (line < 0 || line >= kLines) return;
  writer_image(frame, lapinaa + static_cast<long>(FRAME_W * kLineRows) * line, x, y, level);
}

void writer_image(uint8_t *frame, const uint8_t *text, int x, int y, int level) {
  if (level < 1) level = 1;
  const int r0 = std::max(0, -y), r1 = std::min(kLineRows, FRAME_H - y);
  if (r0 >= r1) return;
  if (level == 1) {
    // Unblurred: strip column c is text column c - 32, and the margin adds
    // nothing, so text columns 0..287 land at x + 32 onwards.
    for (int r = r0; r < r1; r++)
      add_run(frame, static_cast<long>(FRAME_W) * (y + r) + x + kMargin, text + FRAME_W * r,
              FRAME_W - kMargin);
    return;
  }
  // The blur works along rows only, so just the rows that land in the
  // frame are built and blurred.
  for (int r = r0; r < r1; r++) std::memcpy(strip_src[r] + kMargin, text + FRAME_W * r, FRAME_W);
  horiz_maf(strip_src[0], strip_blur[0], 0, r0, 0, r0, kStripPitch, r1 - r0, kStripPitch,
            kLineRows, level);
  for (int r = r0; r < r1; r++)
    add_run(frame, static_cast<long>(FRAME_W) * (y + r) + x, strip_blur[r], FRAME_W);
}

void writer2(uint8_t *frame, int caption, int x, int y) {
  static const uint8_t *const captions[3] = {tamsktxt, dorltxt, vesktxt};
  if (caption < 0 || caption > 2) return;
  writer2_image(frame, captions[caption], x, y);
}

void writer2_image(uint8_t *frame, const uint8_t *img, int x, int y) {
  for (int r = 0; r < kCaptionRows; r++)
    add_run(frame, static_cast<long>(FRAME_W) * (y + r) + x, img + kCaptionWidth * r, kCaptionWidth);
}

void sade(uint8_t *frame, int t) {
  if (t < 0) return;
  // Thin streaks: 1/3 row and 1/7 column per millisecond. 1000000000 keeps
  // the x term positive.
  for (int i = 0; i < 100; i++) {
    int x = (1000000000 - t / 7 + 27 * i) % FRAME_W;
    const int y = (t / 3 + 123 * i) % FRAME_H;
    if (y >= 196 && x >= 317) x -= 4;
    streak(frame, x, y);
  }
  // Pattern streaks: 3/10 row and 1/8 column per millisecond; 12 * t is
  // taken in 64 bits so that long runs do not overflow.
  const int fall = static_cast<int>((12LL * t) / 40 % FRAME_H);
  for (int i = 0; i < 50; i++) {
    int x = (1000000000 - t / 8 + 27 * i) % FRAME_W;
    const int y = (fall + 123 * i) % FRAME_H;
    if (y >= 194 && x >= 317) x -= 4;
    streak(frame, x, y);
  }
}
