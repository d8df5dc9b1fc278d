// Overlays drawn into a 320x200 frame of palette indices (pixel (x, y) at
// byte 320 * y + x): blurred text lines, name captions and falling rain.
//
// writer and writer2 add their images onto the frame, saturating at 255,
// with image value 0 transparent. They clip rows but not columns: a window
// that runs past the right edge (or starts left of the left edge) goes on
// at the same linear offset in the neighbouring row. Only bytes that would
// fall outside the frame's 64000 bytes are dropped.
#pragma once

#include <cstdint>

// Lays text line `line` (0..25 of the text image `lapinaa`, 320x24 each)
// over the frame, blurred horizontally with box width `level` (values below
// 1 count as 1; the driver uses 1..32). The line is padded with 32 zero
// columns on each side before the blur and the padded strip's columns 0..319
// land on frame columns x..x + 319, so the text itself begins at x + 32.
// Rows y..y + 23 outside 0..199 are skipped. A line outside 0..25 draws
// nothing.
extern void writer(uint8_t *frame, int line, int x, int y, int level);

// Lays name caption 0 (tamsktxt), 1 (dorltxt) or 2 (vesktxt), 196x120, with
// its top-left corner at (x, y). Other caption numbers draw nothing.
extern void writer2(uint8_t *frame, int caption, int x, int y);

// The drawing cores of writer and writer2, taking the image itself: a
// 320x24 text line and a 196x120 caption, row-major at their own widths.
extern void writer_image(uint8_t *frame, const uint8_t *line_image, int x, int y, int level);
extern void writer2_image(uint8_t *frame, const uint8_t *caption_image, int x, int y);

// Rain: 150 short streaks running down and to the left, each pixel of
// which is halved. t: milliseconds, non-negative (a negative t draws
// nothing).
extern void sade(uint8_t *frame, int t);
