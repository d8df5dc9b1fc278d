// The z-buffered triangle rasteriser: transform, project, then fill each
// front-facing triangle row by row. Integer fixed point throughout.
#include <algorithm>
#include <cstdint>

#include "assets/frame.h"
#include "vector/bare.h"
#include "vector/bare_fixed.h"

using namespace bare_fixed;

int32_t bare_verts[1000][3];
int32_t bare_spans[4][200];
int32_t bare_zbuf[320 * 200];

namespace {

constexpr int kMaxVerts = 1000;
constexpr int32_t kFocal = 600;            // pixels
constexpr int32_t kRightEdge = FRAME_W << 16;  // first x (16.16) past the screen
constexpr int32_t kLastColumn = (FRAME_W - 1) << 16;
constexpr int32_t kNoLeft = 100000000;  // span reset values, beyond any screen x
constexpr int32_t kNoRight = -100000000;

struct ScreenPoint {
  int32_t x, y, z;  // integer screen position, eye-space depth (16.16)
};

// Pass 1: e_i = q(x M[i][0]) + q(y M[i][1]) + q(z M[i][2]) + 16 M[i][3].
void transform(const int32_t *v, int n) {
  int32_t m[3][4];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) m[i][j] = bare_matrix[i][j];
  for (int k = 0; k < n; k++, v += 3) {
    const int32_t x = v[0], y = v[1], z = v[2];
    for (int i = 0; i < 3; i++) {
      const int32_t e = add(add(mulq(x, m[i][0]), mulq(y, m[i][1])), mulq(z, m[i][2]));
      bare_verts[k][i] = add(e, mul(16, m[i][3]));
    }
  }
}

// Pass 2: (c * focal) / |z| + centre, the division truncating. |z| is taken
// in 64 bits so that INT32_MIN has one; z = 0 divides by 1.
int32_t project(int32_t c, int32_t focal, int32_t z, int32_t centre) {
  int64_t d = z < 0 ? -static_cast<int64_t>(z) : z;
  if (d == 0) d = 1;
  return add(static_cast<int32_t>(mul(c, focal) / d), centre);
}

void project_all(int n) {
  for (int k = 0; k < n; k++) {
    int32_t *v = bare_verts[k];
    const int32_t x = project(v[0], kFocal, v[2], 160);
    v[1] = project(v[1], -kFocal, v[2], 100);
    v[0] = x;
  }
}

// v + k * step with 32-bit wrap-around: the value after k steps of `step`.
int32_t advance(int32_t v, int32_t step, int64_t k) {
  return static_cast<int32_t>(static_cast<uint32_t>(v) +
                              static_cast<uint32_t>(step) * static_cast<uint32_t>(k));
}

// Walks one edge, widening the spans of the rows 0..199 it crosses. On a
// tie the value stored first stays.
void walk_edge(const ScreenPoint &p, const ScreenPoint &q) {
  if (p.y == q.y) return;
  const ScreenPoint &t = p.y < q.y ? p : q;
  const ScreenPoint &b = p.y < q.y ? q : p;
  const int64_t dy = static_cast<int64_t>(b.y) - t.y;
  const int32_t xstep = static_cast<int32_t>(sub(shl16(b.x), shl16(t.x)) / dy);
  const int32_t zstep = static_cast<int32_t>(sub(b.z, t.z) / dy);
  // Rows above the screen are stepped over in one go.
  const int32_t first = std::max(t.y, 0), last = std::min(b.y, FRAME_H - 1);
  if (first > last) return;
  int32_t x = advance(shl16(t.x), xstep, static_cast<int64_t>(first) - t.y);
  int32_t z = advance(t.z, zstep, static_cast<int64_t>(first) - t.y);
  int32_t *left = bare_spans[BARE_SPAN_LEFT], *right = bare_spans[BARE_SPAN_RIGHT];
  int32_t *left_z = bare_spans[BARE_SPAN_LEFT_Z], *right_z = bare_spans[BARE_SPAN_RIGHT_Z];
  for (int y = first; y <= last; y++) {
    if (x < left[y]) left[y] = x, left_z[y] = z;
    if (x > right[y]) right[y] = x, right_z[y] = z;
    x = add(x, xstep);
    z = add(z, zstep);
  }
}

// Fills one row's span between the two edge columns (both included).
void fill_row(int y, uint8_t *framebuffer, const uint8_t *colours) {
  int32_t &l = bare_spans[BARE_SPAN_LEFT][y];
  int32_t &r = bare_spans[BARE_SPAN_RIGHT][y];
  if (r < 0 || l >= kRightEdge) return;
  // Clamping moves the ends but not their depths.
  if (l < 0) l = 0;
  if (r >= kRightEdge) r = kLastColumn;
  const int xs = l >> 16, xe = r >> 16;
  if (xe < xs) return;  // a row no edge reached
  const int32_t zl = bare_spans[BARE_SPAN_LEFT_Z][y];
  // Divides by the pixel count, not the step count.
  const int32_t dz = sub(bare_spans[BARE_SPAN_RIGHT_Z][y], zl) / (xe - xs + 1);
  int32_t *zrow = bare_zbuf + FRAME_W * y;
  uint8_t *frow = framebuffer + FRAME_W * y;
  uint32_t z = static_cast<uint32_t>(zl);
  for (int x = xs; x <= xe; x++, z += static_cast<uint32_t>(dz)) {
    const int32_t zs = static_cast<int32_t>(z);
    if (zrow[x] < zs) {
      // Bits 10..17 of -z: the same for an arithmetic or a logical shift.
      frow[x] = colours[((0u - z) >> 10) & 255];
      zrow[x] = zs;
    }
  }
}

void draw_triangle(const ScreenPoint &a, const ScreenPoint &b, const ScreenPoint &c,
                   uint8_t *framebuffer, const uint8_t *colours) {
  // Positive for counter-clockwise on screen (y down); zero area is not drawn.
  const int32_t facing =
      add(mul(sub(b.x, a.x), sub(a.y, c.y)), mul(sub(c.x, a.x), sub(b.y, a.y)));
  if (facing <= 0) return;
  const int32_t ymin = std::min({1000000, a.y, b.y, c.y});
  const int32_t ymax = std::max({-1000000, a.y, b.y, c.y});
  if (ymax < 0 || ymin >= FRAME_H) return;
  const int ystart = std::max(ymin, 0), yend = std::min(ymax, FRAME_H - 1);
  for (int y = ystart; y <= yend; y++) {
    bare_spans[BARE_SPAN_LEFT][y] = kNoLeft;
    bare_spans[BARE_SPAN_RIGHT][y] = kNoRight;
  }
  walk_edge(a, b);
  walk_edge(b, c);
  walk_edge(c, a);
  for (int y = ystart; y <= yend; y++) fill_row(y, framebuffer, colours);
}

ScreenPoint screen_point(int k) { return {bare_verts[k][0], bare_verts[k][1], bare_verts[k][2]}; }

}  // namespace

void bare_clearzbuf() { std::fill_n(bare_zbuf, FRAME_W * FRAME_H, BARE_ZCLEAR); }

void bare_render(const int32_t *model, uint8_t *framebuffer, const uint8_t *colours) {
  const int32_t n = model[0];
  if (n < 0 || n > kMaxVerts) return;
  transform(model + 1, n);
  project_all(n);
  const int32_t f = model[3 * n + 1];
  const int32_t *tri = model + 3 * n + 2;
  for (int32_t i = 0; i < f; i++, tri += 3) {
    const int32_t a = tri[0], b = tri[1], c = tri[2];
    if (a < 0 || a >= n || b < 0 || b >= n || c < 0 || c >= n) continue;
    draw_triangle(screen_point(a), screen_point(b), screen_point(c), framebuffer, colours);
  }
}
