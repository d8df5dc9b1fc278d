// Following a song row by row as the audio callback plays it.
//
// songwalk_observe installs a tick hook in the audio callback that notes
// every row's first tick (not the repeated first ticks of a pattern delay
// or of a frozen song) and the first time the song wraps: a row that starts
// at an earlier song position, or at an earlier or the same row of the same
// position when no pattern loop is running. songwalk_block renders one
// 4096-frame block offline through the same callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

constexpr int WALK_BLOCK = 4096;  // frames per callback block, as in the demo

struct songwalk_row {
  uint64_t frame;  // output frame at which the row's first tick ran
  int order;       // song position
  int row;         // 0..63
};

extern std::vector<songwalk_row> walk_rows;  // rows before the wrap (when recording)
extern std::atomic<bool> walk_wrapped;       // the song has wrapped
extern uint64_t walk_wrap_frame;             // frame of the wrapping row's first tick
extern uint64_t walk_frames;                 // frames rendered by songwalk_block so far

// Starts observing, after the front-end has filled the operation table:
// record = keep walk_rows (offline only; the audio thread must not
// allocate).
void songwalk_observe(bool record);
// Renders the next block of 16-bit stereo frames into buf (WALK_BLOCK x 2).
void songwalk_block(int16_t *buf);
