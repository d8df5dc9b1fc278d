// The clear-text CGM reader (as fig2dev -L cgm writes it), run on the build
// machine only: by the asset generator, which turns the demo's drawings into
// the compact pictures it embeds, and by cgmtool. The demo never links it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "vector/cgm.h"

// Clear-text CGM reader. Draws polygons, polylines (line, disjtline),
// rectangles, circles, ellipses, circular and elliptical arcs (open, pie,
// chord) and hatched fills; skips text, cell arrays and markers (counted in
// cgm_textinfo). Comments (% ... %) and quoted strings are skipped wherever
// they stand; points need no separator between them. Line attributes
// (linewidth, linecolr) draw lines and arcs, edge attributes (edgewidth,
// edgecolr, edgevis) draw the boundaries of filled shapes.
// Filled polygons are split into triangles by ear clipping; polygons that
// cross themselves, that the ear clipping cannot finish, or that have more
// than 500 points are filled by a scan-line sweep with the nonzero winding
// rule. Everything is normalised to picture space.
// Null if the file cannot be opened, does not start with "BEGMF", or breaks
// the reader's limits (see cgm_errorstr). cgm_readtextf reads an open stream
// and leaves it open.
cgm_picture *cgm_readtext(const char *path);
cgm_picture *cgm_readtextf(FILE *f);

// Limits and output scale of the clear-text reader. The defaults,
// {500, 99, 160, 0}, are what the demo's own drawings need and keep the reader
// on its fixed tables (cgm_points, cgm_colrmap); a tool raises them.
struct cgm_textlimits {
  int32_t points;     // most points in one element, 1..CGM_MAXPOINTS
  int32_t colrindex;  // highest file colour index, 0..65535
  int32_t pixels;     // output pixels per 65536 picture units (>= 1): curves
                      // are flattened to within a quarter pixel, hatch lines
                      // drawn 6 pixels apart
  int32_t nearest;    // 1: once the 199 colour entries are full, a new colour
                      // takes the nearest one held (counted in cgm_textinfo)
                      // instead of refusing the drawing
};
constexpr int32_t CGM_MAXPOINTS = 4000000;
extern cgm_textlimits cgm_limits;

// Facts about the last drawing cgm_readtext returned: how drawing units map
// to picture space (x' = (x - cx) * 65536 / half), its declared extent
// (vdcext, when hasvdc), and the elements it skipped.
struct cgm_textinfo {
  int64_t cx, cy, half;
  int32_t vdc[4];  // x0, y0, x1, y1 in drawing units
  int32_t hasvdc;
  int32_t text, images, markers;
  int32_t approximated;  // colours given the nearest held one
  int32_t ended;         // 1 when the picture's end element (ENDPIC or ENDMF) was read
};
extern cgm_textinfo cgm_lastinfo;
// Elements the last clear-text read took in whole (up to their terminator),
// also when it failed: where a damaged file stopped making sense.
extern int32_t cgm_textread;

// Reader state kept between calls of the clear-text reader: file colour
// index (0..99) to picture colour entry, and the point list of the element
// being read. Used while the limits stay at the demo's (500 points, index
// 99); larger limits use tables of the reader's own.
extern int32_t cgm_colrmap[100];
extern int32_t cgm_points[500][2];
