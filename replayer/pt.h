// Module replayer: loader for the 31-sample tagged tracker module, tick-by-tick
// playback and the tracker effects.
//
// The replayer speaks to the sound device only through the sd_ operation
// table (sound/sd.h), in Amiga terms: channel, sample slot, period, volume
// 0..64, panning 0..255.
//
// Threads: pt_takemod and pt_init run on the main thread before playback
// starts. pt_play runs on whatever drives it (the audio callback or the
// timer), one call per tick. The one word another thread reads is
// pt_position (the front-end's position query): song position and row
// together, published once at the end of every tick with a release store.
// Everything else belongs to the playing thread (the front-end reads more
// only under SDL's audio lock).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Converted pattern cell, rewritten in place over the raw 4-byte cell.
struct pt_cell {
  uint8_t sample;   // 1..31, 0 for none
  uint8_t note;     // note index 0..83, 84 for none
  uint8_t command;  // effect command 0..15
  uint8_t param;    // effect parameter, unchanged
};
static_assert(sizeof(pt_cell) == 4);

// ---- Loader ------------------------------------------------------------

// Loads the module image in place: fills the song and sample tables,
// converts every stored pattern into pt_cell form, registers the non-empty
// samples with sd_getsample (the device keeps pointers into the image) and
// calls sd_setactivechannels. Returns 1 on success; 0 on failure with
// pt_errorstr set, pt_channels 0 and the image unchanged. The image must stay
// in place while the module plays. Main thread.
int pt_takemod(uint8_t *image);

// Read cursor over the image; the loader reads strictly forward.
extern uint8_t *rb_src;
extern uint32_t rb_ofs;              // byte offset into rb_src
uint16_t rb_getword();              // big-endian 16-bit word, advances 2
uint8_t rb_getbyte();               // advances 1
void rb_skip(uint32_t n);           // advances n

// Format tags in search order, ending at "STOP"; pt_modchannels holds the
// channel count of each tag (0 for "STOP").
inline constexpr int PT_NUMTAGS = 22;
extern const char *const pt_modtags[PT_NUMTAGS];
extern const int32_t pt_modchannels[PT_NUMTAGS];

// The header checks every reader of a module makes before trusting the
// rest, here once for the loader and the module tool. Byte 1080 holds the
// 4-byte tag, byte 952 the 128 order entries; a module has at least
// PT_HEADERBYTES bytes and at most PT_MAXPATTERNS patterns.
inline constexpr int PT_HEADERBYTES = 1084;
inline constexpr int PT_MAXPATTERNS = 128;
// Channel count of a 4-byte tag (not NUL-terminated), 0 when it is unknown.
int32_t pt_tagchannels(const char *tag);
// Largest of all 128 order entries (entries past the song length count:
// their patterns are stored). Playable when below PT_MAXPATTERNS.
int pt_highestpattern(const uint8_t *orders);

// Sample tables, indexed by sample number 1..31; entry 0 stays 0. Lengths
// and loop points in bytes (sample frames).
extern int32_t pt_slen[32];
extern int32_t pt_loops[32];  // loop start
extern int32_t pt_loope[32];  // loop length, not an end
extern int32_t pt_svol[32];   // 0..64
extern uint8_t pt_finetune[32];  // 0..15 (8..15 mean -8..-1): row of pt_periodtable

extern uint8_t pt_songlen;     // order entries played, at most 128
extern int32_t pt_repstart;    // restart position, 0..126
extern uint8_t pt_order[128];  // pattern number per song position
extern char pt_modid[5];       // the tag, NUL-terminated
extern int32_t pt_channels;    // 2..32 once loaded, 0 before or after a failed load
extern uint8_t pt_lastpattern; // largest of all 128 order entries
extern pt_cell *pt_patterns[128];  // first cell of each converted pattern
extern const char *pt_errorstr;    // last failure message, null until one

// Amiga periods: row = finetune nibble, column = note index 0..84 (7 octaves
// from C-0; column 84 repeats 83). Values fall along a row, 27..3628.
inline constexpr int PT_NOTES = 85;
inline constexpr int PT_NONOTE = 84;
inline constexpr int PT_MINPERIOD = 27;
inline constexpr int PT_MAXPERIOD = 3628;
using pt_periodrow = std::array<uint16_t, PT_NOTES>;
extern const std::array<pt_periodrow, 16> pt_periodtable;

// ---- Playback ----------------------------------------------------------

// Resets the playback state for the loaded module (song position -1, row 63,
// tick 5, speed 6, 125 BPM, sine waveforms) and rebuilds the ramp and random
// waveforms, drawing 64 values from rand. Main thread, before playback.
void pt_init();

// One tick: advances tick, row and song position, then starts the row's
// notes on tick 0 and applies the effects. Safe (does nothing audible) while
// pt_channels is 0. Playing thread.
void pt_play();

extern uint32_t pt_vbtempo;  // speed, ticks per row; 0 freezes the song
extern int32_t pt_bpmtempo;  // tempo in BPM; a tick lasts 110250 / tempo frames at 44100 Hz
extern uint32_t pt_vbcount;  // tick within the row, 0..speed-1
// Current row 0..63 (63, or a loop start - 1, for the rest of a row that
// jumps). Playing thread; passes through 64 within a tick at a pattern end.
extern std::atomic<uint32_t> pt_rowcount;
// Current index into pt_order; -1 before the first tick. Playing thread.
extern std::atomic<int32_t> pt_songpos;
// pt_songpos x 100 + pt_rowcount (32-bit wrap-around arithmetic) as they
// stand after the last tick: -37 after pt_init, stored once per pt_play
// with release order, so a reader on any thread and any memory model sees
// only states the replayer has finished, in the order it reached them.
extern std::atomic<int32_t> pt_position;
// Stores pt_position from pt_songpos and pt_rowcount (release). pt_play
// and pt_init call it; a caller that sets those two itself calls it after.
void pt_publish();
extern int32_t pt_firstline;  // row at which the next pattern starts
extern pt_cell *pt_lineptr;   // first cell of the current row, null before the first tick
extern int32_t pt_curpattern; // pattern number being played

// Per-channel state, indexed by channel 0..31.
extern int32_t pt_cursample[32];  // sample last named, 0..31
extern int32_t pt_curvol[32];     // 0..64 (the volume command can set more)
extern int32_t pt_curperiod[32];  // Amiga period, base for slides and vibrato
extern int32_t pt_curnote[32];    // note index of the last started note
extern int32_t pt_curfine[32];    // finetune row of pt_periodtable in use
extern int32_t pt_curtarget[32];  // tone-portamento target period
extern int32_t pt_pan[32];        // 0 (left)..255 (right)
extern int32_t pt_tporta[32];     // tone-portamento speed
extern int32_t pt_glissando[32];  // not 0: tone portamento sends table periods
extern int32_t pt_vibc[32];       // vibrato position 0..63
extern int32_t pt_vibd[32];       // vibrato depth
extern int32_t pt_vibs[32];       // vibrato speed
extern int32_t pt_trmc[32];       // tremolo position 0..63
extern int32_t pt_trmd[32];       // tremolo depth, stored doubled
extern int32_t pt_trms[32];       // tremolo speed
extern int32_t pt_pattloop[32];   // pattern-loop counter
extern int32_t pt_pattloopstart[32];  // pattern-loop start row
extern int32_t pt_pattdelay[32];  // rows of pattern delay still to wait
// Panning nibble 0..15 applied (x 16) whenever the channel is given a
// sample; not reset by pt_init.
extern uint8_t pt_defaultpan[32];

// Waveforms, 64 entries indexed by a position 0..63.
extern const int16_t pt_sinetable[64];    // 0..255..0..-255
extern int16_t pt_ramptable[64];          // 255 - 8 i, built by pt_init
extern const int16_t pt_squaretable[64];  // 0, 255, 0, -256 in quarters
extern int16_t pt_randtable[64];          // -256..254, built by pt_init
extern const int16_t *const pt_waveforms[4];  // sine, ramp, square, random
extern const int16_t *pt_vibratotable;    // shared by all channels
extern const int16_t *pt_tremolotable;    // shared by all channels
