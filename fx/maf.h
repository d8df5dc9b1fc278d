// Horizontal box blur (moving average) that never divides while filtering:
// a table holds every byte value already divided by every box width, and
// each row keeps a running sum.
#pragma once

#include <cstdint>

// Fills the division table (tab[n][v] = v / n, n 1..639, v 0..255). Called
// once at start-up, before the first horiz_maf.
extern void init_maf();

// Blurs the width x height rectangle at (src_x, src_y) of src into the
// rectangle at (dst_x, dst_y) of dst; both share `pitch` and must not
// overlap. Output pixel c of a row is the sum of v / n over the source
// pixels c - b + 1 .. c + a of that row (a = n / 2, b = n - a), pixels
// outside the rectangle counting as 0; each term is truncated before it is
// summed, so a uniform run of v comes out as n * (v / n). `unused` is
// ignored (callers pass the height). n is the box width, 1..639; values
// outside are clamped to that range.
extern void horiz_maf(const uint8_t *src, uint8_t *dst, int src_x, int src_y, int dst_x, int dst_y,
                      int width, int height, int pitch, int unused, int n);
