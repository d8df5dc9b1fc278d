// Area geometry of the clear-text reader, in picture space: filling any
// closed polygon (crossing itself or not) with the nonzero winding rule, and
// hatching it. Coordinates are expected within +-2^18; the arithmetic is
// exact in 64 bits there.
#pragma once

#include <cstdint>
#include <vector>

// Appends triangles (x0, y0, x1, y1, x2, y2, counter-clockwise with y up)
// covering the n-point closed polygon `pts` (pairs x, y) by the nonzero
// rule: horizontal slabs between vertex heights and crossings, cut into
// trapezoids, each trapezoid kept as long as the same two edges bound it.
// Corners off the vertices round to the nearest unit. Returns false when a
// coordinate lies outside +-2^18 (adding nothing) or when the sweep would
// pass more than CGM_SWEEPWORK edges in all (a polygon crossing itself
// millions of times; what was added is then incomplete).
constexpr int64_t CGM_SWEEPWORK = 100000000;
bool cgm_sweepfill(const int32_t *pts, int n, std::vector<int32_t> &tri);

// Appends the hatch segments (x0, y0, x1, y1) of the n-point closed polygon
// `pts` by the nonzero rule: lines `spacing` apart (>= 1) along the style's
// directions (1 horizontal, 2 vertical, 3 rising, 4 falling, 5 both 1 and 2,
// 6 both 3 and 4), on a grid shared by every polygon. False, adding
// nothing, when a coordinate lies outside +-2^18 or the lines would cross
// the outline more than `budget` times.
bool cgm_hatchlines(const int32_t *pts, int n, int style, int32_t spacing, int64_t budget, std::vector<int32_t> &seg);
