// The real-time loop's timing, input and ending: frame pacing, the start-up
// wait for the music, the keys read each frame, and SIGINT/SIGTERM.
//
// Main thread only, except the signal handler, which only sets a flag.
#pragma once

#include <cstdint>

// Milliseconds between frames: 125 frames per second, at least what a 60,
// 75, 100 or 120 Hz display shows. SDL 1.2 cannot tell the display's rate.
constexpr uint32_t LOOP_FRAME_MS = 8;
// How long the music may stand still (no first row at start-up, or no new
// row while playing: a row lasts about 110 ms) before the sound device is
// given up.
constexpr uint32_t LOOP_STALL_MS = 2000;

// The keys of one frame's event poll.
struct loop_input {
  int escapes;  // Escape presses
  int toggles;  // F11 or Alt+Enter presses: switch window / full screen
};

// Reads every pending event. Everything but the keys above, the window's
// quit request included, is ignored.
loop_input poll_input();

// Makes SIGINT and SIGTERM ask the loop to end (loop_stop_requested) instead
// of killing the program. Call before SDL_Init, which then leaves them alone.
void loop_catch_signals();
bool loop_stop_requested();

// The SDL_GetTicks value at which the frame after one drawn at `t` is due,
// given that this one was due at `due`: one period after `due`, or `t`
// itself when the loop has fallen more than a period behind (a slow frame
// is not made up for by a burst of quick ones). Wrap-around safe.
uint32_t loop_next_due(uint32_t due, uint32_t t);

// Sleeps until SDL_GetTicks reaches `due` (at once when it has), waking
// early when a stop was requested.
void loop_sleep_until(uint32_t due);

// Called with every position read: when the music has stood at `pos` for
// LOOP_STALL_MS, the front-end gives up on the sound device and the silent
// clock plays the music on instead (loop_device_dropped).
void loop_watch_music(int32_t pos);

// Waits until the music has played its first row (mzx_position, as
// unsigned, at most 100), sleeping a millisecond between looks and watching
// the music (so a device that never plays is given up after LOOP_STALL_MS).
// Returns false when a stop was requested first.
bool loop_wait_for_music();
// True once loop_watch_music has given up on the sound device. The device
// is still open then, and closing it waits for SDL's audio thread, which may
// never come back: the program ends without closing it.
extern bool loop_device_dropped;
