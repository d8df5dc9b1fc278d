// Correctly rounded sine and cosine: the double nearest to the true value,
// the same bits on every machine with IEEE double arithmetic, whether its
// floating point is hardware (x86-64) or software (armel). The C library's
// sin and cos may differ in the last bit between machines and between
// variants of one library, and a last bit can decide an integer truncated
// from a product.
//
// Used for the per-frame and start-up set-up values (angles, offsets); never
// per pixel or per sample. Exact for |x| below 8.4e8 (2^29 quarter turns);
// beyond that still the same bits everywhere, but possibly not the nearest.
// NaN and infinities give NaN; cr_sin(-0.0) is -0.0.
#pragma once

double cr_sin(double x);
double cr_cos(double x);

// The same results by the slow path alone (a double-double Taylor series
// of 15 terms), which the fast path above falls back to near a rounding
// boundary. For tests.
double cr_sin_accurate(double x);
double cr_cos_accurate(double x);
