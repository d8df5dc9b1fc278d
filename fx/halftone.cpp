#include "fx/halftone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

int pic_width = 320;
int pic_height = 200;

// Dot shape, [dy + 3][dx + 3]: -1 beyond radius 3.5, else
// trunc((r + 0.25) * 256 / 3) with r the distance from the centre.
int dot[7][7];

// What one cell adds to each pixel of its 7x7 block, per brightness p
// (4..255) and dot entry T: 255 (any pixel saturates) when T < p, the rim
// ramp (21760 - 256 * (T - p)) / 85 when T < p + 85 (256 at T = p, also
// saturating, so stored as 255), else 0. Column 7 of each row is 0. Built
// at init: the ramp and the shape do not depend on the level.
uint8_t cell_add[256][7][8];

// Every cell's brightness of the current call, in drawing order: all are
// sampled before the first dot is drawn, so dst may be src itself.
std::vector<uint8_t> cell_bright;

// The same dots entry by entry, for cells inside the picture: the 37
// entries of the shape in ascending T, each with its offset from the
// block's top left (dy * width + dx, both 0..6). For brightness p the
// entries before core_end[p] (T < p) set their pixel to 255, those from
// there to rim_end[p] (T < p + 85) add ramp[T - p], the others add 0 and
// are never visited.
struct dot_entry {
  uint16_t offset, t;
};
dot_entry dot_order[49];
int dot_entries;
uint8_t core_end[256], rim_end[256];
uint8_t ramp[85];  // min(255, rim_ramp(d))

int rim_ramp(int d) { return (21760 - 256 * d) / 85; }

void build_dot_order() {
  dot_entries = 0;
  for (int j = 0; j < 7; j++)
    for (int i = 0; i < 7; i++)
      if (dot[j][i] != -1) dot_order[dot_entries++] = {uint16_t(j * pic_width + i), uint16_t(dot[j][i])};
  std::stable_sort(dot_order, dot_order + dot_entries, [](dot_entry a, dot_entry b) { return a.t < b.t; });
  for (int p = 0; p < 256; p++) {
    int c = 0, r;
    while (c < dot_entries && dot_order[c].t < p) c++;
    for (r = c; r < dot_entries && dot_order[r].t < p + 85; r++) {
    }
    core_end[p] = uint8_t(c);
    rim_end[p] = uint8_t(r);
  }
  for (int d = 0; d < 85; d++) ramp[d] = static_cast<uint8_t>(std::min(rim_ramp(d), 255));
}

void build_cell_adds() {
  for (int p = 0; p < 256; p++)
    for (int j = 0; j < 7; j++)
      for (int i = 0; i < 7; i++) {
        const int t = dot[j][i];
        int add = 0;
        if (t == -1) add = 0;
        else if (t < p) add = 256;
        else if (t < p + 85) add = rim_ramp(t - p);
        cell_add[p][j][i] = static_cast<uint8_t>(std::min(add, 255));
      }
}

// Average of the samples at (xc - 3 | xc, yc - 3 | yc) that lie at x >= 0,
// y >= 0; the sum divided by the count, truncating.
int cell_sample(const uint8_t *src, int xc, int yc) {
  const int w = pic_width;
  int sum = src[w * yc + xc], n = 1;
  if (xc >= 3) sum += src[w * yc + xc - 3], n++;
  if (yc >= 3) {
    sum += src[w * (yc - 3) + xc], n++;
    if (xc >= 3) sum += src[w * (yc - 3) + xc - 3], n++;
  }
  return sum / n;
}

uint8_t add_sat(uint8_t d, uint8_t a) {
  const unsigned v = unsigned{d} + a;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// Dots inside the picture that change at most this many entries are drawn
// entry by entry, larger ones row by row: eight bytes a row are a few
// instructions where the compiler adds bytes as vectors, while a machine
// without them (ARM) does best entry by entry at every size.
#if defined(__arm__)
constexpr int SPARSE_DOT_ENTRIES = 49;
#else
constexpr int SPARSE_DOT_ENTRIES = 12;
#endif

// Adds a dot whose 7x8 block lies inside the picture (column xc + 4 is a
// pixel of the row, the zero column leaves it as it was).
void draw_inner_rows(uint8_t *dst, int xc, int yc, const uint8_t (&add)[7][8]) {
  const int w = pic_width;
  uint8_t *row = dst + w * (yc - 3) + xc - 3;
  for (int j = 0; j < 7; j++, row += w)
    for (int i = 0; i < 8; i++) row[i] = add_sat(row[i], add[j][i]);
}

// Adds a dot of brightness p (4..255) whose 7x7 block lies inside the
// picture: only the entries it changes, the core set without a read.
void draw_inner_entries(uint8_t *dst, int xc, int yc, int p) {
  uint8_t *block = dst + pic_width * (yc - 3) + xc - 3;
  const int c = core_end[p], r = rim_end[p];
  for (int e = 0; e < c; e++) block[dot_order[e].offset] = 255;
  for (int e = c; e < r; e++) {
    uint8_t &px = block[dot_order[e].offset];
    px = add_sat(px, ramp[dot_order[e].t - p]);
  }
}

// Adds one dot centred at (xc, yc), clipped to the picture.
void draw_cell(uint8_t *dst, int xc, int yc, const uint8_t (&add)[7][8]) {
  const int w = pic_width;
  const int y0 = std::max(-3, -yc), y1 = std::min(3, pic_height - 1 - yc);
  const int x0 = std::max(-3, -xc), x1 = std::min(3, w - 1 - xc);
  for (int dy = y0; dy <= y1; dy++) {
    uint8_t *row = dst + w * (yc + dy) + xc;
    const uint8_t *a = add[dy + 3] + 3;
    for (int dx = x0; dx <= x1; dx++) row[dx] = add_sat(row[dx], a[dx]);
  }
}

}  // namespace

void halftone_init(int width, int height) {
  pic_width = width;
  pic_height = height;
  for (int dy = -3; dy <= 3; dy++)
    for (int dx = -3; dx <= 3; dx++) {
      const double r = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      dot[dy + 3][dx + 3] = r > 3.5 ? -1 : static_cast<int>((r + 0.25) * 85.33333333333333);
    }
  build_cell_adds();
  build_dot_order();
  cell_bright.assign(size_t((height + 4) / 5) * size_t((width + 5) / 6 + 1), 0);
}

void halftone(uint8_t *dst, const uint8_t *src, int level) {
  // k * level reaches 65280 for every k >= 1 once level is 65280, so the cap
  // changes no entry and keeps the product inside 32 bits.
  level = std::clamp(level, 0, 65280);
  std::array<uint8_t, 256> bright;
  for (int k = 0; k < 256; k++) {
    const int v = k * level;
    bright[k] = static_cast<uint8_t>(v < 65280 ? v / 255 : 255);
  }
  uint8_t *b = cell_bright.data();
  for (int n = 0, yc = 0; yc < pic_height; n++, yc += 5)
    for (int xc = 3 * (n % 2); xc < pic_width; xc += 6) *b++ = bright[cell_sample(src, xc, yc)];
  b = cell_bright.data();
  for (int n = 0, yc = 0; yc < pic_height; n++, yc += 5) {
    for (int xc = 3 * (n % 2); xc < pic_width; xc += 6) {
      const int p = *b++;
      if (p < 4) continue;
      if (xc >= 3 && xc + 4 < pic_width && yc >= 3 && yc + 3 < pic_height)
        rim_end[p] <= SPARSE_DOT_ENTRIES ? draw_inner_entries(dst, xc, yc, p)
                                         : draw_inner_rows(dst, xc, yc, cell_add[p]);
      else
        draw_cell(dst, xc, yc, cell_add[p]);
    }
  }
}
