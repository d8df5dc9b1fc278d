// The demo's engine and two reference players (libxmp, libopenmpt) behind
// the same small calls: the row timeline (output frame of each row's first
// tick) and a 16-bit stereo render at 44100 Hz.
//
// The engine runs offline exactly as the demo's audio callback runs it:
// mzx_init_offline, mzx_get, then mix_newhand in 4096-frame blocks. Its
// globals make it one instance per process, one render at a time.
#pragma once

#include <libopenmpt/libopenmpt.hpp>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "music/mzx.h"
#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/sd.h"

namespace refplay {

constexpr int kRate = 44100;
constexpr int kBlock = 4096;  // frames per callback block, as in the demo

struct row_start {
  uint64_t frame;  // output frame at which the row's first tick ran
  int order;       // song position
  int row;         // 0..63
  bool operator==(const row_start &) const = default;
};

// ---- the demo's engine ----

// Engine state seen by the tick hook. A row's own effects (a jump or a
// break) rewrite pt_songpos and pt_rowcount before the hook runs, so the
// position is taken when the tick's channel walk selects channel 0.
inline void (*engine_select)(int);
inline int engine_order, engine_row;
inline uint32_t engine_speed;  // speed before the tick: 0 means a frozen row is replayed
inline int32_t engine_delay;   // pattern delays pending before the tick
inline uint64_t engine_frames; // frames rendered before the current block
inline std::vector<row_start> *engine_rows;

inline void engine_select_and_note(int channel) {
  if (channel == 0) {
    engine_order = pt_songpos.load(std::memory_order_relaxed);
    engine_row = int(int32_t(pt_rowcount.load(std::memory_order_relaxed)));
  }
  engine_select(channel);
}

// A first tick that used up a pattern delay repeats its row: not a new one.
inline void engine_on_tick(int offset) {
  int32_t delay = 0;
  for (int c = 0; c < pt_channels; ++c) delay += pt_pattdelay[c];
  bool new_row = pt_vbcount == 0 && engine_speed != 0 && delay >= engine_delay;
  engine_speed = pt_vbtempo;
  engine_delay = delay;
  if (new_row && engine_rows) engine_rows->push_back({engine_frames + uint64_t(offset), engine_order, engine_row});
}

// Loads `image` (which must stay alive while playing) into the engine and
// starts observing rows (appended to `rows` when not null). False when the
// loader refuses it.
inline bool engine_start(std::vector<uint8_t> &image, std::vector<row_start> *rows = nullptr) {
  mzx_init_offline(kRate, kBlock);
  if (!mzx_get(image.data())) return false;
  engine_select = sd_selectchannel;
  sd_selectchannel = engine_select_and_note;
  engine_speed = pt_vbtempo;
  engine_delay = 0;
  engine_frames = 0;
  engine_rows = rows;
  mix_tickhook = engine_on_tick;
  return true;
}

// Renders the next block: kBlock stereo frames into out.
inline void engine_block(int16_t *out) {
  mix_newhand(nullptr, reinterpret_cast<uint8_t *>(out), kBlock * 4);
  engine_frames += kBlock;
}

// Stops observing and gives the operation table back to the mixer.
inline void engine_stop() {
  mix_tickhook = nullptr;
  sd_selectchannel = engine_select;
  engine_rows = nullptr;
}

// The first `frames` stereo frames of the engine's render of `image`.
// The image gets a spare zero byte: the interpolating read looks one byte
// past the last sample.
inline std::vector<int16_t> engine_render(std::vector<uint8_t> image, size_t frames) {
  image.push_back(0);
  std::vector<int16_t> out((frames + kBlock - 1) / kBlock * kBlock * 2);
  if (!engine_start(image)) return {};
  for (size_t b = 0; b * kBlock < frames; ++b) engine_block(&out[b * kBlock * 2]);
  engine_stop();
  out.resize(frames * 2);
  return out;
}

// The first `count` rows the engine plays, with their start frames.
inline std::vector<row_start> engine_timeline(std::vector<uint8_t> image, size_t count) {
  image.push_back(0);
  std::vector<row_start> rows;
  std::vector<int16_t> block(kBlock * 2);
  if (!engine_start(image, &rows)) return rows;
  while (rows.size() < count && engine_frames < uint64_t(kRate) * 3600) engine_block(block.data());
  engine_stop();
  if (rows.size() > count) rows.resize(count);
  return rows;
}

// ---- libxmp ----

// Plays `path` tick by tick in ProTracker mode at 44100 Hz; a row starts
// at a tick whose in-row tick number is 0, at the sum of the frames of all
// earlier ticks.
inline std::vector<row_start> xmp_timeline(const std::string &path, size_t count) {
  std::vector<row_start> rows;
  xmp_context ctx = xmp_create_context();
  if (xmp_load_module(ctx, const_cast<char *>(path.c_str())) != 0) {
    xmp_free_context(ctx);
    return rows;
  }
  if (xmp_start_player(ctx, kRate, 0) == 0) {
    xmp_set_player(ctx, XMP_PLAYER_MODE, XMP_MODE_PROTRACKER);
    uint64_t frame = 0;
    xmp_frame_info fi;
    while (rows.size() < count && frame < uint64_t(kRate) * 3600) {
      if (xmp_play_frame(ctx) != 0) break;
      xmp_get_frame_info(ctx, &fi);
      if (fi.frame == 0) rows.push_back({frame, fi.pos, fi.row});
      frame += uint64_t(fi.buffer_size / 4);  // bytes: 16-bit stereo
    }
    xmp_end_player(ctx);
  }
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  return rows;
}

// ---- libopenmpt ----

// A module set up for plain linear interpolation with no ramping, dither,
// Amiga filter emulation or gain; the song plays once (no repeat).
inline void openmpt_plain(openmpt::module &mod) {
  mod.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 2);
  mod.set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
  mod.set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, 100);
  mod.set_render_param(openmpt::module::RENDER_MASTERGAIN_MILLIBEL, 0);
  mod.ctl_set_text("render.resampler.emulate_amiga", "0");
  mod.ctl_set_text("dither", "0");
}

// Renders up to `frames` frames of `bytes`; shorter when the song ends.
inline std::vector<int16_t> openmpt_render(const std::vector<uint8_t> &bytes, size_t frames) {
  openmpt::module mod(bytes);
  openmpt_plain(mod);
  std::vector<int16_t> out(frames * 2);
  size_t done = 0;
  while (done < frames) {
    size_t n = mod.read_interleaved_stereo(kRate, std::min<size_t>(kBlock, frames - done), &out[done * 2]);
    if (n == 0) break;
    done += n;
  }
  out.resize(done * 2);
  return out;
}

// ---- comparison ----

// Pearson correlation of the mono sums (left + right) of two stereo
// renders over their common length: 1 for the same signal at any gain.
inline double mono_correlation(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
  size_t n = std::min(a.size(), b.size()) / 2;
  if (n == 0) return 0;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += a[2 * i] + a[2 * i + 1];
    mb += b[2 * i] + b[2 * i + 1];
  }
  ma /= double(n);
  mb /= double(n);
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    double x = a[2 * i] + a[2 * i + 1] - ma, y = b[2 * i] + b[2 * i + 1] - mb;
    sab += x * y;
    saa += x * x;
    sbb += y * y;
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

}  // namespace refplay
