// Software mixer: 32 sample slots, 32 channels, signed 8-bit mono samples
// mixed with linear interpolation into a 32-bit stereo accumulator and
// written as 16-bit or 8-bit interleaved stereo.
//
// The channel operations (installed into the sd_ table by
// sd_mix_setfunctions) write the channel settings mix_channels; the renderer
// sd_mix_stereo plays the working voices mix_voices. Each call of
// sd_mix_stereo first copies every active channel's settings onto its voice,
// keeping the voice's running position and step unless the operations
// flagged a new offset or a new period.
//
// Threads: the channel operations and sd_mix_stereo run on the audio thread
// (the channel operations only between two sd_mix_stereo calls, inside a
// replayer tick); sd_mix_init, sd_getsample, sd_setactivechannels and
// sd_setmainvolume also run on the main thread before the device is
// unpaused. Nothing here takes a lock.
#pragma once

#include <cstdint>

// One registered sample. The data is referenced, never copied.
struct mix_sample {
  const int8_t *data;   // first frame; null when the slot is empty
  uint32_t length;      // frames (one byte each)
  uint32_t loop_start;  // frame index
  uint32_t loop_end;    // frame index: loop start + loop length
  int looping;          // 1 looped, 0 one-shot
};

// Channel settings and working voice. Position and step are 32.32 fixed
// point, each held as its fraction word followed by its integer word.
struct mix_channel {
  const int8_t *data;   // sample data taken from the slot
  int sample;           // slot number last set
  int volume;           // 0..64 as the replayer uses it (any int accepted)
  uint32_t pos_frac;    // 1/2^32 frame
  uint32_t pos;         // frame index
  uint32_t step_frac;   // 1/2^32 frame per output frame
  uint32_t step;        // frames per output frame
  uint32_t loop_start;  // frame index
  uint32_t loop_end;    // frame index
  int looping;          // from the slot; sd_setoffset may clear it
  uint32_t length;      // frames
  int panning;          // 0 left .. 255 right, 127 after reset
  int new_period;       // 1: the voice must take step/step_frac
  int new_offset;       // 1: the voice must take pos/pos_frac
};

constexpr int MIX_SLOTS = 32;
constexpr int MIX_CHANNELS = 32;
constexpr int MIX_MAXFRAMES = 10240;  // frames one sd_mix_stereo call renders in one pass

extern mix_sample mix_samples[MIX_SLOTS];
extern mix_channel mix_channels[MIX_CHANNELS];  // settings, written by the operations
extern mix_channel mix_voices[MIX_CHANNELS];    // voices, played by sd_mix_stereo
extern int mix_rate;                            // output rate in Hz (44100 at start)
extern int mix_activechannels;                  // channels 0..n-1 are mixed (4 at start)
extern int mix_mainvolume;                      // master volume 0..252 (63 at start)
extern mix_channel *mix_selected;               // target of the channel operations
extern int32_t mix_accum[MIX_MAXFRAMES][2];     // block accumulator, left and right

// Mix n frames (1..MIX_MAXFRAMES) of voice v into the first n frames of
// mix_accum with gains l (left) and r (right), advancing the voice: the
// rendering step of sd_mix_stereo for one voice, in two forms with the same
// result. mix_voice_split records the frames' reads in one pass and applies
// the gains in a second (4 frames at a time with SSE2): the faster form
// where SIMD is at hand. mix_voice_fused does both in one pass: fewer
// instructions on a target without SIMD. sd_mix_stereo takes the first
// where the compiler targets SSE2, else the second.
void mix_voice_split(mix_channel &v, int n, int32_t l, int32_t r);
void mix_voice_fused(mix_channel &v, int n, int32_t l, int32_t r);

// Sets mix_rate and resets all slots and channels (length keeps its value;
// main volume, active channel count and selection are left alone). The block
// size plays no part in mixing. Returns 1.
int sd_mix_init(int rate, int frames);
// Stores the nine channel operations in the sd_ table.
void sd_mix_setfunctions();
// Renders `frames` stereo frames into `out`: signed 16-bit little-endian
// (4 bytes a frame) when bits16 is not 0, unsigned 8-bit (2 bytes a frame,
// silence 0x80) otherwise. A count above MIX_MAXFRAMES is rendered in
// passes of at most MIX_MAXFRAMES with the same result as one pass.
void sd_mix_stereo(void *out, int frames, int bits16);
