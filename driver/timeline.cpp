// Scene timeline and text schedule. Scene boundaries, phases and text
// starts are thresholds on the music position `pos` (order x 100 + row);
// motion within a scene follows `now`.
#include "driver/timeline.h"

#include <cstdint>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "maths/rng.h"
#include "driver/scenes.h"
#include "fx/halftone.h"
#include "fx/noise.h"
#include "fx/writer.h"
#include "vector/wurms.h"

// The text schedule of the script, processed and drawn in table order;
// the record with duration 0 ends the table.
const text_record text_table[TEXT_RECORDS] = {
#define ULV_TEXT(x, y, text, start, duration) {x, y, text, start, duration, -1},
#include "driver/script.def"
    {0, 0, 0, 0, 0, -1},
};
text_record texts[TEXT_RECORDS];

const scene_range scene_table[SCENES] = {
#define ULV_SCENE(id, name, first, last) {name, first, last},
#include "driver/script.def"
};

scene_id scene_of(int32_t pos) {
  int i = 0;
  while (i < SCENE_END && pos > scene_table[i].last) i++;
  return scene_id(i);
}

int32_t skull_start, letters_start, halftone_start, greets_start;
int32_t flicker_value, flicker_time;

void timeline_reset() {
  std::memcpy(texts, text_table, sizeof texts);
  std::memcpy(letter_x, letter_x_table, sizeof letter_x);
  skull_start = letters_start = halftone_start = greets_start = -1;
  flicker_value = flicker_time = 0;
}

namespace {

// One random draw holds for at least 31 ms. Returns true when this frame
// is blanked: each row past `base` blanks one more of the 16 values.
bool flicker_out(int32_t pos, int32_t now, int32_t base) {
  if (now - flicker_time >= 31) {
    flicker_value = rng_next() % 16;
    flicker_time = now;
  }
  if (flicker_value < pos - base) {
    std::memset(vbuf, 0, FRAME_BYTES);
    return true;
  }
  return false;
}

const uint16_t *uv(const uint8_t *map) { return reinterpret_cast<const uint16_t *>(map); }

void skull(int32_t pos, int32_t now) {
  if (skull_start == -1) skull_start = now;
  if (pos >= SKULL_FLICKER && flicker_out(pos, now, SKULL_FLICKER)) return;
  // From SKULL_ALTERNATE on the two views alternate every half pattern.
  const bool second = pos >= SKULL_ALTERNATE && pos % 100 < SKULL_HALF_ROW;
  uv_skull(second ? skulle2 : skulle, uv(second ? skulle2tc : skulletc), now, skull_start);
}

void gargoyle_scene(int32_t pos, int32_t now) {
  if (pos >= GARGOYLE_FLICKER && flicker_out(pos, now, GARGOYLE_FLICKER)) return;
  if (pos < GARGOYLE_SECOND)
    uv_gargoyle(gargoyle, uv(gargoyletc), now);
  else
    uv_gargoyle(gargoyle2, uv(gargoyle2tc), now);
}

void spinning(int32_t pos, int32_t now) {
  // Each pixel masked once, as it is written: the panorama straight into
  // the frame, the models' pixels as they are drawn.
  panorama_masked(now);
  const uint8_t *mask[FRAME_H];
  panorama_mask_rows(now, mask);
  spin_models(pos, now, mask);
}

uint8_t *letters(int32_t pos, int32_t now) {
  if (letters_start == -1) letters_start = now;
  std::memcpy(vbuf, drose, FRAME_BYTES);
  letter_wave(now, letters_start);
  const int32_t ht = scene_table[SCENE_HALFTONE].first;
  if (pos < ht) {
    overlay_rosic(vbuf);
    return vbuf;
  }
  int32_t d = 0;
  if (halftone_start == -1)
    halftone_start = now;
  else
    d = (now - halftone_start) / 80;
  const int32_t q = (pos - ht) / 100, r = (pos - ht) % 100;
  // Grows by 80 every 16 rows of music and by 1 every 80 ms.
  const int32_t amount = d + 80 * ((64 * q + r) / 16);
  halftone(vbuf, vbuf, amount);  // in place: no copy of the frame
  overlay_rosic(vbuf);
  return vbuf;
}

void portraits(int32_t pos, int32_t now) {
  const int k = pos < PORTRAIT_DORL ? 0 : pos < PORTRAIT_VESK ? 1 : 2;
  const uint8_t *const pics[3] = {tamsk, dorl, vesk};
  std::memcpy(vbuf, pics[k], FRAME_BYTES);
  wurms2(vbuf, now, 8);
  if ((pos % 100) & CAPTION_ROW_BIT) writer2(vbuf, k, 0, 60);  // four rows on, four off
}

}  // namespace

uint8_t *draw_scene(int32_t pos, int32_t now) {
  switch (scene_of(pos)) {
    case SCENE_INTRO: strip_scroll(koottikarry1, now); break;
    case SCENE_TITLE: std::memcpy(vbuf, ulvenor, FRAME_BYTES); break;
    case SCENE_SKULL: skull(pos, now); break;
    case SCENE_SPINNING: spinning(pos, now); break;
    case SCENE_WORMS:
      strip_scroll(koottikarry3, now);
      wurms(vbuf, now, 16);
      break;
    case SCENE_GARGOYLE: gargoyle_scene(pos, now); break;
    case SCENE_LETTERS:
    case SCENE_HALFTONE: return letters(pos, now);
    case SCENE_PORTRAITS: portraits(pos, now); break;
    case SCENE_CHURCH:
      uv_church(now);
      sade(vbuf, now);
      break;
    case SCENE_GREETINGS:
      if (greets_start == -1) greets_start = now;
      uv_greets(pos, now, greets_start);
      sade(vbuf, now);
      break;
    case SCENE_OUTRO: strip_scroll(koottikarry2, now); break;
    // From 3000 on nothing is drawn: vbuf keeps the last picture.
    case SCENE_END:
    case SCENES: break;
  }
  return vbuf;
}

void draw_texts(uint8_t *out, int32_t pos, int32_t now) {
  for (text_record *t = texts; t->duration != 0; t++) {
    if (pos >= t->start && t->state == -1) t->state = now;
    if (t->state == -1) continue;
    const int32_t e = now - t->state;
    if (e >= t->duration) continue;
    // Enters blurred over 32 pixels, sharpens within 200 ms, blurs out over
    // its last 300 ms.
    int32_t level = e < 200 ? 32 - (31 * e) / 200 : 1;
    if (e >= t->duration - 299) level = ((e - t->duration + 300) * 32) / 300;
    writer(out, t->text, t->x, t->y, level);
  }
}

void draw_noise(uint8_t *out, int32_t now) { noise(out, now / 20); }
