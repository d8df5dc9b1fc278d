// The seven fixed palettes, back to back: pal_blue, pal_bright, pal_grey,
// pal_green, pal_red, pal_white, pal_sepia.
//
// Each channel is a ramp (0 at index 0, index - 1 elsewhere), white (255) or
// a curve through ten control values at indices 0, 16, 32, 64, 96, 128, 160,
// 192, 224 and 255, interpolated with a monotone cubic (Fritsch-Carlson) so
// the tint rises smoothly and never falls between the control values.
#include "gen.h"

#include <cmath>
#include <vector>

namespace {

const int knots[10] = {0, 16, 32, 64, 96, 128, 160, 192, 224, 255};

enum Kind { RAMP, WHITE, CURVE };

struct Channel {
  Kind kind;
  int v[10];  // control values of a curve
};

void fill_curve(const int *v, uint8_t *out /* 256 entries, stride 3 */) {
  double d[9], m[10];
  for (int i = 0; i < 9; i++) d[i] = double(v[i + 1] - v[i]) / (knots[i + 1] - knots[i]);
  m[0] = d[0];
  m[9] = d[8];
  for (int i = 1; i < 9; i++) m[i] = (d[i - 1] * d[i] <= 0) ? 0 : (d[i - 1] + d[i]) / 2;
  for (int i = 0; i < 9; i++) {  // Fritsch-Carlson limiter keeps each piece monotone
    if (d[i] == 0) {
      m[i] = m[i + 1] = 0;
      continue;
    }
    double a = m[i] / d[i], b = m[i + 1] / d[i], s = a * a + b * b;
    if (s > 9) {
      double t = 3 / std::sqrt(s);
      m[i] = t * a * d[i];
      m[i + 1] = t * b * d[i];
    }
  }
  for (int i = 0; i < 9; i++) {
    int x0 = knots[i], x1 = knots[i + 1];
    double h = x1 - x0;
    for (int x = x0; x <= x1; x++) {
      double t = (x - x0) / h, t2 = t * t, t3 = t2 * t;
      double y = (2 * t3 - 3 * t2 + 1) * v[i] + (t3 - 2 * t2 + t) * h * m[i] +
                 (-2 * t3 + 3 * t2) * v[i + 1] + (t3 - t2) * h * m[i + 1];
      long r = std::lround(y);
      out[x * 3] = uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
    }
  }
}

void fill(const char *sym, const Channel (&ch)[3]) {
  uint8_t *p = asset(sym);
  for (int c = 0; c < 3; c++) {
    for (int k = 0; k < 256; k++)
      p[k * 3 + c] = ch[c].kind == WHITE ? 255 : ch[c].kind == RAMP ? uint8_t(k == 0 ? 0 : k - 1) : 0;
    if (ch[c].kind == CURVE) fill_curve(ch[c].v, p + c);
  }
}

}  // namespace

void job_palettes() {
  const Channel ramp{RAMP, {}}, white{WHITE, {}};
  const Channel bright{CURVE, {0, 85, 149, 204, 223, 233, 240, 245, 250, 255}};
  fill("pal_blue", {ramp, ramp, {CURVE, {0, 40, 78, 122, 136, 146, 165, 193, 224, 255}}});
  fill("pal_bright", {bright, bright, bright});
  fill("pal_grey", {ramp, ramp, ramp});
  fill("pal_green", {ramp, {CURVE, {0, 23, 47, 85, 112, 135, 161, 191, 223, 254}}, ramp});
  fill("pal_red", {{CURVE, {0, 29, 58, 101, 128, 150, 170, 194, 223, 255}}, ramp, ramp});
  fill("pal_white", {white, white, white});
  fill("pal_sepia", {ramp,
                     {CURVE, {0, 9, 18, 39, 69, 108, 149, 188, 222, 254}},
                     {CURVE, {0, 4, 8, 18, 39, 85, 142, 187, 223, 254}}});

  // Preview: each palette as a 256-wide ramp, 24 rows high, in table order.
  const char *const names[] = {"pal_blue", "pal_bright", "pal_grey", "pal_green", "pal_red", "pal_white", "pal_sepia"};
  std::vector<uint8_t> rgb(256 * 7 * 24 * 3);
  for (int p = 0; p < 7; p++)
    for (int y = 0; y < 24; y++)
      for (int x = 0; x < 256; x++)
        for (int c = 0; c < 3; c++) rgb[((p * 24 + y) * 256 + x) * 3 + c] = asset(names[p])[x * 3 + c];
  preview_rgb("palettes", 256, 7 * 24, rgb.data());
}
