// Frame pacing, the start-up wait, the keys of a frame and the stop signals.
#include "driver/loop.h"

#include "driver/screen.h"

#include "music/mzx.h"

#include <SDL.h>

#include <csignal>

bool loop_device_dropped = false;

namespace {

volatile std::sig_atomic_t stop_signal = 0;

void on_stop_signal(int) { stop_signal = 1; }

bool is_toggle(const SDL_keysym &k) {
  return k.sym == SDLK_F11 || (k.sym == SDLK_RETURN && (k.mod & KMOD_ALT));
}

}  // namespace

loop_input poll_input() {
  loop_input in{0, 0};
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (ev.type == SDL_VIDEOEXPOSE) screen_show_again();
    if (ev.type != SDL_KEYDOWN) continue;
    if (ev.key.keysym.sym == SDLK_ESCAPE) in.escapes++;
    if (is_toggle(ev.key.keysym)) in.toggles++;
  }
  return in;
}

void loop_catch_signals() {
  struct sigaction sa {};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

bool loop_stop_requested() { return stop_signal != 0; }

uint32_t loop_next_due(uint32_t due, uint32_t t) {
  const uint32_t next = due + LOOP_FRAME_MS;
  return int32_t(next - t) < 0 ? t : next;
}

void loop_sleep_until(uint32_t due) {
  for (;;) {
    const int32_t left = int32_t(due - SDL_GetTicks());
    if (left <= 0 || loop_stop_requested()) return;
    SDL_Delay(uint32_t(left));
  }
}

void loop_watch_music(int32_t pos) {
  static int32_t last = -38;  // no position: the first look starts the watch
  static uint32_t since, looked;
  const uint32_t t = SDL_GetTicks();
  // A long gap between looks (the process was stopped, Ctrl-Z, or the
  // machine slept) is not the device's fault: the watch starts again.
  if (pos != last || t - looked > LOOP_STALL_MS / 4) {
    last = pos;
    since = looked = t;
    return;
  }
  looked = t;
  if (loop_device_dropped || t - since < LOOP_STALL_MS) return;
  since = t;  // one try per stall period
  loop_device_dropped = mzx_drop_device(pos) == 1;
}

bool loop_wait_for_music() {
  for (;;) {
    const int32_t pos = mzx_position();
    if (uint32_t(pos) <= 100) return true;
    if (loop_stop_requested()) return false;
    loop_watch_music(pos);
    SDL_Delay(1);
  }
}
