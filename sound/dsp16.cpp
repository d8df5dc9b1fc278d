// SDL audio backend: device opening, the device operations and the audio
// callback's block and tick scheduling.
#include "sound/dsp16.h"

#include <SDL.h>

#include "replayer/pt.h"
#include "sound/mix.h"
#include "sound/sd.h"

int32_t mzx_mode = 0;
int32_t mzx_tickleft = 0;
void (*mix_tickhook)(int frame);

namespace {

// The requested format. SDL converts to whatever the hardware takes, so the
// callback always receives buffers in this format. sd_null_init records the
// same fields without opening anything.
SDL_AudioSpec want;

void dev_init(int rate, int frames) { sd_mix_init(rate, frames); }
void dev_nothing() {}
void dev_shutdown() { SDL_CloseAudio(); }

// The device operations both backends share; `shutdown` closes the device
// or does nothing.
void set_device_ops(void (*shutdown)()) {
  sd_init = dev_init;
  sd_secondhand = dev_nothing;
  sd_start = dev_nothing;
  sd_stop = dev_nothing;
  sd_shutdown = shutdown;
  sd_mix_setfunctions();
}

void fill_spec(int rate, int frames) {
  want.freq = rate;
  want.format = rate < 44100 ? AUDIO_U8 : AUDIO_S16LSB;
  want.channels = 2;
  want.samples = uint16_t(frames);
  want.callback = mix_newhand;
  want.userdata = nullptr;
}

}  // namespace

int sd_dsp16_init(int rate, int frames) {
  fill_spec(rate, frames);
  if (SDL_OpenAudio(&want, nullptr) < 0) {
    sd_errorstr = "SDL audio error";
    return 0;
  }
  set_device_ops(dev_shutdown);
  sd_devicename = "SDL audio";
  return 1;
}

int sd_null_init(int rate, int frames) {
  fill_spec(rate, frames);
  set_device_ops(dev_nothing);
  return 1;
}

int sd_framebytes() { return want.format == AUDIO_S16LSB ? 4 : 2; }

int32_t sd_tickframes(int32_t tempo) {
  if (tempo <= 0) return 0;
  // 5512500 = 44100 x 125: at 44100 Hz this is exactly 5512500 / (50 tempo).
  int64_t n = int64_t(want.freq) * 125 / (int64_t(50) * tempo);
  return n < 1 ? 1 : int32_t(n);
}

void mix_newhand(void *, uint8_t *stream, int len) {
  static int done;  // frames of this stream already rendered
  if (mzx_mode != 2) return;
  const int frame_bytes = sd_framebytes();
  const int bits16 = frame_bytes == 4;
  const int frames = len / frame_bytes;
  if (frames <= 0) return;
  if (pt_bpmtempo <= 0) {
    // No module loaded: nothing may tick, the channels stay silent.
    sd_mix_stereo(stream, frames, bits16);
    return;
  }
  done = 0;
  for (;;) {
    if (mzx_tickleft <= 0) {
      pt_play();
      if (mix_tickhook) mix_tickhook(done);
      // The tick's own tempo change sets its own length.
      mzx_tickleft = sd_tickframes(pt_bpmtempo);
      if (mzx_tickleft <= 0) {
        sd_mix_stereo(stream + done * frame_bytes, frames - done, bits16);
        return;
      }
    }
    int n = frames - done < mzx_tickleft ? frames - done : mzx_tickleft;
    sd_mix_stereo(stream + done * frame_bytes, n, bits16);
    done += n;
    mzx_tickleft -= n;
    if (done >= frames) return;
  }
}
