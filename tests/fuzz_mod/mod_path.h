// The module file path of modtool, shared by the libFuzzer target and the
// corpus regression test: the file check (and the padding of a short last
// sample), then the loader and the replayer
// start-up (mzx_get), then a few hundred replayer ticks mixed through the
// audio callback, as `modtool render` runs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "maths/rng.h"
#include "music/mzx.h"
#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "tools/modtool/modfile.h"

namespace modpath {

constexpr int TICKS = 256;       // replayer ticks per run
constexpr int BLOCK = 1024;      // frames per callback
constexpr int MAX_BLOCKS = 1200; // 256 ticks of at most 3445 frames each fit

struct result {
  bool accepted = false;     // the file check passed
  bool loaded = false;       // mzx_get took the image
  uint32_t consumed = 0;     // bytes the loader read
  size_t claimed = 0;        // bytes the file check says the module holds
  int ticks = 0;             // replayer ticks run
  bool in_range = true;      // after every tick: the row walked lies inside its pattern
  uint64_t digest = 0;       // FNV-1a over the mixed output, 8 bytes at a time
};

namespace detail {
inline int ticks;
inline bool in_range;
// Between ticks a jump or a loop may leave the position at -1..254 and the
// row at -1..63 until the next row boundary; the row being played must lie
// inside a stored pattern whatever the song does.
inline void on_tick(int) {
  ++ticks;
  int32_t pos = pt_songpos.load(std::memory_order_relaxed);
  int32_t row = int32_t(pt_rowcount.load(std::memory_order_relaxed));
  if (pos < -1 || pos > 254 || row < -1 || row > 64) in_range = false;
  if (pt_lineptr == nullptr) return;
  if (pt_curpattern < 0 || pt_curpattern > pt_lastpattern) {
    in_range = false;
    return;
  }
  ptrdiff_t cell = pt_lineptr - pt_patterns[pt_curpattern];
  if (cell < 0 || cell >= 64 * pt_channels || cell % pt_channels != 0) in_range = false;
}

// pt_init leaves glissando and panning as an earlier module set them; a
// tool loads one module per process, so every run starts from the values
// the process started with.
struct carried {
  int32_t pan[32], glissando[32];
  uint8_t defaultpan[32];
};
inline const carried initial = [] {
  carried c;
  std::memcpy(c.pan, pt_pan, sizeof c.pan);
  std::memcpy(c.glissando, pt_glissando, sizeof c.glissando);
  std::memcpy(c.defaultpan, pt_defaultpan, sizeof c.defaultpan);
  return c;
}();
inline void restore_carried() {
  std::memcpy(pt_pan, initial.pan, sizeof pt_pan);
  std::memcpy(pt_glissando, initial.glissando, sizeof pt_glissando);
  std::memcpy(pt_defaultpan, initial.defaultpan, sizeof pt_defaultpan);
}
}  // namespace detail

// Runs `size` bytes through the path. The output rate follows the size so
// that both output formats are covered: 44100 Hz 16-bit when the size is 1
// more than a multiple of 4, else 8000 Hz 8-bit (a tick of 160 frames at
// 125 BPM instead of 882: the mixer's cost falls, its paths stay the same). The random waveform's table is rebuilt
// from the same start value and the state pt_init keeps is put back on every
// run, so a run's digest depends only on its input.
inline result run(const uint8_t *data, size_t size) {
  result r;
  std::vector<uint8_t> bytes(data, data + size);
  modfile_info info;
  std::string problem;
  r.accepted = modfile_check(bytes, info, problem);
  if (!r.accepted) return r;
  r.claimed = info.claimed;
  // The loader rewrites its image and the mixer keeps pointers into it: an
  // exact-size copy makes any read past the checked bytes visible to ASan.
  std::vector<uint8_t> image(bytes.begin(), bytes.end());
  image.resize(info.claimed, 0);  // a short last sample padded with silence, as modtool does
  const bool wide = size % 4 == 1;
  mzx_init_offline(wide ? 44100 : 8000, BLOCK);
  rng_reset();
  detail::restore_carried();
  r.loaded = mzx_get(image.data()) == 1;
  r.consumed = rb_ofs;
  if (!r.loaded) return r;
  detail::ticks = 0;
  detail::in_range = true;
  mix_tickhook = detail::on_tick;
  static uint64_t out[BLOCK / 2];  // one block of 16-bit stereo, 8-byte words
  const int len = BLOCK * sd_framebytes();
  uint64_t h = 14695981039346656037ull;
  for (int b = 0; b < MAX_BLOCKS && detail::ticks < TICKS; ++b) {
    mix_newhand(nullptr, reinterpret_cast<uint8_t *>(out), len);
    for (int i = 0; i < len / 8; ++i) h = (h ^ out[i]) * 1099511628211ull;
  }
  mix_tickhook = nullptr;
  r.ticks = detail::ticks;
  r.in_range = detail::in_range;
  r.digest = h;
  return r;
}

// The agreements every run must keep; false names a fault.
inline bool consistent(const result &r) {
  if (!r.accepted) return true;
  return r.loaded && r.consumed == r.claimed && r.ticks >= TICKS && r.in_range;
}

}  // namespace modpath
