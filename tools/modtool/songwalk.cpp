// Row and wrap detection over the audio callback's ticks.
#include "songwalk.h"

#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/sd.h"

std::vector<songwalk_row> walk_rows;
std::atomic<bool> walk_wrapped;
uint64_t walk_wrap_frame;
uint64_t walk_frames;

namespace {

bool recording;
uint32_t prev_speed;   // speed before the tick: 0 means the tick replays a frozen row
int32_t prev_delay;    // pattern delays pending before the tick
bool have_row;
int prev_order, prev_row;

// Position and row as the tick's channel walk began: the row's own
// effects (a jump, a break, a loop) rewrite both before the tick hook runs.
// The walk opens with channel 0, so a stand-in for sd_selectchannel sees
// them first.
void (*mixer_select)(int);
int walk_order, walk_row;

void select_and_note(int channel) {
  if (channel == 0) {
    walk_order = pt_songpos.load(std::memory_order_relaxed);
    walk_row = int(int32_t(pt_rowcount.load(std::memory_order_relaxed)));
  }
  mixer_select(channel);
}

int32_t pending_delay() {
  int32_t sum = 0;
  for (int c = 0; c < pt_channels; ++c) sum += pt_pattdelay[c];
  return sum;
}

bool loop_running() {
  for (int c = 0; c < pt_channels; ++c)
    if (pt_pattloop[c] > 0) return true;
  return false;
}

void on_tick(int offset) {
  int32_t delay = pending_delay();
  bool held = pt_vbcount == 0 && delay < prev_delay;
  bool new_row = pt_vbcount == 0 && prev_speed != 0 && !held;
  prev_delay = delay;
  prev_speed = pt_vbtempo;
  if (!new_row || walk_wrapped.load(std::memory_order_relaxed)) return;
  int order = walk_order, row = walk_row;
  uint64_t frame = walk_frames + uint64_t(offset);
  if (have_row &&
      (order < prev_order || (order == prev_order && row <= prev_row && !loop_running()))) {
    walk_wrap_frame = frame;
    walk_wrapped.store(true, std::memory_order_relaxed);
    return;
  }
  if (recording) walk_rows.push_back({frame, order, row});
  have_row = true;
  prev_order = order;
  prev_row = row;
}

}  // namespace

void songwalk_observe(bool record) {
  recording = record;
  walk_rows.clear();
  walk_wrapped = false;
  walk_wrap_frame = 0;
  walk_frames = 0;
  prev_speed = pt_vbtempo;
  prev_delay = 0;
  have_row = false;
  if (sd_selectchannel != select_and_note) {
    mixer_select = sd_selectchannel;
    sd_selectchannel = select_and_note;
  }
  mix_tickhook = on_tick;
}

void songwalk_block(int16_t *buf) {
  mix_newhand(nullptr, reinterpret_cast<uint8_t *>(buf), WALK_BLOCK * 4);
  walk_frames += WALK_BLOCK;
}
