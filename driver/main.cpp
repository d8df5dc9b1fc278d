// Ulvenor Tarquel: start-up, the frame loop and shutdown.
#include "driver/demo.h"
#include "driver/loop.h"
#include "driver/options.h"
#include "driver/screen.h"
#include "music/mzx.h"

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ULV_VERSION
#define ULV_VERSION "unknown"
#endif

namespace {

// --help and --version: what they print must reach standard output (not a
// full disk or a closed pipe), or the run fails with the reason.
int finish_stdout() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::fclose(stdout) == 0) return 0;
  std::fprintf(stderr, "ulvenor: cannot write standard output: %s\n", std::strerror(errno));
  return 1;
}

// The frame loop: a frame every LOOP_FRAME_MS, sleeping in between, until
// the end of the timeline, Escape or a stop signal. Returns the exit value.
int run_frames() {
  const uint32_t start_ticks = SDL_GetTicks();
  uint32_t due = start_ticks;
  for (;;) {
    const loop_input in = poll_input();
    for (int i = 0; i < in.toggles; i++)
      if (!screen_toggle_fullscreen()) {
        std::fprintf(stderr, "ulvenor: cannot set the video mode: %s\n", SDL_GetError());
        return 1;
      }
    const int32_t now = int32_t(SDL_GetTicks() - start_ticks);
    const int32_t pos = mzx_position();
    loop_watch_music(pos);
    present(demo_frame(pos, now));
    if (demo_done(pos, in.escapes + loop_stop_requested())) return 0;
    due = loop_next_due(due, SDL_GetTicks());
    loop_sleep_until(due);
  }
}

// With no display, SDL 1.2 over SDL 2 picks its "offscreen" driver: a window
// nobody sees, whose keys never come, so the run would go on until killed.
// Returns the name of such a driver when SDL picked it unasked (not named
// by SDL_VIDEODRIVER), else null. Classic SDL 1.2 falls back to its text
// driver instead, which is seen.
const char *unseen_video_driver() {
  static char name[32];
  if (!SDL_VideoDriverName(name, sizeof name)) return nullptr;
  if (std::strcmp(name, "offscreen") != 0 && std::strcmp(name, "dummy") != 0) return nullptr;
  const char *asked = std::getenv("SDL_VIDEODRIVER");
  return asked && std::strcmp(asked, name) == 0 ? nullptr : name;
}

}  // namespace

int main(int argc, char **argv) {
  demo_options opt;
  switch (parse_options(argc, argv, opt, stderr)) {
    case demo_action::help:
      print_usage(stdout);
      return finish_stdout();
    case demo_action::version:
      std::puts("Ulvenor Tarquel " ULV_VERSION);
      return finish_stdout();
    case demo_action::usage_error:
      print_usage(stderr);
      return 2;
    case demo_action::run:
      break;
  }
  std::puts("");
  std::puts("Ulvenor Tarquel!");
  std::fflush(stdout);
  loop_catch_signals();
  // SDL 1.2 over SDL 2 (sdl12-compat) sends every update through an SDL 2
  // renderer, by default OpenGL: without a GPU driver (Mesa's llvmpipe, as
  // under Xvfb) that renders the whole window on the CPU, several times the
  // cost of the demo; and it enlarges linearly unless told otherwise.
  screen_sdl2_environment(opt.scale);
  // Video first and the sound apart: SDL 2 (under sdl12-compat) undoes the
  // whole of an SDL_Init one part of which failed, as the sound's does
  // without a device, and video started later by the first mode cannot
  // tell the display's size. Classic SDL 1.2 starts video before sound
  // either way. No timer subsystem: the music is driven by the sound
  // device, and classic SDL 1.2's timer thread wakes every millisecond
  // whether a timer is set or not (2.5% of a core here); the timer-driven
  // mode starts it itself (mzx_start).
  SDL_Init(SDL_INIT_VIDEO);
  SDL_InitSubSystem(SDL_INIT_AUDIO);
  if (const char *unseen = unseen_video_driver()) {
    std::fprintf(stderr,
                 "ulvenor: no display to show the demo on (SDL has only its %s video driver): set DISPLAY, "
                 "or SDL_VIDEODRIVER=dummy to play it without a picture\n",
                 unseen);
    SDL_Quit();
    return 1;
  }
  if (!screen_open(opt.scale, opt.fullscreen)) {
    // Nothing can be shown without a window: say why instead of drawing
    // into a null surface.
    std::fprintf(stderr, "ulvenor: cannot open the window: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }

  demo_start(demo_sound::device);
  const int status = loop_wait_for_music() ? run_frames() : 0;
  if (loop_device_dropped) {
    // Closing a device that never played waits for its thread, maybe for
    // ever: close the window only and leave the device to the system.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::fflush(stdout);
    std::_Exit(status);
  }
  SDL_Quit();
  return status;
}
