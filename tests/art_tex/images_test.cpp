// Properties of the embedded texture, animation, greetings, text lines,
// captions and title that the scenes showing them rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "assets/assets.h"

namespace {

// Mean absolute difference between the texels of line i and line i + 1
// (columns when dx = 1, rows otherwise) of a 256x256 texture, for each i;
// entry 255 is the pair that straddles the wrap.
std::vector<double> line_diffs(const uint8_t *t, bool dx) {
  std::vector<double> d(256, 0.0);
  for (int i = 0; i < 256; i++)
    for (int k = 0; k < 256; k++) {
      int a = dx ? t[k * 256 + i] : t[i * 256 + k];
      int b = dx ? t[k * 256 + ((i + 1) & 255)] : t[((i + 1) & 255) * 256 + k];
      d[i] += std::abs(a - b) / 256.0;
    }
  return d;
}

// The p-th percentile (0..100) of n bytes.
int percentile(const uint8_t *p, size_t n, int pct) {
  std::vector<uint8_t> v(p, p + n);
  std::nth_element(v.begin(), v.begin() + n * pct / 100, v.end());
  return v[n * pct / 100];
}

double frame_diff(const uint8_t *a, const uint8_t *b) {
  long s = 0;
  for (int i = 0; i < 65536; i++) s += std::abs(a[i] - b[i]);
  return double(s) / 65536;
}

}  // namespace

TEST(StoneTexture, TilesInBothDirectionsDarkFineAndLowInContrast) {
  // A seam would make the step across the wrap stand out from every
  // step inside the texture.
  for (bool columns : {true, false}) {
    std::vector<double> d = line_diffs(kiehkura, columns);
    EXPECT_LE(d[255], *std::max_element(d.begin(), d.end() - 1)) << (columns ? "columns" : "rows");
  }
  // Dark and low in contrast (the skull multiplies it into its shading,
  // the gargoyle adds two layers of it to its own), but not flat.
  const int p5 = percentile(kiehkura, 65536, 5), p95 = percentile(kiehkura, 65536, 95);
  EXPECT_GE(p5, 6);
  EXPECT_LE(p95, 45);
  EXPECT_GE(p95 - p5, 8);
  // A fine grain: neighbouring texels differ by a good part of the range.
  const std::vector<double> d = line_diffs(kiehkura, true);
  double mean = 0;
  for (double x : d) mean += x / 256;
  EXPECT_GE(mean, 0.1 * (p95 - p5));
}

// 29 frames shown in a loop: the step from frame 28 back to 0 is no
// larger than an ordinary step, every step moves something, and the
// brightness stays where ((T * c1) >> 6) does not wash out.
TEST(Animation, LoopsSmoothlyInTheMidRange) {
  double largest = 0;
  for (int f = 0; f + 1 < 29; f++) {
    double d = frame_diff(dracula + 65536 * f, dracula + 65536 * (f + 1));
    EXPECT_GT(d, 0.2) << "frame " << f << " to " << f + 1 << " barely moves";
    largest = std::max(largest, d);
  }
  // Frame 0 follows 28 as any frame follows the one before: a real step,
  // no larger than the others, and closer to 28 than to 27 (no repeated
  // or skipped-back frame at the wrap).
  double wrap = frame_diff(dracula + 65536 * 28, dracula);
  EXPECT_GT(wrap, 0.2);
  EXPECT_LE(wrap, largest * 1.1);
  EXPECT_LT(wrap, frame_diff(dracula + 65536 * 27, dracula));
  for (int f = 0; f < 29; f++) {
    const uint8_t *fr = dracula + 65536 * f;
    EXPECT_LE(percentile(fr, 65536, 50), 30) << f;   // mostly dark sky
    EXPECT_LE(percentile(fr, 65536, 99), 90) << f;   // the moon stays mid-range
    EXPECT_GE(percentile(fr, 65536, 90), 40) << f;   // but is there
  }
}

// The scroll shows 256 rows from row r (0..998) and jumps from 998 back
// to 0: rows 999 on repeat rows 0 on, and every window holds some text.
TEST(Greetings, RepeatAfter999RowsAndAlwaysShowText) {
  for (int y = 999; y < 1256; y++)
    ASSERT_TRUE(std::equal(greets + y * 256, greets + y * 256 + 256, greets + (y - 999) * 256)) << y;
  std::vector<int> bright_rows(1256, 0);
  for (int y = 0; y < 1256; y++)
    for (int x = 0; x < 256; x++) bright_rows[y] |= greets[y * 256 + x] >= 200;
  for (int r = 0; r <= 998; r++) {
    int rows = 0;
    for (int y = r; y < r + 256; y++) rows += bright_rows[y];
    ASSERT_GE(rows, 60) << "window at row " << r;
  }
}

// Each line is shown at one x (the timeline's records): text column c
// lands in frame column x + 32 + c, and columns 288..319 are never shown.
TEST(TextLines, InkOnlyWhereTheScreenShowsIt) {
  const int x_of[26] = {95, 70, 50, -8, -8, -8, -8, 20, 40, 52, -8, -8, -8,
                        -8, -8, -8, -8, -8, -8, -8, -8, -8, -8, -12, 92, 108};
  for (int k = 0; k < 26; k++) {
    SCOPED_TRACE(k);
    const uint8_t *line = lapinaa + 7680 * k;
    int ink = 0, stray = 0, peak = 0;
    for (int r = 0; r < 24; r++)
      for (int c = 0; c < 320; c++) {
        int v = line[r * 320 + c], fx = x_of[k] + 32 + c;
        bool visible = c <= 287 && fx >= 0 && fx <= 319;
        ink += v != 0;
        stray += v != 0 && !visible;
        peak = std::max(peak, v);
      }
    EXPECT_GT(ink, 40);
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(peak, 255);  // white text, anti-aliased edges below it
  }
  EXPECT_TRUE(std::all_of(lapinaa + 26 * 7680, lapinaa + 200960, [](uint8_t v) { return v == 0; }));
}

TEST(Captions, NonEmptyWhiteOnTransparent) {
  for (const uint8_t *c : {tamsktxt, dorltxt, vesktxt}) {
    int ink = std::count_if(c, c + 23520, [](uint8_t v) { return v != 0; });
    EXPECT_GT(ink, 500);
    EXPECT_LT(ink, 23520 / 2);  // mostly transparent over the portrait
    EXPECT_EQ(*std::max_element(c, c + 23520), 255);
  }
  EXPECT_FALSE(std::equal(tamsktxt, tamsktxt + 23520, dorltxt));
  EXPECT_FALSE(std::equal(dorltxt, dorltxt + 23520, vesktxt));
}

TEST(Title, DarkPictureUsingTheWholeTonalRange) {
  EXPECT_LE(percentile(ulvenor, 64000, 1), 8);
  EXPECT_LE(percentile(ulvenor, 64000, 50), 60);
  EXPECT_GE(percentile(ulvenor, 64000, 99), 200);
  EXPECT_EQ(*std::max_element(ulvenor, ulvenor + 64000), 255);
}
