// Music front-end: device opening, loading, start, position and the row
// test, with the silent clock used when no device could be opened.
#include "music/mzx.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "replayer/pt.h"
#include "sound/dsp16.h"
#include "sound/mix.h"
#include "sound/sd.h"

uint32_t mzx_starttime = 0;
uint32_t mzx_interval = 0;
int32_t mzx_cbcount = 0;
int32_t mzx_nexthandle = 1;

namespace {

void (*callbacks[MZX_MAXCALLBACKS])();
int32_t cbhandles[MZX_MAXCALLBACKS];

// Who drives mix_newhand: the SDL device, the silent clock in
// mzx_position, or the caller (offline rendering).
enum class Clock { device, silent, offline };
Clock clock_kind = Clock::device;

// Silent clock: blocks of `block_frames` frames run so far, since
// `silent_origin` (mzx_start, or the moment a mute device was dropped).
bool clock_running;
uint32_t silent_origin;
// A dropped device is paused but still open: a callback that had already
// passed SDL's pause check may still run once, so the silent clock then
// ticks under SDL's audio lock, never beside it.
bool device_dropped;
int block_frames = MZX_BLOCK;
int block_rate = MZX_RATE;
// Output frames the silent clock or mzx_render has made since its origin,
// whole blocks; the block being mixed starts here.
int64_t rendered;
uint8_t scratch[MIX_MAXFRAMES * 4];

int clamp_block(int frames) { return frames < 1 ? 1 : frames > MIX_MAXFRAMES ? MIX_MAXFRAMES : frames; }

// Every block a device would have asked for by output frame `upto`: block
// k once k x block_frames <= upto.
void render_blocks(int64_t upto, const mzx_sink *sink) {
  const int bytes = block_frames * sd_framebytes();
  while (rendered <= upto) {
    mix_newhand(nullptr, scratch, bytes);
    const int64_t first = rendered;
    rendered += block_frames;
    if (sink && sink->take) sink->take(sink->ctx, scratch, bytes, first);
  }
}

void prepare_mixer(int rate, int frames) {
  mzx_cbcount = 0;
  mzx_tickleft = 0;
  sd_init(rate, frames);
  sd_setmainvolume(64);
  sd_start();
}

// Runs every block that is due: block k once k x block_frames frames have
// elapsed since mzx_start (block 0 at once).
void silent_catch_up() {
  const uint64_t ms = uint32_t(SDL_GetTicks() - silent_origin);
  if (device_dropped) SDL_LockAudio();
  render_blocks(int64_t(ms * uint64_t(block_rate) / 1000), nullptr);
  if (device_dropped) SDL_UnlockAudio();
}

// Why no device opened, for the one line that says so. SDL's disk driver
// says only that it could not open its file: the file and the system's
// reason are found here, by trying to open it the same way.
void no_device_reason(char *out, size_t cap) {
  const char *driver = std::getenv("SDL_AUDIODRIVER");
  if (driver && !std::strcmp(driver, "disk")) {
    const char *file = std::getenv("SDL_DISKAUDIOFILE");
    if (!file || !*file) file = "sdlaudio.raw";  // SDL's default name
    int fd = open(file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      unlink(file);  // made only to learn the reason: none
    } else if (errno != EEXIST || (fd = open(file, O_WRONLY | O_CLOEXEC)) < 0) {
      std::snprintf(out, cap, "cannot write the disk sound file %s: %s", file, std::strerror(errno));
      return;
    } else {
      close(fd);
    }
  }
  const char *sdl = SDL_GetError();
  std::snprintf(out, cap, "%s", sdl && *sdl ? sdl : "the sound system gave no reason");
}

}  // namespace

int mzx_init(int rate, int frames) {
  mzx_mode = 2;
  block_rate = rate > 0 ? rate : MZX_RATE;
  block_frames = clamp_block(frames);
  if (!sd_dsp16_init(rate, frames)) {
    // No device: the loader and the replayer still need callable
    // operations, and the driver waits for the music to start.
    sd_null_init(rate, frames);
    prepare_mixer(rate, frames);
    clock_kind = Clock::silent;
    char reason[512];
    no_device_reason(reason, sizeof reason);
    std::fprintf(stderr, "Ulvenor Tarquel: no sound device (%s), the demo plays without sound\n", reason);
    return 0;
  }
  clock_kind = Clock::device;
  prepare_mixer(rate, frames);
  return 1;
}

int mzx_init_offline(int rate, int frames) {
  mzx_mode = 2;
  block_rate = rate > 0 ? rate : MZX_RATE;
  block_frames = clamp_block(frames);
  sd_null_init(rate, frames);
  prepare_mixer(rate, frames);
  clock_kind = Clock::offline;
  clock_running = false;
  rendered = 0;
  return 1;
}

void mzx_render(int64_t upto, const mzx_sink *sink) { render_blocks(upto, sink); }

int64_t mzx_rendered() { return rendered; }

int mzx_get(uint8_t *module) {
  pt_rowcount.store(0, std::memory_order_relaxed);
  pt_songpos.store(0, std::memory_order_relaxed);
  pt_publish();
  if (!pt_takemod(module)) return 0;
  pt_init();
  return 1;
}

void mzx_start(int rate) {
  mzx_starttime = SDL_GetTicks();
  mzx_interval = rate != 0 ? uint32_t(1000 / rate) : 0;
  if (mzx_mode == 2) {
    if (clock_kind == Clock::device) {
      // The audio thread runs the callback under SDL's audio lock: taking
      // it once here orders everything mzx_init and mzx_get wrote before
      // the first callback reads it.
      SDL_LockAudio();
      SDL_UnlockAudio();
      SDL_PauseAudio(0);
    } else if (clock_kind == Clock::silent) {
      silent_origin = mzx_starttime;
      rendered = 0;
      clock_running = true;
      silent_catch_up();
    }
  } else {
    SDL_Init(SDL_INIT_TIMER);
    SDL_SetTimer(mzx_interval, mzx_timertick);
  }
}

int mzx_drop_device(int32_t seen) {
  if (clock_kind != Clock::device) return 0;
  SDL_LockAudio();  // no callback runs while the decision is taken
  const bool moved = mzx_position() != seen;
  if (!moved) {
    SDL_PauseAudio(1);
    device_dropped = true;
    clock_kind = Clock::silent;
    silent_origin = SDL_GetTicks();
    rendered = 0;
    clock_running = true;
  }
  SDL_UnlockAudio();
  if (moved) return 0;
  std::fputs("Ulvenor Tarquel: the sound device does not play, the demo goes on without sound\n", stderr);
  return 1;
}

int32_t mzx_position() {
  if (clock_running) silent_catch_up();
  // One word, stored once per tick: never a position with another tick's
  // row, and never older than a value read before.
  return pt_position.load(std::memory_order_acquire);
}

uint32_t mzx_timertick(uint32_t interval) {
  // An empty operation table means no backend: the replayer must not run.
  if (mzx_mode != 2 && sd_selectchannel != nullptr) pt_play();
  return interval;
}

void mzx_stop() {
  if (mzx_mode == 2) {
    clock_running = false;
    sd_stop();
    sd_shutdown();
  } else {
    SDL_SetTimer(0, nullptr);
  }
}

void mzx_setvolume(double level) {
  double v = level * 63.0;
  // Out-of-range levels saturate rather than overflow the conversion.
  if (std::isnan(v)) v = 0.0;
  v = std::clamp(v, -2147483648.0, 2147483647.0);
  // The mixer reads the main volume in the audio callback.
  SDL_LockAudio();
  sd_setmainvolume(int(v));
  SDL_UnlockAudio();
}

uint32_t mzx_elapsed() {
  if (mzx_interval == 0) return 0;
  return (SDL_GetTicks() - mzx_starttime) / mzx_interval;
}

int32_t mzx_addcallback(void (*fn)()) {
  if (mzx_cbcount >= MZX_MAXCALLBACKS) return 0;
  callbacks[mzx_cbcount] = fn;
  cbhandles[mzx_cbcount] = mzx_nexthandle;
  ++mzx_cbcount;
  return mzx_nexthandle++;
}

int mzx_inrange(int32_t value, int32_t min, int32_t max) {
  if (max < 0) return 1;
  return min <= value && value <= max ? 1 : 0;
}

namespace {

// mzx_match without the lock.
int match_row(const mzx_condition *c) {
  if (pt_channels == 0 || pt_lineptr == nullptr) return 0;
  const int32_t songpos = pt_songpos.load(std::memory_order_relaxed);
  const uint32_t rowcount = pt_rowcount.load(std::memory_order_relaxed);
  for (int32_t ch = 0; ch < pt_channels; ++ch) {
    const pt_cell &cell = pt_lineptr[ch];
    if (!mzx_inrange(ch, c->channel_min, c->channel_max)) continue;
    if (!mzx_inrange(pt_cursample[ch], c->sample_min, c->sample_max)) continue;
    if (!mzx_inrange(cell.command & 15, c->command_min, c->command_max)) continue;
    if (!mzx_inrange(cell.param, c->param_min, c->param_max)) continue;
    if (!mzx_inrange(songpos, c->songpos_min, c->songpos_max)) continue;
    if (c->row_max >= 0) {
      // A divisor of 0 would divide by zero: the row is then taken as it is.
      uint32_t div = uint32_t(c->row_divisor);
      uint32_t row = div != 0 ? rowcount % div : rowcount;
      if (!mzx_inrange(int32_t(row), c->row_min, c->row_max)) continue;
    }
    if (!mzx_inrange(int32_t(pt_vbcount), c->tick_min, c->tick_max)) continue;
    return 1;
  }
  return 0;
}

}  // namespace

int mzx_match(const mzx_condition *c) {
  // The row, its cells and the channel state belong to the audio thread:
  // read them under its lock, all from the same tick.
  SDL_LockAudio();
  const int matched = match_row(c);
  SDL_UnlockAudio();
  return matched;
}
