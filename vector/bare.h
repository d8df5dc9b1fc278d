// Fixed-point 3D renderer: one global transformation matrix built by a few
// set-up calls, and a z-buffered triangle rasteriser that colours each
// pixel by its depth.
//
// Formats: rotation entries of the matrix in 4.12 (4096 = 1.0); translation column in
// 1/4096 model units; model and eye-space coordinates 16.16 (65536 = one
// unit). Vectors are columns: v_eye = M * v. The camera sits at the origin
// looking along -z; screen y grows downwards. Main thread only: all state
// is global and nothing here is re-entrant.
#pragma once

#include <cstdint>

// The current matrix, row-major; [i][3] (i < 3) is the translation. Holds
// the identity at program start. Row 3 stays (0, 0, 0, 4096).
extern int32_t bare_matrix[4][4];

// Transformed vertices of the model being drawn: eye-space x, y, z (16.16)
// after the transform pass; x and y then become integer screen coordinates
// while z stays the eye-space depth. Scratch for one bare_render call.
extern int32_t bare_verts[1000][3];

// Depth of each frame pixel (row * 320 + column), eye-space z in 16.16;
// larger (less negative) is nearer. Cleared to BARE_ZCLEAR. Read-only
// outside this module: the clear rewrites only what bare_render wrote.
constexpr int32_t BARE_ZCLEAR = -100000000;
extern int32_t bare_zbuf[320 * 200];

// Sets the matrix to the identity.
extern void bare_loadidentity();
// Adds (x, y, z) model units to the translation column, in single
// precision: [i][3] = trunc(t * 4096.0f + (float)[i][3]). Translations act
// in eye space after every rotation, whatever the call order. The column
// must stay within +-524287 (below 128 units); values beyond int32 are
// saturated rather than left undefined.
extern void bare_translate(float x, float y, float z);
// Replace the matrix by M * R for a rotation R about x, y or z by `angle`
// radians, with cos and sin scaled by 4096 and truncated. Each product term
// is divided by 4096 rounding toward zero on its own. The rotation called
// last is the first applied to a vertex.
extern void bare_rotatex(float angle);
extern void bare_rotatey(float angle);
extern void bare_rotatez(float angle);

// Sets every z-buffer entry to BARE_ZCLEAR. Once per frame, before the
// first model.
extern void bare_clearzbuf();

// Draws `model` with the current matrix into `framebuffer` (320x200 palette
// indices, pitch 320), writing only pixels nearer than the z-buffer, each
// with colours[((-z) >> 10) & 255] (a band per 1/64 unit of depth, repeating
// every 4 units). Only triangles whose vertices run counter-clockwise on
// screen are drawn; projection is x * 600 / |z| + 160, y * -600 / |z| + 100.
// Model: native int32 words N (0..1000), N x (x, y, z) in 16.16 with
// |coordinate| < 8 units, F, F x (a, b, c) vertex indices. A model with N
// outside 0..1000 draws nothing; a triangle with an index outside 0..N-1 is
// skipped. A vertex at eye-space z = 0 projects as if at z = 1/65536.
extern void bare_render(const int32_t *model, uint8_t *framebuffer, const uint8_t *colours);

// A colour c under mask byte m: (w c) >> 8 with w = m, or 256 for m = 255
// (255 keeps the colour, 0 gives 0). 255 becomes 256 without a test: only
// m + 1 = 256 carries into bit 8.
inline uint8_t bare_masked(uint8_t c, uint8_t m) { return uint8_t(((m + ((m + 1) >> 8)) * c) >> 8); }

// bare_render with each pixel it writes masked: bare_masked(colour,
// mask[y][x]) for the pixel at column x of row y. mask holds 200 rows of
// at least 320 bytes each, or is null (bare_render). Only the pixels
// written read their mask byte.
extern void bare_render_masked(const int32_t *model, uint8_t *framebuffer, const uint8_t *colours,
                               const uint8_t *const *mask);
