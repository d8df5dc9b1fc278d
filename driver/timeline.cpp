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

// x, y, text line, start position, duration (ms), state (-1 waiting, else
// the `now` of its first frame). Processed and drawn in table order; the
// record with duration 0 ends the table.
const text_record text_table[TEXT_RECORDS] = {
    {95, 58, 0, 100, 3000, -1},     {70, 58, 1, 132, 3000, -1},     {50, 58, 2, 200, 3000, -1},
    {-8, 170, 3, 700, 6000, -1},    {-8, 170, 4, 800, 6000, -1},    {-8, 170, 5, 900, 6000, -1},
    {-8, 170, 6, 1000, 6000, -1},   {20, 58, 7, 1132, 4000, -1},    {40, 58, 8, 1200, 4000, -1},
    {52, 58, 9, 1232, 3000, -1},    {-8, 10, 11, 1300, 700, -1},    {-8, 32, 12, 1302, 700, -1},
    {-8, 54, 13, 1304, 700, -1},    {-8, 76, 14, 1306, 700, -1},    {-8, 98, 11, 1316, 700, -1},
    {-8, 120, 12, 1318, 700, -1},   {-8, 142, 13, 1320, 700, -1},   {-8, 164, 14, 1322, 700, -1},
    {-8, 10, 11, 1400, 700, -1},    {-8, 32, 12, 1402, 700, -1},    {-8, 54, 13, 1404, 700, -1},
    {-8, 76, 14, 1406, 700, -1},    {-8, 98, 11, 1416, 700, -1},    {-8, 120, 12, 1418, 700, -1},
    {-8, 142, 13, 1420, 700, -1},   {-8, 164, 14, 1422, 700, -1},   {-8, 10, 11, 1500, 700, -1},
    {-8, 32, 12, 1502, 700, -1},    {-8, 54, 13, 1504, 700, -1},    {-8, 76, 14, 1506, 700, -1},
    {-8, 98, 11, 1516, 700, -1},    {-8, 120, 12, 1518, 700, -1},   {-8, 142, 13, 1520, 700, -1},
    {-8, 164, 14, 1522, 700, -1},   {-8, 10, 11, 1600, 700, -1},    {-8, 32, 12, 1602, 700, -1},
    {-8, 54, 13, 1604, 700, -1},    {-8, 76, 14, 1606, 700, -1},    {-8, 98, 11, 1616, 700, -1},
    {-8, 120, 12, 1618, 700, -1},   {-8, 142, 13, 1620, 700, -1},   {-8, 164, 14, 1622, 700, -1},
    {-8, 88, 19, 300, 4000, -1},    {-8, 88, 20, 400, 4000, -1},    {-8, 88, 21, 500, 2500, -1},
    {-8, 88, 22, 532, 2500, -1},    {-8, 88, 21, 600, 2500, -1},    {-8, 88, 22, 632, 2500, -1},
    {92, 1, 24, 2416, 4000, -1},    {-12, 58, 23, 2832, 3000, -1},  {108, 58, 25, 2900, 5000, -1},
    {0, 0, 0, 0, 0, -1},
};
text_record texts[TEXT_RECORDS];

const scene_range scene_table[SCENES] = {
    {"intro strip", 0, 231},          {"title", 232, 299},          {"skull", 300, 699},
    {"spinning models", 700, 1099},   {"worm strip", 1100, 1299},   {"gargoyle", 1300, 1799},
    {"letter wave", 1800, 1999},      {"halftone", 2000, 2199},     {"portraits", 2200, 2399},
    {"church animation", 2400, 2499}, {"greetings", 2500, 2799},    {"outro strip", 2800, 2999},
    {"end frame", 3000, INT32_MAX},
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
  if (pos >= 648 && flicker_out(pos, now, 648)) return;
  // From 500 the two views alternate every half pattern.
  const bool second = pos >= 500 && pos % 100 < 32;
  uv_skull(second ? skulle2 : skulle, uv(second ? skulle2tc : skulletc), now, skull_start);
}

void gargoyle_scene(int32_t pos, int32_t now) {
  if (pos >= 1748 && flicker_out(pos, now, 1748)) return;
  if (pos < 1500)
    uv_gargoyle(gargoyle, uv(gargoyletc), now);
  else
    uv_gargoyle(gargoyle2, uv(gargoyle2tc), now);
}

void spinning(int32_t pos, int32_t now) {
  panorama_window(now);
  spin_models(pos, now);
  panorama_mask(now);
  std::memset(vbuf + 199 * FRAME_W, 0, FRAME_W);
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
  const int k = pos < 2242 ? 0 : pos < 2320 ? 1 : 2;
  const uint8_t *const pics[3] = {tamsk, dorl, vesk};
  std::memcpy(vbuf, pics[k], FRAME_BYTES);
  wurms2(vbuf, now, 8);
  if ((pos % 100) & 4) writer2(vbuf, k, 0, 60);  // four rows on, four off
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
