// Model scenes: two spinning copies of model1 over the panorama, and the
// wave of five letters. The depth colour table lives in auxbuf's first 256
// bytes and is rebuilt before every drawing of models.
#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "driver/script.h"
#include "maths/cr.h"
#include "vector/bare.h"

const float letter_x_table[5] = {-2.2f, -0.6f, 0.4f, 1.2f, 2.6f};
float letter_x[5];

namespace {

const int32_t *model(const uint8_t *m) { return reinterpret_cast<const int32_t *>(m); }

// Black silhouettes, from SPIN_SOLID solid 255, from SPIN_BANDS bands of
// 255 twelve steps wide every 192 steps, sliding one step every 10 ms.
void spin_table(int32_t pos, int32_t now) {
  if (pos < SPIN_SOLID) {
    std::memset(auxbuf, 0, 256);
  } else if (pos < SPIN_BANDS) {
    std::memset(auxbuf, 255, 256);
  } else {
    for (int j = 0; j < 256; j++) auxbuf[j] = (((1000000 - now / 10 + j) / 12) & 15) == 0 ? 255 : 0;
  }
}

}  // namespace

void spin_models(int32_t pos, int32_t now, const uint8_t *const *mask) {
  bare_clearzbuf();
  bare_loadidentity();
  spin_table(pos, now);
  bare_translate(float(3 * cr_sin(now * 0.0005)), 0, -19.0f);
  bare_rotatey(float(now * (1.0 / 1500)));
  bare_rotatex(float(now * (1.0 / 2013)));
  bare_render_masked(model(model1), vbuf, auxbuf, mask);
  bare_loadidentity();
  bare_translate(float(2 * cr_sin(now * 0.0005 + 0.3)), 0, -18.5f);
  bare_rotatez(float(-now * (1.0 / 1910)));
  bare_rotatex(float(-now * 0.001));
  bare_render_masked(model(model1), vbuf, auxbuf, mask);
}

void letter_wave(int32_t now, int32_t letters_start) {
  // A contour line of index 240, 1/16 unit thick, at every whole unit.
  for (int j = 0; j < 256; j++) auxbuf[j] = ((j >> 2) & 15) == 0 ? 240 : 0;
  bare_clearzbuf();
  const int32_t e = now - letters_start;
  const double phase = e * 0.0025;
  const double t = e * (1.0 / 700);
  const double scale = 1.0 / (t * t + 30);
  const uint8_t *const letters[5] = {ch_u, ch_r, ch_e, ch_t, ch_u};
  for (int i = 0; i < 5; i++) {
    bare_loadidentity();
    bare_translate(letter_x[i], float(cr_cos(i * (1.0 / 3) + phase) * 140 * scale - 0.1), -13.0f);
    bare_rotatey(float((now - 80 * i) * 0.0025));
    bare_rotatex(float(cr_sin((now + 99 * i) * (1.0 / 990)) * 0.1));
    bare_render(model(letters[i]), vbuf, auxbuf);
  }
}
