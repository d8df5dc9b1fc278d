// SDL audio backend and the audio callback.
//
// sd_dsp16_init opens the SDL 1.2 audio device (paused) and fills the sd_
// table; mix_newhand is the callback that cuts every device buffer at tick
// boundaries, running one replayer tick (pt_play) at each boundary and
// having the mixer render the frames in between. This callback is the one
// place where the sound layer calls up into the replayer (pt_play,
// pt_bpmtempo); it needs nothing of the music front-end above it.
//
// Threads: sd_dsp16_init and sd_null_init run on the main thread before
// playback; mix_newhand runs on SDL's audio thread (or, with no device, on
// whichever thread drives it, one caller at a time).
#pragma once

#include <cstdint>

// The tick source's state that the callback reads on every block. Both are
// part of the music front-end's interface (music/mzx.h includes this
// header), but they are stored here, with their only per-block reader, so
// the sound layer does not depend on the layer above it.
// Tick source: 2 mixer-driven (audio callback), 0 timer-driven. 0 until
// mzx_init, 2 from then on whether or not the device opened.
extern int32_t mzx_mode;
// Output frames left before the next tick; 0 at start. Only the callback
// reads and writes it once playback has started (audio thread).
extern int32_t mzx_tickleft;

// Opens the device for `rate` Hz stereo with blocks of `frames` frames:
// unsigned 8-bit below 44100 Hz, signed 16-bit little-endian otherwise.
// Returns 1 with the device open and paused and all fourteen operations
// filled; on failure returns 0 with sd_errorstr = "SDL audio error" and the
// table untouched. SDL must have been initialised with its audio subsystem.
int sd_dsp16_init(int rate, int frames);

// Fills the same table and records the same output format as sd_dsp16_init
// but opens no device: the device operations do nothing (sd_shutdown
// included) and the caller runs mix_newhand itself on its own buffers.
// Used when the device cannot be opened and by offline renderers. Returns 1.
int sd_null_init(int rate, int frames);

// The SDL audio callback: fills len bytes of stream in the recorded format.
// Does nothing unless mzx_mode is 2. While the replayer's tempo is 0 (no
// module loaded) it renders the mixer's output without running a tick.
void mix_newhand(void *userdata, uint8_t *stream, int len);

// Bytes per stereo frame of the recorded output format (4 or 2).
int sd_framebytes();

// Tick length in output frames for a tempo at the recorded rate:
// 5512500 / (50 x tempo) at 44100 Hz, scaled by rate / 44100 otherwise so
// the music keeps its speed at any rate.
int32_t sd_tickframes(int32_t tempo);

// Called, when not null, after every replayer tick that mix_newhand runs,
// with the frame offset in the current stream at which the tick ran. Null in
// the demo; offline tools use it to time rows.
extern void (*mix_tickhook)(int frame);
