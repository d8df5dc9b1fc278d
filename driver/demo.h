// Demo driver: the frame, the palettes on screen, the schedules and the loop.
//
// Everything here runs on the main thread. The music position comes from
// the front-end (mzx_position); `now` is milliseconds since the loop began.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "assets/frame.h"
#include "driver/screen.h"

// Rows of the window above the picture (and below it: 240 - 200 - 20).
constexpr int FRAME_TOP = 20;

// Both start on a 32-byte line of the device's data cache, so a row of 320
// pixels is ten whole lines and word or burst accesses never straddle one.
extern uint8_t vbuf[FRAME_BYTES];
// 256x256 texture, depth colour table (first 256 bytes) or second frame.
extern uint8_t auxbuf[65536];
extern uint8_t workpal[768];   // interpolated palette of the fade being computed

// One palette cross-fade. state: -1 waiting, the `now` of its first frame
// while running, -2 finished.
struct fade_record {
  int32_t start;     // music position at which it begins
  int32_t duration;  // ms, at least 70
  const uint8_t *from;
  const uint8_t *to;
  int32_t state;
};
constexpr int FADE_RECORDS = 1 +  // the fades of the script and the terminator (from = null)
#define ULV_FADE(start, duration, from, to) 1 +
#include "driver/script.def"
    0;
extern const fade_record fade_table[FADE_RECORDS];
extern fade_record fades[FADE_RECORDS];  // working copy

// Advances the fade schedule for this frame; may rewrite workpal and pixtab.
void run_fades(int32_t pos, int32_t now);

// How a run of the demo hears its music.
enum class demo_sound {
  device,   // the sound device (the front-end's silent clock when none opens)
  offline,  // no device: the caller advances the music with mzx_render
};
// The demo's start-up, the same for every way of running it: the working
// copies and the scene state (demo_reset), the music front-end at MZX_RATE
// Hz in MZX_BLOCK-frame blocks, the embedded module loaded, the effects'
// tables, the models in the machine's byte order, playback started with
// mzx_start(MZX_TIMER_RATE), and pixtab mapped from pal_black (the screen
// shows black until the first fade). Needs scr, whose format is read. Once
// per process: the models are converted in place. Returns 1, or 0 when the
// module does not load (the music position then never moves).
int demo_start(demo_sound sound);

// Builds the effects' tables (halftone, worms, box blur), in that order,
// then the greetings texture's lead and the overlay's opaque words.
void demo_startup_effects();
// Turns the five embedded models from big-endian to the machine's order, in
// place. Call once.
void demo_convert_models();
// Copies the read-only schedules into their working copies and resets the
// scene state (start-up steps 1 and 16).
void demo_reset();
// Draws one whole frame for (pos, now): fades, scene, texts, noise. Returns
// the output buffer (vbuf, or auxbuf in the halftone phase). Needs no window
// except for the pixtab mapping, which reads scr->format.
uint8_t *demo_frame(int32_t pos, int32_t now);
// True when the loop ends after the frame just presented.
bool demo_done(int32_t pos, int escapes);
