// Tracker effects: one small function per command, dispatched on a row's
// first tick and on its later ticks. All work on the selected channel c.
// Notation: xx the parameter byte, x its upper nibble, y its lower nibble.
#include "replayer/pt.h"
#include "replayer/pt_fx.h"
#include "sound/sd.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr int MAXVOL = 64;

int hi(const pt_cell &cell) { return cell.param >> 4; }
int lo(const pt_cell &cell) { return cell.param & 15; }

int period_of(int c, int note) { return pt_periodtable[pt_curfine[c]][note]; }

int clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

// True on the tick a note cut or note delay with parameter y fires: tick y,
// or the row's last tick when y lies beyond the row.
bool on_tick(uint32_t y) {
  return pt_vbcount == y || (pt_vbcount == pt_vbtempo - 1 && y >= pt_vbtempo);
}

// Sends an effect-computed period. A deep vibrato around a very short
// period can dip below 0; the device takes 0 (standing still) there rather
// than a negative period it cannot step by.
void send_period(int p) { sd_setamigaperiod(p < 0 ? 0 : p); }

// ---- Shared steps --------------------------------------------------------

void tone_portamento_step(int c) {
  int &p = pt_curperiod[c];
  int target = pt_curtarget[c];
  if (p < target) {
    p += pt_tporta[c];
    if (p > target) p = target;
  } else if (p > target) {
    p -= pt_tporta[c];
    if (p < target) p = target;
  }
}

// Vibrato depth scales by 1/127, not 1/128; the base period is unchanged.
void vibrato_step(int c) {
  int w = pt_vibratotable[pt_vibc[c]];
  send_period(pt_curperiod[c] + w * pt_vibd[c] / 127);
  pt_vibc[c] = (pt_vibc[c] + pt_vibs[c]) & 63;
}

// x takes precedence: A12 slides up by 1 and ignores the 2.
void volume_slide(int c, const pt_cell &cell) {
  int v = hi(cell) != 0 ? pt_curvol[c] + hi(cell) : pt_curvol[c] - lo(cell);
  pt_curvol[c] = clamp(v, 0, MAXVOL);
  sd_setvolume(pt_curvol[c]);
}

// Nearest table period at or above the current one (the semitone at or
// below it in pitch) in the channel's finetune row.
int glissando_period(int c) {
  const pt_periodrow &r = pt_periodtable[pt_curfine[c]];
  int p = pt_curperiod[c];
  if (r[PT_NONOTE] >= p) return r[PT_NONOTE];
  for (int n = PT_NONOTE - 1; n >= 0; --n)
    if (r[n] >= p) return r[n];
  return r[0];
}

// ---- First-tick effects -------------------------------------------------

void arpeggio_start(int c, const pt_cell &cell) {
  if (cell.param != 0) sd_setamigaperiod(period_of(c, pt_curnote[c]));
}

void set_panning(int c, const pt_cell &cell) {
  pt_pan[c] = cell.param;
  sd_setpanning(cell.param);
}

void sample_offset(const pt_cell &cell) { sd_setoffset(uint32_t(cell.param) * 256); }

// The next row boundary adds 1 to the position and wraps past the song end.
void position_jump(const pt_cell &cell) {
  pt_rowcount.store(63, relaxed);
  pt_songpos.store(int32_t(cell.param) - 1, relaxed);
}

// Not limited to 64: a later volume slide clamps it.
void set_volume(int c, const pt_cell &cell) {
  pt_curvol[c] = cell.param;
  sd_setvolume(cell.param);
}

// Decimal row x * 10 + y; a row past the pattern's 64 starts at row 0.
void pattern_break(const pt_cell &cell) {
  int row = hi(cell) * 10 + lo(cell);
  pt_rowcount.store(63, relaxed);
  pt_firstline = row < 64 ? row : 0;
}

// Step of exactly 1 whatever y is.
void fine_slide_up(int c) {
  if (pt_curperiod[c] > PT_MINPERIOD) sd_setamigaperiod(--pt_curperiod[c]);
}

void fine_slide_down(int c) {
  if (pt_curperiod[c] < PT_MAXPERIOD) sd_setamigaperiod(++pt_curperiod[c]);
}

void glissando_control(int c, const pt_cell &cell) { pt_glissando[c] = lo(cell); }

// Waveform 4..7 keeps the channel's position; the selection is shared by
// all channels.
void vibrato_waveform(int c, const pt_cell &cell) {
  if (lo(cell) < 4) pt_vibc[c] = 0;
  pt_vibratotable = pt_waveforms[lo(cell) & 3];
}

void tremolo_waveform(int c, const pt_cell &cell) {
  if (lo(cell) < 4) pt_trmc[c] = 0;
  pt_tremolotable = pt_waveforms[lo(cell) & 3];
}

void set_finetune(int c, const pt_cell &cell) { pt_curfine[c] = lo(cell); }

// E60 marks the start; E6y plays the body y + 1 times in all.
void pattern_loop(int c, const pt_cell &cell) {
  int y = lo(cell);
  if (y == 0) {
    pt_pattloopstart[c] = int32_t(pt_rowcount.load(relaxed));
    return;
  }
  if (pt_pattloop[c] == 0) {
    pt_pattloop[c] = y;
  } else if (--pt_pattloop[c] == 0) {
    return;
  }
  pt_rowcount.store(uint32_t(pt_pattloopstart[c] - 1), relaxed);
}

// Also applies to the channel's later samples; pt_pan is left alone.
void set_panning_nibble(int c, const pt_cell &cell) {
  pt_defaultpan[c] = uint8_t(lo(cell));
  sd_setpanning(lo(cell) * 16);
}

// Step of exactly 1 whatever y is.
void fine_volume_up(int c) {
  if (pt_curvol[c] < MAXVOL) sd_setvolume(++pt_curvol[c]);
}

void fine_volume_down(int c) {
  if (pt_curvol[c] > 0) sd_setvolume(--pt_curvol[c]);
}

void pattern_delay(int c, const pt_cell &cell) { pt_pattdelay[c] = lo(cell); }

// Below 32 a speed (0 freezes the song), else a tempo in BPM.
void set_speed(const pt_cell &cell) {
  if (cell.param < 32)
    pt_vbtempo = cell.param;
  else
    pt_bpmtempo = cell.param;
}

// ---- Later-tick effects --------------------------------------------------

// Cycles base, base + x, base + y; notes past the table's last column
// play that column.
void arpeggio(int c, const pt_cell &cell) {
  if (cell.param == 0) return;
  int step[3] = {0, hi(cell), lo(cell)};
  int n = pt_curnote[c] + step[pt_vbcount % 3];
  sd_setamigaperiod(period_of(c, n < PT_NONOTE ? n : PT_NONOTE));
}

void slide_up(int c, const pt_cell &cell) {
  pt_curperiod[c] = pt_curperiod[c] - cell.param < PT_MINPERIOD ? PT_MINPERIOD
                                                                : pt_curperiod[c] - cell.param;
  sd_setamigaperiod(pt_curperiod[c]);
}

void slide_down(int c, const pt_cell &cell) {
  pt_curperiod[c] = pt_curperiod[c] + cell.param > PT_MAXPERIOD ? PT_MAXPERIOD
                                                                : pt_curperiod[c] + cell.param;
  sd_setamigaperiod(pt_curperiod[c]);
}

// Sends on every tick, also once the target is reached.
void tone_portamento(int c, const pt_cell &cell) {
  if (cell.param != 0) pt_tporta[c] = cell.param;
  tone_portamento_step(c);
  sd_setamigaperiod(pt_glissando[c] != 0 ? glissando_period(c) : pt_curperiod[c]);
}

void vibrato(int c, const pt_cell &cell) {
  if (lo(cell) != 0) pt_vibd[c] = lo(cell);
  if (hi(cell) != 0) pt_vibs[c] = hi(cell);
  vibrato_step(c);
}

// No glissando here, and the stored speed.
void tone_portamento_volume_slide(int c, const pt_cell &cell) {
  tone_portamento_step(c);
  sd_setamigaperiod(pt_curperiod[c]);
  volume_slide(c, cell);
}

void vibrato_volume_slide(int c, const pt_cell &cell) {
  vibrato_step(c);
  volume_slide(c, cell);
}

// Depth stored doubled, scaled by 1/127; pt_curvol is unchanged.
void tremolo(int c, const pt_cell &cell) {
  if (lo(cell) != 0) pt_trmd[c] = lo(cell) * 2;
  if (hi(cell) != 0) pt_trms[c] = hi(cell);
  int w = pt_tremolotable[pt_trmc[c]];
  int v = pt_curvol[c] + w * pt_trmd[c] / 127;
  pt_trmc[c] = (pt_trmc[c] + pt_trms[c]) & 63;
  sd_setvolume(clamp(v, 0, MAXVOL));
}

// Restarts the cell's note every y ticks (tick 0 already started it).
void retrigger(int c, const pt_cell &cell) {
  uint32_t y = uint32_t(lo(cell));
  if (y == 0 || cell.note >= PT_NONOTE || pt_vbcount % y != 0) return;
  pt_curperiod[c] = period_of(c, cell.note);
  sd_setvolume(pt_curvol[c]);
  sd_setamigaperiod(pt_curperiod[c]);
  sd_setoffset(0);
}

// Silences the channel; pt_curvol keeps its value for later notes.
void note_cut(const pt_cell &cell) {
  if (on_tick(uint32_t(lo(cell)))) sd_setvolume(0);
}

// Starts the note that tick 0 held back.
void note_delay(int c, const pt_cell &cell) {
  if (cell.note >= PT_NONOTE || !on_tick(uint32_t(lo(cell)))) return;
  pt_curperiod[c] = period_of(c, cell.note);
  pt_curnote[c] = cell.note;
  sd_setvolume(pt_curvol[c]);
  sd_setamigaperiod(pt_curperiod[c]);
  sd_setoffset(0);
}

}  // namespace

void pt_firsttick(int c, const pt_cell &cell) {
  switch (pt_effectcode(cell)) {
    case 0x000: arpeggio_start(c, cell); break;
    case 0x800: set_panning(c, cell); break;
    case 0x900: sample_offset(cell); break;
    case 0xB00: position_jump(cell); break;
    case 0xC00: set_volume(c, cell); break;
    case 0xD00: pattern_break(cell); break;
    case 0xE10: fine_slide_up(c); break;
    case 0xE20: fine_slide_down(c); break;
    case 0xE30: glissando_control(c, cell); break;
    case 0xE40: vibrato_waveform(c, cell); break;
    case 0xE50: set_finetune(c, cell); break;
    case 0xE60: pattern_loop(c, cell); break;
    case 0xE70: tremolo_waveform(c, cell); break;
    case 0xE80: set_panning_nibble(c, cell); break;
    case 0xEA0: fine_volume_up(c); break;
    case 0xEB0: fine_volume_down(c); break;
    case 0xEE0: pattern_delay(c, cell); break;
    case 0xF00: set_speed(cell); break;
    default: break;
  }
}

void pt_latertick(int c, const pt_cell &cell) {
  switch (pt_effectcode(cell)) {
    case 0x000: arpeggio(c, cell); break;
    case 0x100: slide_up(c, cell); break;
    case 0x200: slide_down(c, cell); break;
    case 0x300: tone_portamento(c, cell); break;
    case 0x400: vibrato(c, cell); break;
    case 0x500: tone_portamento_volume_slide(c, cell); break;
    case 0x600: vibrato_volume_slide(c, cell); break;
    case 0x700: tremolo(c, cell); break;
    case 0xA00: volume_slide(c, cell); break;
    case 0xE90: retrigger(c, cell); break;
    case 0xEC0: note_cut(cell); break;
    case 0xED0: note_delay(c, cell); break;
    default: break;
  }
}
