#include "fx/maf.h"

#include <algorithm>

namespace {

constexpr int kMaxBox = 639;

// tab[n][v] = v / n; row 0 is never used.
int tab[kMaxBox + 1][256];

// One row: d[c] = sum of t[s[x]] for x in c - b + 1 .. c + a, x in 0..w-1.
// The running sum gains the pixel entering at c + a (while it is inside
// the row) and loses the one leaving at c - b (once it exists).
void blur_row(const uint8_t *s, uint8_t *d, int w, const int *t, int a, int b) {
  int sum = 0;
  for (int x = 0; x < std::min(a, w); x++) sum += t[s[x]];
  const int enter_end = std::max(0, w - a);  // c < enter_end: s[c + a] enters
  const int head = std::min(b, enter_end);
  int c = 0;
  for (; c < head; c++) {
    sum += t[s[c + a]];
    d[c] = static_cast<uint8_t>(sum);
  }
  for (; c < enter_end; c++) {
    sum += t[s[c + a]] - t[s[c - b]];
    d[c] = static_cast<uint8_t>(sum);
  }
  // Nothing left to enter: before b nothing leaves either (a box wider
  // than the row), from b on the trailing pixel leaves.
  for (; c < std::min(b, w); c++) d[c] = static_cast<uint8_t>(sum);
  for (; c < w; c++) {
    sum -= t[s[c - b]];
    d[c] = static_cast<uint8_t>(sum);
  }
}

}  // namespace

void init_maf() {
  for (int n = 1; n <= kMaxBox; n++)
    for (int v = 0; v < 256; v++) tab[n][v] = v / n;
}

void horiz_maf(const uint8_t *src, uint8_t *dst, int src_x, int src_y, int dst_x, int dst_y,
               int width, int height, int pitch, int /*unused*/, int n) {
  n = std::clamp(n, 1, kMaxBox);
  const int a = n / 2, b = n - a;
  const int *t = tab[n];
  for (int r = 0; r < height; r++) {
    const uint8_t *s = src + static_cast<long>(pitch) * (src_y + r) + src_x;
    uint8_t *d = dst + static_cast<long>(pitch) * (dst_y + r) + dst_x;
    blur_row(s, d, width, t, a, b);
  }
}
