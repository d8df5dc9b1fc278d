// Frame pacing, the start-up wait, the keys of a frame and the stop signals.
#include "driver/loop.h"

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

bool music_started() { return uint32_t(mzx_position()) <= 100; }

}  // namespace

loop_input poll_input() {
  loop_input in{0, 0};
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
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

bool loop_wait_for_music() {
  const uint32_t t0 = SDL_GetTicks();
  bool dropped = false;
  while (!music_started()) {
    if (loop_stop_requested()) return false;
    if (!dropped && SDL_GetTicks() - t0 >= LOOP_STARTUP_MS) {
      loop_device_dropped = mzx_drop_device() == 1;
      dropped = true;
      continue;
    }
    SDL_Delay(1);
  }
  return true;
}
