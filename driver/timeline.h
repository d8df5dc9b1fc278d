// Scene timeline and text schedule: what each frame shows for (pos, now).
#pragma once

#include <cstdint>

#include "driver/script.h"

// One timed text line (all words signed 32-bit).
struct text_record {
  int32_t x;         // horizontal offset of the text block in the frame
  int32_t y;         // row of its top line
  int32_t text;      // text line 0..25 of the writer
  int32_t start;     // music position at which it first shows
  int32_t duration;  // ms; 0 ends the table
  int32_t state;     // -1 until started, then the `now` of its first frame
};
constexpr int TEXT_RECORDS = 1 +  // the terminator
#define ULV_TEXT(x, y, text, start, duration) 1 +
#include "driver/script.def"
    0;
extern const text_record text_table[TEXT_RECORDS];
extern text_record texts[TEXT_RECORDS];  // working copy

// Scene state, never reset during a run: first-frame times (-1 until then)
// and the flicker-out's shared random draw (0..15) with its time.
extern int32_t skull_start, letters_start, halftone_start, greets_start;
extern int32_t flicker_value, flicker_time;

// The scenes in the order they play (script.def), each over a range of
// music positions (order x 100 + row, inclusive); SCENE_END, from 3000 on,
// draws nothing and keeps the last picture. The timeline draws by this
// table; the capture tool names and checks positions by it.
enum scene_id {
#define ULV_SCENE(id, name, first, last) id,
#include "driver/script.def"
  SCENES
};
struct scene_range {
  const char *name;
  int32_t first, last;
};
extern const scene_range scene_table[SCENES];
// The scene that `pos` selects (SCENE_INTRO before the first row).
scene_id scene_of(int32_t pos);

// Resets the working text schedule, the letter offsets and the scene state.
void timeline_reset();
// Draws the scene `pos` selects; returns the output buffer.
uint8_t *draw_scene(int32_t pos, int32_t now);
// Draws the active text lines into `out`.
void draw_texts(uint8_t *out, int32_t pos, int32_t now);
// Film noise over the finished frame.
void draw_noise(uint8_t *out, int32_t now);
