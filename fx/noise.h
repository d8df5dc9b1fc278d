// Film noise laid over the finished frame: a scratch, specks and a blotch
// placed by closed formulas of a time value, so the pattern moves every
// frame and is the same on every run.
#pragma once

#include <cstdint>

// Darkens marks into `frame` (320x200 palette indices, pitch 320) in place.
// t: time in 1/50 s (the driver passes milliseconds / 20), 0..12852. A t
// outside that range is reduced modulo 12853 (into 0..12852) rather than
// overflowing the blotch's placement formula. Scratch and specks halve the
// index; the blotch sets its pixels to 0.
extern void noise(uint8_t *frame, int t);
