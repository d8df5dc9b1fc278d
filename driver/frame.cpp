// One frame of the demo, and the loop's exit rules.
#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "driver/timeline.h"
#include "fx/halftone.h"
#include "fx/maf.h"
#include "music/mzx.h"
#include "vector/bare.h"
#include "vector/wurms.h"

#include <cstring>

alignas(32) uint8_t vbuf[FRAME_BYTES];
alignas(32) uint8_t auxbuf[65536];

void demo_startup_effects() {
  halftone_init(FRAME_W, FRAME_H);
  wurms_init();
  init_maf();
  greets_init();
  overlay_init();
  bare_clearzbuf();  // the whole depth buffer once, here: the first frame with models clears only its own
}

void demo_convert_models() {
  uint8_t *const models[] = {model1, ch_u, ch_r, ch_e, ch_t};
  const size_t sizes[] = {sizeof model1, sizeof ch_u, sizeof ch_r, sizeof ch_e, sizeof ch_t};
  for (int m = 0; m < 5; m++)
    for (size_t i = 0; i + 4 <= sizes[m]; i += 4) {
      uint8_t *w = models[m] + i;
      uint8_t t0 = w[0], t1 = w[1];
      w[0] = w[3];
      w[1] = w[2];
      w[2] = t1;
      w[3] = t0;
    }
}

void demo_reset() {
  std::memcpy(fades, fade_table, sizeof fades);
  timeline_reset();
}

int demo_start(demo_sound sound) {
  demo_reset();
  if (sound == demo_sound::device)
    mzx_init(MZX_RATE, MZX_BLOCK);  // no device: the silent clock plays on
  else
    mzx_init_offline(MZX_RATE, MZX_BLOCK);
  const int loaded = mzx_get(nothing);
  demo_startup_effects();
  demo_convert_models();
  mzx_start(MZX_TIMER_RATE);
  map_palette(pal_black);
  return loaded;
}

uint8_t *demo_frame(int32_t pos, int32_t now) {
  run_fades(pos, now);
  uint8_t *out = draw_scene(pos, now);
  draw_texts(out, pos, now);
  draw_noise(out, now);
  return out;
}

bool demo_done(int32_t pos, int escapes) { return pos >= scene_table[SCENE_END].first || escapes != 0; }
