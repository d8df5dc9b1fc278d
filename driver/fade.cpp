// Palette fades.
#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/screen.h"
#include "driver/script.h"

#include <cstdint>

uint8_t workpal[768];

// The fade schedule of the script in table order; when fades overlap, the
// later record wins the frame. Pairs two positions apart make flashes.
const fade_record fade_table[FADE_RECORDS] = {
#define ULV_FADE(start, duration, from, to) {start, duration, from, to, -1},
#include "driver/script.def"
    {0, 0, nullptr, nullptr, -1},
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
