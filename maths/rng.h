// The demo's random numbers: one sequence, the same on every machine and C
// library.
//
// rng_next gives exactly the sequence that glibc's rand() gives when it is
// never seeded (seed 1): an additive feedback generator of 31 words,
// x[i] = x[i-31] + x[i-3] (mod 2^32), started from the seed by
// x[i] = 16807 x[i-1] mod (2^31 - 1) and stepped 310 times before the first
// result, each result being the new word shifted right by one. The worms'
// offsets, the replayer's random waveform and the flicker-out draw from it,
// so their bytes no longer depend on the C library the program runs on.
//
// Not thread-safe: the demo draws only on the main thread (start-up and the
// frame loop).
#pragma once

#include <cstdint>

// The next number, 0..2^31 - 1.
int rng_next();

// Back to the sequence's start, as at program start.
void rng_reset();
