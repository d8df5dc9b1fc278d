// Replayer tick: tick, row and song-position advance, note triggering, and
// the start-up reset with the waveform tables.

#include "maths/rng.h"
#include "replayer/pt.h"
#include "replayer/pt_fx.h"
#include "sound/sd.h"

// Zero until pt_init: a failed load leaves the tempo at 0, which the audio
// callback checks before it divides by it.
uint32_t pt_vbtempo;
int32_t pt_bpmtempo;
uint32_t pt_vbcount;
std::atomic<uint32_t> pt_rowcount;
std::atomic<int32_t> pt_songpos;
std::atomic<int32_t> pt_position;
int32_t pt_firstline;
pt_cell *pt_lineptr;
int32_t pt_curpattern;

int32_t pt_cursample[32];
int32_t pt_curvol[32];
int32_t pt_curperiod[32];
int32_t pt_curnote[32];
int32_t pt_curfine[32];
int32_t pt_curtarget[32];
int32_t pt_pan[32];
int32_t pt_tporta[32];
int32_t pt_glissando[32];
int32_t pt_vibc[32];
int32_t pt_vibd[32];
int32_t pt_vibs[32];
int32_t pt_trmc[32];
int32_t pt_trmd[32];
int32_t pt_trms[32];
int32_t pt_pattloop[32];
int32_t pt_pattloopstart[32];
int32_t pt_pattdelay[32];

// Hard left/right for the first four channels, then a narrower 7/9 spread.
uint8_t pt_defaultpan[32] = {0, 15, 0, 15, 7, 9, 9, 7, 7, 9, 9, 7, 7, 9, 9, 7,
                             7, 9, 9, 7, 7, 9, 9, 7, 7, 9, 9, 7, 7, 9, 9, 7};

const int16_t pt_sinetable[64] = {
    0,    24,   49,   74,   97,   120,  141,  161,  180,  197,  212,  224,  235,  244,  250,  253,
    255,  253,  250,  244,  235,  224,  212,  197,  180,  161,  141,  120,  97,   74,   49,   24,
    0,    -24,  -49,  -74,  -97,  -120, -141, -161, -180, -197, -212, -224, -235, -244, -250, -253,
    -255, -253, -250, -244, -235, -224, -212, -197, -180, -161, -141, -120, -97,  -74,  -49,  -24};
int16_t pt_ramptable[64];
// Three levels, not a symmetric square: the last quarter is -256.
const int16_t pt_squaretable[64] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,  255,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256, -256};
int16_t pt_randtable[64];
const int16_t *const pt_waveforms[4] = {pt_sinetable, pt_ramptable, pt_squaretable, pt_randtable};
const int16_t *pt_vibratotable = pt_sinetable;
const int16_t *pt_tremolotable = pt_sinetable;

namespace {

constexpr uint32_t ROWS = 64;
constexpr uint32_t ORDERS = 128;
constexpr auto relaxed = std::memory_order_relaxed;

void reset_channels() {
  for (int c = 0; c < 32; ++c) {
    pt_curtarget[c] = pt_tporta[c] = pt_cursample[c] = pt_curvol[c] = 0;
    pt_curnote[c] = pt_curperiod[c] = pt_curfine[c] = 0;
    pt_trmc[c] = pt_trmd[c] = pt_trms[c] = 0;
    pt_vibc[c] = pt_vibd[c] = pt_vibs[c] = 0;
    pt_pattloopstart[c] = pt_pattloop[c] = pt_pattdelay[c] = 0;
  }
}

// Counts down every channel's pattern delay; true when any was still
// running, in which case the row is held for this tick.
bool hold_for_delay() {
  bool held = false;
  for (int c = 0; c < pt_channels; ++c) {
    if (pt_pattdelay[c] > 0) {
      --pt_pattdelay[c];
      held = true;
    }
  }
  return held;
}

// Next row, and at the end of a pattern the next song position. Nothing
// here is seen by another thread until the tick publishes pt_position.
void next_row() {
  uint32_t row = pt_rowcount.load(relaxed) + 1;
  pt_rowcount.store(row, relaxed);
  if (row >= ROWS) {
    row = uint32_t(pt_firstline);
    pt_rowcount.store(row, relaxed);
    pt_firstline = 0;
    int32_t pos = pt_songpos.load(relaxed) + 1;
    if (uint32_t(pos) >= pt_songlen) pos = pt_repstart;
    pt_songpos.store(pos, relaxed);
  }
  // A position jump followed, on a later channel of the same row, by a
  // pattern loop leaves the jump's position - 1 (-1 up to 254) in place
  // without a pattern end to correct it; keep it inside the order list.
  int32_t pos = pt_songpos.load(relaxed);
  if (uint32_t(pos) >= ORDERS) {
    pos = pt_repstart;
    pt_songpos.store(pos, relaxed);
  }
  if (pt_channels == 0) return;
  pt_curpattern = pt_order[pos];
  pt_lineptr = pt_patterns[pt_curpattern] + pt_channels * row;
}

// False when a pattern delay holds the row: the tick then does nothing.
bool advance_tick() {
  if (++pt_vbcount < pt_vbtempo) return true;
  pt_vbcount = 0;
  if (hold_for_delay()) return false;
  next_row();
  return true;
}

void take_sample(int c, const pt_cell &cell) {
  int s = cell.sample;
  pt_pan[c] = pt_defaultpan[c] * 16;
  pt_cursample[c] = s;
  pt_curvol[c] = pt_svol[s];
  if (cell.command != 12) sd_setvolume(pt_svol[s]);
  if (cell.command != 8) sd_setpanning(pt_pan[c]);
  sd_setsample(s);
}

// Takes the note's period as the portamento target and, unless a tone
// portamento or note delay holds it back, starts it. False when the note
// is delayed: the channel's first-tick effect is then skipped as well.
bool take_note(int c, const pt_cell &cell) {
  int f = pt_finetune[pt_cursample[c]];
  int p = pt_periodtable[f][cell.note];
  pt_curfine[c] = f;
  pt_curtarget[c] = p;
  if (cell.command == 3 || cell.command == 5) return true;
  if (pt_effectcode(cell) == 0xED0) return false;
  pt_curperiod[c] = p;
  sd_setamigaperiod(p);
  if (cell.command != 9) sd_setoffset(0);
  pt_curnote[c] = cell.note;
  return true;
}

void play_channel(int c, const pt_cell &cell) {
  sd_selectchannel(c);
  if (pt_vbcount != 0) {
    pt_latertick(c, cell);
    return;
  }
  if (cell.sample != 0) take_sample(c, cell);
  if (cell.note < PT_NONOTE && !take_note(c, cell)) return;
  pt_firsttick(c, cell);
}

void play_tick() {
  if (pt_vbtempo != 0 && !advance_tick()) return;
  // No module, or a module loaded but never started: nothing to walk.
  if (pt_channels == 0 || pt_lineptr == nullptr) return;
  for (int c = 0; c < pt_channels; ++c) play_channel(c, pt_lineptr[c]);
}

}  // namespace

void pt_init() {
  reset_channels();
  pt_songpos.store(-1, relaxed);
  pt_vbtempo = 6;
  pt_bpmtempo = 125;
  pt_vbcount = 5;
  pt_rowcount.store(63, relaxed);
  pt_publish();
  pt_firstline = 0;
  pt_curpattern = 0;
  pt_lineptr = nullptr;
  pt_vibratotable = pt_tremolotable = pt_sinetable;
  for (int i = 0; i < 64; ++i) {
    int r = rng_next();
    pt_ramptable[i] = int16_t(255 - 8 * i);
    pt_randtable[i] = int16_t(r % 511 - 256);
  }
}

void pt_play() {
  play_tick();
  pt_publish();
}

void pt_publish() {
  const uint32_t pos = uint32_t(pt_songpos.load(relaxed));
  const uint32_t row = pt_rowcount.load(relaxed);
  pt_position.store(int32_t(pos * 100u + row), std::memory_order_release);
}
