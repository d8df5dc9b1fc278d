// Scene timeline and text schedule: what each frame shows for (pos, now).
#pragma once

#include <cstdint>

// Resets the working text schedule, the letter offsets and the scene state.
void timeline_reset();
// Draws the scene `pos` selects; returns the output buffer.
uint8_t *draw_scene(int32_t pos, int32_t now);
// Draws the active text lines into `out`.
void draw_texts(uint8_t *out, int32_t pos, int32_t now);
// Film noise over the finished frame.
void draw_noise(uint8_t *out, int32_t now);
