// Palette fades.
#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/screen.h"

#include <cstdint>

uint8_t workpal[768];

// The fade schedule in table order; when fades overlap, the later record
// wins the frame. Pairs two positions apart make flashes.
const fade_record fade_table[FADE_RECORDS] = {
    {32, 500, pal_black, pal_grey, -1},      {100, 2000, pal_grey, pal_red, -1},
    {132, 2000, pal_red, pal_grey, -1},      {200, 2000, pal_grey, pal_sepia, -1},
    {220, 500, pal_sepia, pal_black, -1},    {232, 300, pal_black, pal_grey, -1},
    {250, 1000, pal_grey, pal_white, -1},    {300, 200, pal_white, pal_sepia, -1},
    {332, 200, pal_sepia, pal_bright, -1},   {334, 500, pal_bright, pal_sepia, -1},
    {400, 200, pal_sepia, pal_bright, -1},   {402, 500, pal_bright, pal_sepia, -1},
    {432, 200, pal_sepia, pal_bright, -1},   {434, 500, pal_bright, pal_sepia, -1},
    {500, 200, pal_sepia, pal_white, -1},    {502, 500, pal_white, pal_red, -1},
    {532, 200, pal_red, pal_white, -1},      {534, 500, pal_white, pal_sepia, -1},
    {600, 200, pal_sepia, pal_white, -1},    {602, 500, pal_white, pal_red, -1},
    {632, 200, pal_red, pal_white, -1},      {634, 500, pal_white, pal_sepia, -1},
    {662, 200, pal_white, pal_white, -1},    {700, 1000, pal_white, pal_sepia, -1},
    {900, 200, pal_sepia, pal_white, -1},    {902, 1000, pal_white, pal_blue, -1},
    {1000, 200, pal_blue, pal_white, -1},    {1002, 1000, pal_white, pal_sepia, -1},
    {1050, 1000, pal_sepia, pal_black, -1},  {1100, 2000, pal_black, pal_red, -1},
    {1248, 200, pal_red, pal_bright, -1},    {1250, 500, pal_bright, pal_sepia, -1},
    {1254, 1000, pal_sepia, pal_black, -1},  {1300, 200, pal_black, pal_sepia, -1},
    {1432, 200, pal_sepia, pal_bright, -1},  {1434, 500, pal_bright, pal_sepia, -1},
    {1462, 200, pal_sepia, pal_black, -1},   {1500, 1000, pal_black, pal_green, -1},
    {1632, 200, pal_green, pal_bright, -1},  {1634, 500, pal_bright, pal_green, -1},
    {1700, 70, pal_green, pal_white, -1},    {1702, 800, pal_white, pal_red, -1},
    {1732, 70, pal_red, pal_white, -1},      {1734, 800, pal_white, pal_blue, -1},
    {1900, 2000, pal_blue, pal_green, -1},   {2000, 2000, pal_green, pal_grey, -1},
    {2100, 2000, pal_grey, pal_sepia, -1},   {2200, 1000, pal_white, pal_green, -1},
    {2240, 200, pal_green, pal_black, -1},   {2242, 100, pal_black, pal_blue, -1},
    {2318, 100, pal_blue, pal_black, -1},    {2320, 500, pal_black, pal_grey, -1},
    {2400, 6000, pal_grey, pal_sepia, -1},   {2462, 200, pal_sepia, pal_white, -1},
    {2500, 2000, pal_white, pal_red, -1},    {2600, 7000, pal_red, pal_green, -1},
    {2732, 1500, pal_green, pal_black, -1},  {2800, 500, pal_black, pal_green, -1},
    {2920, 4000, pal_green, pal_black, -1},  {0, 0, nullptr, nullptr, -1},
};
fade_record fades[FADE_RECORDS];

namespace {

// share[v] = (k * v) / d for v = 0..255 and 0 <= k <= d <= 2^24, by
// stepping the quotient and remainder of k * v: exact, and free of the
// 256 divisions the target would make in software.
void fade_shares(int32_t k, int32_t d, int32_t *share) {
  int32_t q = 0, r = 0;
  for (int v = 0; v < 256; v++) {
    share[v] = q;
    r += k;
    if (r >= d) r -= d, q++;
  }
}

// workpal[i] = ((d - e) from[i]) / d + (e to[i]) / d, each term truncating
// on its own (the sum never exceeds 255).
void fade_step(const fade_record &f, int32_t e) {
  const int32_t d = f.duration;
  if (e >= 0 && d <= (1 << 24)) {
    int32_t keep[256], take[256];
    fade_shares(d - e, d, keep);
    fade_shares(e, d, take);
    for (int i = 0; i < 768; i++) workpal[i] = uint8_t(keep[f.from[i]] + take[f.to[i]]);
  } else {
    for (int i = 0; i < 768; i++) workpal[i] = uint8_t((d - e) * f.from[i] / d + e * f.to[i] / d);
  }
}

}  // namespace

void run_fades(int32_t pos, int32_t now) {
  for (fade_record *f = fades; f->from; f++) {
    if (pos >= f->start && f->state == -1) f->state = now;
    if (f->state < 0) continue;
    const int32_t e = now - f->state, d = f->duration;
    if (e < d) {
      fade_step(*f, e);
      map_palette(workpal);
    } else {
      map_palette(f->to);
      f->state = -2;
    }
  }
}
