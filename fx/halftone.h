// Halftone screen: redraws a picture as circular dots on a staggered lattice
// (6 pixels apart along a row, rows 5 apart, odd rows shifted by 3), each
// dot at most 7x7 pixels with an anti-aliased rim, dot size following the
// local brightness.
#pragma once

#include <cstdint>

// Records the picture size (width is also the pitch) and builds the dot
// shape. Called once (320, 200) before any halftone call.
extern void halftone_init(int width, int height);

// Adds the dot screen of `src` onto `dst` (not cleared first), each pixel
// saturating at 255. Both are width x height bytes; dst may be src itself
// (the dots' brightness is sampled before any is drawn), else they must not
// overlap.
// level scales brightness: bright = k * level / 255, capped at 255; 255
// keeps the source's own brightness. A negative level counts as 0 (nothing
// is drawn).
extern void halftone(uint8_t *dst, const uint8_t *src, int level);
