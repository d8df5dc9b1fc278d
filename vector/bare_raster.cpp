// The z-buffered triangle rasteriser: transform, project, then fill each
// front-facing triangle row by row. Integer fixed point throughout.
#include <algorithm>
#include <cstdint>

#include "assets/frame.h"
#include "maths/words.h"
#include "vector/bare.h"
#include "vector/bare_fixed.h"
#include "vector/fdiv.h"

using namespace bare_fixed;

int32_t bare_verts[1000][3];
int32_t bare_spans[4][200];
alignas(32) int32_t bare_zbuf[320 * 200];

namespace {

constexpr int kMaxVerts = 1000;
constexpr int32_t kFocal = 600;            // pixels
constexpr int32_t kRightEdge = FRAME_W << 16;  // first x (16.16) past the screen
constexpr int32_t kLastColumn = (FRAME_W - 1) << 16;
constexpr int32_t kNoLeft = 100000000;  // span reset values, beyond any screen x
constexpr int32_t kNoRight = -100000000;

// The z-buffer written since the last clear, per row: eight-entry groups
// zbuf_lo..zbuf_hi (none when lo > hi). Until the first clear every entry
// counts as written.
constexpr int kGroups = FRAME_W / 8;
int16_t zbuf_lo[FRAME_H], zbuf_hi[FRAME_H];
bool zbuf_cleared;

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

// Pass 2: (c * focal) / |z| + centre, the division truncating. z = 0
// divides by 1. |INT32_MIN| = 2^31 does not fit in 32 bits: a quotient by
// it is -1 for INT32_MIN and 0 for anything else.
int32_t project(int32_t c, int32_t focal, int32_t z, int32_t centre) {
  const int32_t p = mul(c, focal);
  int32_t q;
  if (z == INT32_MIN)
    q = p == INT32_MIN ? -1 : 0;
  else
    q = fdiv(p, z < 0 ? -z : z == 0 ? 1 : z);
  return add(q, centre);
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
  // dy >= 1 may exceed INT32_MAX only for ends far off the screen.
  const int64_t dy = static_cast<int64_t>(b.y) - t.y;
  const int32_t xstep = static_cast<int32_t>(fdiv64(sub(shl16(b.x), shl16(t.x)), dy));
  const int32_t zstep = static_cast<int32_t>(fdiv64(sub(b.z, t.z), dy));
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

// The depth-tested pixels of one span: the n pixels before zend and fend,
// depth z at the first, z + dz at the next, and so on (wrapping as 32-bit
// words). The colour index is bits 10..17 of -z (the same for an
// arithmetic or a logical shift); u = -z << 14 holds them as its top byte
// and steps by -dz << 14, which keeps them exact, so the index is u >> 24,
// a shift the target's load does itself. The index counts up from -n to 0
// and is also the loop's test; induction-variable rewriting is off here
// because it would turn it back into two pointers and a compare.
[[gnu::optimize("no-ivopts")]] void fill_span(int32_t *zend, uint8_t *fend, int n, uint32_t z, uint32_t dz,
                                              const uint8_t *colours) {
  uint32_t u = (0u - z) << 14;
  const uint32_t du = dz << 14;
  for (int i = -n; i != 0; i++, z += dz, u -= du) {
    const int32_t zs = static_cast<int32_t>(z);
    if (zend[i] < zs) {
      fend[i] = colours[u >> 24];
      zend[i] = zs;
    }
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
  if (xs / 8 < zbuf_lo[y]) zbuf_lo[y] = int16_t(xs / 8);
  if (xe / 8 > zbuf_hi[y]) zbuf_hi[y] = int16_t(xe / 8);
  const int32_t zl = bare_spans[BARE_SPAN_LEFT_Z][y];
  // Divides by the pixel count, not the step count.
  const int32_t dz = fdiv(sub(bare_spans[BARE_SPAN_RIGHT_Z][y], zl), xe - xs + 1);
  fill_span(bare_zbuf + FRAME_W * y + xe + 1, framebuffer + FRAME_W * y + xe + 1, xe - xs + 1,
            static_cast<uint32_t>(zl), static_cast<uint32_t>(dz), colours);
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

// Only the groups of eight entries written since the last clear (the
// rest hold BARE_ZCLEAR already), each group as one burst of eight words:
// a frame's models cover a part of the screen, and the lines they left are
// mostly not cached any more.
void bare_clearzbuf() {
  static_assert(FRAME_W % 8 == 0);
  const uint32_t c = uint32_t(BARE_ZCLEAR);
  for (int y = 0; y < FRAME_H; y++) {
    const int lo = zbuf_cleared ? zbuf_lo[y] : 0, hi = zbuf_cleared ? zbuf_hi[y] : kGroups - 1;
    uint32_t *row = reinterpret_cast<uint32_t *>(bare_zbuf + FRAME_W * y);
    for (int g = lo; g <= hi; g++) store_words8(row + 8 * g, c, c, c, c, c, c, c, c);
    zbuf_lo[y] = kGroups;
    zbuf_hi[y] = -1;
  }
  zbuf_cleared = true;
}

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
