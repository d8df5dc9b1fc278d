// Music front-end: the only face of the music the demo driver sees.
//
// Opens the sound device, loads the module into the replayer, starts
// playback and reports the playback position. Ticks come either from the
// audio callback mix_newhand (mzx_mode 2, mixer-driven: always, once
// mzx_init has run) or from an SDL timer calling mzx_timertick (mzx_mode 0).
//
// When the device cannot be opened, mzx_init installs the mixer with no
// device behind it and a silent clock: mzx_position then runs mix_newhand
// itself on a scratch buffer, one 4096-frame block for every block's worth
// of time elapsed since mzx_start (block k runs once k x 4096 frames have
// elapsed, the first at once, as a device would ask for them), so the music
// advances at exactly the speed it would play. The replayer then runs on
// the thread that reads the position.
//
// Threads: everything here runs on the main thread, except mzx_tickleft,
// which only the audio callback touches once playback has started, and
// mzx_timertick, which runs on the SDL timer thread. mzx_match and
// mzx_setvolume take SDL's audio lock; mzx_position reads one word.
#pragma once

#include <cstdint>

#include "sound/dsp16.h"

// mzx_mode (tick source) and mzx_tickleft (frames left in the current tick)
// are declared in sound/dsp16.h, stored beside the audio callback that
// reads them.
extern uint32_t mzx_starttime;  // SDL_GetTicks at mzx_start, ms
extern uint32_t mzx_interval;   // timer period in ms: 1000 / the rate given to mzx_start
extern int32_t mzx_cbcount;     // registered callbacks, 0..1024
extern int32_t mzx_nexthandle;  // handle for the next registered callback, from 1

constexpr int MZX_MAXCALLBACKS = 1024;

// The demo's sound, named here once for every way of running it: 44100
// output frames a second of 16-bit stereo, asked for in blocks of 4096
// frames (the device's buffer, and the offline block), and 54 as the rate
// given to mzx_start (an 18 ms timer period; the mixer-driven music does
// not use it).
constexpr int MZX_RATE = 44100;
constexpr int MZX_BLOCK = 4096;
constexpr int MZX_TIMER_RATE = 54;

// Where mzx_render hands each block: take(ctx, block, bytes, first), with
// the block's bytes (the block size times sd_framebytes()) in the
// front-end's own buffer, valid until the next block is rendered, and
// `first` the output frame its first sample plays at (0, then a multiple
// of the block size). A null `take` only plays the blocks.
struct mzx_sink {
  void (*take)(void *ctx, const uint8_t *block, int bytes, int64_t first);
  void *ctx;
};

// Row test record for mzx_match: seventeen signed 32-bit fields. A pair
// whose maximum is negative matches anything.
struct mzx_condition {
  int32_t channel_min, channel_max;
  int32_t sample_min, sample_max;
  int32_t unused0, unused1;  // not read by the test
  int32_t command_min, command_max;
  int32_t param_min, param_max;
  int32_t songpos_min, songpos_max;
  int32_t row_divisor;  // the row is taken modulo this (unsigned) when row_max >= 0
  int32_t row_min, row_max;
  int32_t tick_min, tick_max;
};
static_assert(sizeof(mzx_condition) == 17 * 4);

// Opens the sound device (rate in Hz, block size in frames), paused, and
// prepares the mixer at main volume 64. Returns 1 when the device is open.
// Returns 0 when it cannot be opened; the mixer is then installed with no
// device behind it, the silent clock takes over (see above), and one line on
// standard error says that the demo plays without sound.
int mzx_init(int rate, int frames);

// Like mzx_init, but never opens a device and starts no clock: the caller
// advances the music with mzx_render (or runs mix_newhand(nullptr, buffer,
// bytes) itself), in blocks of `frames` frames (1..MIX_MAXFRAMES; MZX_BLOCK
// to match the demo), 16-bit stereo at 44100 Hz and above, 8-bit below.
// mzx_start then only records the start time. Returns 1.
int mzx_init_offline(int rate, int frames);

// After mzx_init_offline: renders through the audio callback every block a
// device playing from the start would have asked for by output frame
// `upto`, in order: block k, frames k x B .. k x B + B - 1 (B the block
// size given to mzx_init_offline), runs once k x B <= upto, so block 0 runs
// at once and mzx_render(mzx_rendered(), sink) renders exactly the next
// block. Each block goes to `sink` (null: none). No allocation; the
// replayer's ticks run on the calling thread.
void mzx_render(int64_t upto, const mzx_sink *sink);
// Output frames rendered so far by mzx_render (whole blocks; 0 after
// mzx_init_offline). While a block is being mixed (in a tick hook, say) it
// is that block's first frame.
int64_t mzx_rendered();

// Loads a module image in place (pt_takemod) and resets the replayer;
// 1 on success, 0 with the reason in pt_errorstr.
int mzx_get(uint8_t *module);

// Starts playback; rate is the timer rate in calls per second (not 0):
// mzx_interval = 1000 / rate. Unpauses the device (mixer-driven) or
// installs the SDL timer (timer-driven).
void mzx_start(int rate);

// Gives up on an open device whose music still stands at `seen` (-37: it
// never played the first row; a later position: it stopped asking for
// sound): pauses it and has the silent clock play the music on from where
// it stands, and writes one line on standard error. Returns 1 when it did
// so; 0 when the position has moved after all or no device is in use
// (nothing changes then). Call after mzx_start.
int mzx_drop_device(int32_t seen);

// Song position x 100 + row; -37 before the first tick. The replayer
// publishes both in one word at the end of every tick (pt_position), so on
// any memory model a reading is a state the replayer finished, and never
// one older than an earlier reading. Never blocks.
int32_t mzx_position();

// SDL timer callback: one pt_play in timer-driven mode (when a backend has
// filled the operation table), nothing in mixer-driven mode. Returns
// interval unchanged.
uint32_t mzx_timertick(uint32_t interval);

// Mixer-driven: sd_stop then sd_shutdown (closes the device). Timer-driven:
// removes the timer.
void mzx_stop();

// Main volume from a level (1.0 full): sd_setmainvolume(level x 63, the
// fraction dropped). 1.0 gives 63, 0.5 gives 31. Takes SDL's audio lock.
void mzx_setvolume(double level);

// Whole timer intervals since mzx_start; 0 before mzx_start.
uint32_t mzx_elapsed();

// Registers fn and returns its handle (1, 2, 3 ...; never reused), or 0
// when 1024 are registered. The table is only stored: nothing calls it.
int32_t mzx_addcallback(void (*fn)());

// 1 when some channel of the current row passes every test of c, else 0
// (always 0 with no module or before the first tick). Takes SDL's audio
// lock, so the row and the channel state are those of one tick.
int mzx_match(const mzx_condition *c);

// 1 when max is negative or min <= value <= max (signed), else 0.
int mzx_inrange(int32_t value, int32_t min, int32_t max);
