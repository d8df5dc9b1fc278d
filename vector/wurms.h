// Worms: up to 16 worms crawling along one shared closed path, each a chain
// of 25 small vector pictures drawn with cgm_render.
//
// Units: path, offsets and link positions in quarter pixels (y down), the
// link matrix in 4.12 (4096 = 1.0), the picture scale S in pixels per half
// picture extent (a picture coordinate of 65536 lands S pixels out).
#pragma once

#include <cstdint>

#include "vector/cgm.h"

extern cgm_picture *wurms_pic1;        // decoded piece1: the disc
extern cgm_picture *wurms_pic2;        // decoded piece2: the body segment
extern double wurms_arcs[8][28][2];    // step vectors (dx, dy) of eight unit-circle arcs
extern int32_t wurms_path[560][2];     // closed path (x, y), relative to a worm's offset
extern int32_t wurms_xoff[16];         // per-worm offset of the path
extern int32_t wurms_yoff[16];
extern int32_t wurms_scale;            // S of the current link
extern int32_t wurms_cx, wurms_cy;     // current link, relative to the frame centre
extern int32_t wurms_mat[4];           // a, b, c, d of the current link, 4.12

// Random source of the offsets: the demo's sequence (rng_next, maths/rng.h)
// unless a test puts a stand-in here before wurms_init.
extern int (*wurms_rand)();

// Decodes the pictures, draws the disc link's variants (wurms_disc), builds
// the arcs, the path and the offsets. Once, before the first frame; calls
// wurms_rand 32 times.
void wurms_init();
// n disc worms (at most 16; more are not drawn) at time t (milliseconds, >= 0).
void wurms(uint8_t *fb, int t, int n);
// n segment worms (at most 16) turned along the path at time t (ms, >= 0).
void wurms2(uint8_t *fb, int t, int n);
// One disc link: wurms_pic1 at the current link (wurms_cx, wurms_cy,
// wurms_scale, the matrix taken as the identity), the same bytes as
// cgm_render(wurms_pic1, fb, wurms_xform_upright). Scales 4..7 within
// 32767 quarter pixels of the centre are drawn from the runs wurms_init
// made of the picture then in wurms_pic1 (fills only); anything else
// through cgm_render.
void wurms_disc(uint8_t *fb);
// Point transform of the current link: picture (x, y) to quarter pixels.
void wurms_xform(int x, int y, int *X, int *Y);
// wurms_xform with the matrix left out, as the disc worms' identity matrix
// (4096, 0, 0, 4096) gives it exactly for |x|, |y| < 2^19 (4096 x does
// not wrap): every picture point, at most 131072 out.
void wurms_xform_upright(int x, int y, int *X, int *Y);
