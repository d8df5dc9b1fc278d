// Row and song-end detection over the audio callback's ticks.
#include "songwalk.h"

#include <cstring>

#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/sd.h"

std::vector<songwalk_row> walk_rows;
std::atomic<bool> walk_ended;
bool walk_stopped;
uint64_t walk_end_frame;
uint64_t walk_frames;

namespace {

bool recording;
uint32_t prev_speed;   // speed before the tick: 0 means the tick replays a frozen row
int32_t prev_delay;    // pattern delays pending before the tick
bool stopping;         // an F00 row has played its first tick: the next tick ends the song
bool loop_jumped;      // a pattern loop jumped back since the last new row
bool replaying;        // the rows since the last loop jump follow on one another
int prev_order, prev_row;
uint64_t played[128];  // bit r of entry o: row r of order position o has played

// Position, row and loop counters as the tick's channel walk began: the
// row's own effects (a jump, a break, a loop) rewrite them before the tick
// hook runs. The walk opens with channel 0, so a stand-in for
// sd_selectchannel sees them first.
void (*mixer_select)(int);
int walk_order, walk_row;
int32_t loops_before[32];

void select_and_note(int channel) {
  if (channel == 0) {
    walk_order = pt_songpos.load(std::memory_order_relaxed);
    walk_row = int(int32_t(pt_rowcount.load(std::memory_order_relaxed)));
    std::memcpy(loops_before, pt_pattloop, sizeof loops_before);
  }
  mixer_select(channel);
}

int32_t pending_delay() {
  int32_t sum = 0;
  for (int c = 0; c < pt_channels; ++c) sum += pt_pattdelay[c];
  return sum;
}

// An E6x that jumps leaves its channel's counter changed and above 0 (set
// to the count, or counted down to a value above 0); the last pass counts
// down to 0 and plays on.
bool loop_jump_in_tick() {
  for (int c = 0; c < pt_channels; ++c)
    if (pt_pattloop[c] != loops_before[c] && pt_pattloop[c] > 0) return true;
  return false;
}

bool has_played(int order, int row) {
  return order >= 0 && order < 128 && row >= 0 && row < 64 && (played[order] >> row & 1) != 0;
}

void end_at(uint64_t frame) {
  walk_end_frame = frame;
  walk_ended.store(true, std::memory_order_relaxed);
}

void on_tick(int offset) {
  if (walk_ended.load(std::memory_order_relaxed)) return;
  const uint64_t frame = walk_frames + uint64_t(offset);
  if (stopping) {
    walk_stopped = true;
    return end_at(frame);
  }
  const int32_t delay = pending_delay();
  const bool held = pt_vbcount == 0 && delay < prev_delay;
  const bool new_row = pt_vbcount == 0 && prev_speed != 0 && !held;
  prev_delay = delay;
  prev_speed = pt_vbtempo;
  const bool jumped = loop_jump_in_tick();
  if (!new_row) {
    loop_jumped = loop_jumped || jumped;
    return;
  }
  const int order = walk_order, row = walk_row;
  // A loop's body plays again row after row from the loop's start; a
  // break or jump out of it ends that excuse.
  replaying = loop_jumped || (replaying && order == prev_order && row == prev_row + 1);
  if (has_played(order, row) && !replaying) return end_at(frame);
  if (order >= 0 && order < 128 && row >= 0 && row < 64) played[order] |= uint64_t(1) << row;
  prev_order = order;
  prev_row = row;
  loop_jumped = jumped;
  stopping = pt_vbtempo == 0;
  if (recording) walk_rows.push_back({frame, order, row});
}

}  // namespace

void songwalk_observe(bool record) {
  recording = record;
  walk_rows.clear();
  walk_ended = false;
  walk_stopped = false;
  walk_end_frame = 0;
  walk_frames = 0;
  prev_speed = pt_vbtempo;
  prev_delay = 0;
  stopping = false;
  loop_jumped = false;
  replaying = false;
  std::memset(played, 0, sizeof played);
  if (sd_selectchannel != select_and_note) {
    mixer_select = sd_selectchannel;
    sd_selectchannel = select_and_note;
  }
  mix_tickhook = on_tick;
}

const int16_t *songwalk_block() {
  const uint8_t *block = nullptr;
  const mzx_sink sink{[](void *ctx, const uint8_t *b, int, int64_t) { *static_cast<const uint8_t **>(ctx) = b; },
                      &block};
  mzx_render(mzx_rendered(), &sink);
  walk_frames = uint64_t(mzx_rendered());
  return reinterpret_cast<const int16_t *>(block);
}
