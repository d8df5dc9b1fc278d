// Music front-end: the only face of the music the demo driver sees.
#pragma once

#include <cstdint>

// Opens the sound device (rate in Hz, block size in frames); 1 on success.
int mzx_init(int rate, int frames);
// Loads a module image in place; 1 on success.
int mzx_get(uint8_t *module);
// Starts playback; rate is the timer rate in calls per second (not 0).
void mzx_start(int rate);
// Song position x 100 + row; -37 before the first tick. Main thread.
int32_t mzx_position();
