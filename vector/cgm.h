// Vector pictures: the in-memory picture, its readers (compact bytes, compact
// file), the compact writer and the triangle rasteriser. The clear-text CGM
// reader, for the build machine's programs only, is tools/cgmtext/cgm_text.h.
//
// Picture space: x grows right, y grows up, centred on the origin; +-65536 is
// half the larger extent of the drawing. The compact form stores coordinates
// at a quarter of that (+-16384), as signed 16-bit big-endian values.
//
// Screen space: signed 32-bit quarter pixels of the 320x200 frame; value v is
// pixel (v + 2) >> 2, and the frame centre (160, 100) is (640, 400).
//
// Depends only on the C and C++ standard libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum : int32_t {
  CGM_OUTLINE = 1,  // element flag: draw `points` as an open polyline
  CGM_FILL = 2,     // element flag: fill `triangles`
};

struct cgm_element {
  int32_t flags;       // CGM_OUTLINE | CGM_FILL
  int32_t linewidth;   // outline width in pixels; <= 0 draws nothing (bit 0 only)
  int32_t fillcolr;    // palette index of the fill; only the low 8 bits are drawn
  int32_t linecolr;    // palette index of the outline (bit 0 only)
  int32_t ntriangles;  // triangles in `triangles`
  int32_t npoints;     // outline points in `points` (bit 0 only)
  int32_t *points;     // npoints pairs (x, y), picture space
  int32_t *triangles;  // ntriangles groups x0, y0, x1, y1, x2, y2, picture space
  cgm_element *next;   // next element in file order, or null
  // Shared corners, set by cgm_share_corners (null otherwise): for each of
  // the 3 * ntriangles corners, the index of the element's first corner at
  // the same point; a corner's own index when it is the first.
  uint16_t *corners;
};

struct cgm_picture {
  uint32_t colrtable[200];  // 0x00RRGGBB; [0] is 0, [1..ncolours] in file order
  int32_t ncolours;         // 0..199
  uint32_t backcolr;        // 0x00RRGGBB; 0 from the compact readers
  cgm_element *elements;    // first element, or null
};

// Point transform: picture point (x, y) to screen position (*X, *Y) in
// quarter pixels. Called once per point use, or once per distinct point of
// an element with shared corners: the same point must give the same
// position throughout one cgm_render.
using cgm_xform = void (*)(int x, int y, int *X, int *Y);

// Message of the last reader failure (a reader returned null); static text.
extern const char *cgm_errorstr;

// Compact readers. Every element gets flags CGM_FILL; outline fields are left
// unset. A colour count above 199 is refused (null).
// cgm_get trusts its input (no length is known) and never fails on a valid
// picture. cgm_getn reads exactly `size` bytes: null when the picture runs
// past them or bytes follow its terminator.
cgm_picture *cgm_get(const uint8_t *data);
cgm_picture *cgm_getn(const uint8_t *data, size_t size);
// Reads the compact form from a file opened "rb"; null if it cannot be
// opened, ends before the terminator byte or goes on after it. cgm_getf reads from an open
// stream and leaves it open.
cgm_picture *cgm_getfile(const char *path);
cgm_picture *cgm_getf(FILE *f);

// Compact writer: the filled elements of `pic` (outlines have no compact
// form and are left out), coordinates divided by 4 rounding to nearest. An
// element of more than 255 triangles is written as several records of at
// most 255. Returns the size of the compact form and writes it to `out` when
// it fits in `cap` bytes; returns 0 if the picture cannot be written (more
// than 199 colours, a fill colour with low byte 0xFF, a coordinate that does
// not fit 16 bits once divided).
size_t cgm_put(const cgm_picture *pic, uint8_t *out, size_t cap);

// Finds the corners each filled element of `pic` shares (same point) and
// records them in its `corners`, so that cgm_render transforms every
// distinct point of the element once. Elements of more than
// CGM_SHAREDMAX triangles, or when memory runs out, keep none (every corner
// is transformed). Call again after changing an element's triangles.
constexpr int32_t CGM_SHAREDMAX = 255;
void cgm_share_corners(cgm_picture *pic);

// Releases a picture and its elements (tools and tests; the demo keeps its
// pictures for the whole run).
void cgm_free(cgm_picture *pic);

// Draws `pic` into the 320x200 frame `fb` (pitch 320) through `xform`: per
// element the filled triangles in fillcolr, then the outline in linecolr.
// Clipped to the frame. Screen positions are expected within +-65535.
void cgm_render(const cgm_picture *pic, uint8_t *fb, cgm_xform xform);

// Span scratch of the triangle filler for corners beyond the worms' range
// (the small triangles' spans never leave registers): [0] leftmost, [1]
// rightmost x of the current triangle per row, 16.16 pixels. Valid during
// one triangle.
extern int32_t cgm_spans[2][200];
