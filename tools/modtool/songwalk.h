// Following a song row by row as the audio callback plays it, and finding
// where it ends.
//
// songwalk_observe installs a tick hook in the audio callback that notes
// every row's first tick (not the repeated first ticks of a pattern delay
// or of a frozen song) and the song's end, the one rule that `timeline`,
// `render` and `play` share:
// - the song repeats: a row starts at an order position and row already
//   played, other than by a pattern loop (E6x) jumping back; a backward
//   jump or break to a row not yet played goes on;
// - the song stops: a row sets speed 0 (F00); that row's first tick is the
//   last one heard.
// songwalk_block renders the next block offline through the same callback
// (the front-end's mzx_render).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "music/mzx.h"

constexpr int WALK_BLOCK = MZX_BLOCK;  // frames per callback block, as in the demo

struct songwalk_row {
  uint64_t frame;  // output frame at which the row's first tick ran
  int order;       // song position 0..127
  int row;         // 0..63
};

extern std::vector<songwalk_row> walk_rows;  // rows before the end (when recording)
extern std::atomic<bool> walk_ended;         // the song has ended (written by the audio thread)
extern bool walk_stopped;                    // ...by F00, not by repeating: nothing more plays
extern uint64_t walk_end_frame;              // first frame after the song: the repeating row's
                                             // first tick, or the tick after an F00 row
extern uint64_t walk_frames;                 // frames rendered by songwalk_block so far

// Starts observing, after the front-end has filled the operation table:
// record = keep walk_rows (offline only; the audio thread must not
// allocate).
void songwalk_observe(bool record);
// Renders the next block of WALK_BLOCK 16-bit stereo frames (after
// mzx_init_offline at 44100 Hz or more with WALK_BLOCK-frame blocks) and
// returns it, valid until the next block.
const int16_t *songwalk_block();
