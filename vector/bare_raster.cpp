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

// One edge over the rows it crosses on the screen, first..last (none when
// last < first): x (16.16) and z at the row it has reached, and their steps
// per row.
struct Edge {
  int32_t x, z, xstep, zstep;
  int32_t first, last;
};

// The edge between p and q, from its upper end, at its first row on the
// screen. A horizontal edge crosses no row.
[[gnu::always_inline]] inline Edge make_edge(const ScreenPoint &p, const ScreenPoint &q) {
  Edge e{0, 0, 0, 0, 0, -1};
  if (p.y == q.y) return e;
  const ScreenPoint &t = p.y < q.y ? p : q;
  const ScreenPoint &b = p.y < q.y ? q : p;
  // dy >= 1 may exceed INT32_MAX only for ends far off the screen.
  const int64_t dy = static_cast<int64_t>(b.y) - t.y;
  e.xstep = static_cast<int32_t>(fdiv64(sub(shl16(b.x), shl16(t.x)), dy));
  e.zstep = static_cast<int32_t>(fdiv64(sub(b.z, t.z), dy));
  // Rows above the screen are stepped over in one go.
  const int32_t first = std::max(t.y, 0), last = std::min(b.y, FRAME_H - 1);
  if (first > last) return e;
  e.first = first;
  e.last = last;
  e.x = advance(shl16(t.x), e.xstep, static_cast<int64_t>(first) - t.y);
  e.z = advance(t.z, e.zstep, static_cast<int64_t>(first) - t.y);
  return e;
}

bool crosses(const Edge &e, int y) { return e.first <= y && y <= e.last; }

void step(Edge &e) {
  e.x = add(e.x, e.xstep);
  e.z = add(e.z, e.zstep);
}

#if defined(__arm__) && defined(__ARM_FEATURE_DSP)
// fill_row's masked pixels on the target, i from -n up to 0, in registers
// the compiler would otherwise spill inside the loop: the depth test, then
// for a pixel written the colour index from -z (bits 10..17, as the top
// byte of -z << 14), the mask byte made its multiplier (m + ((m + 1) >>
// 8)) and one SMULBB. Loads are followed by independent instructions, so
// no load's result is used by the next one.
[[gnu::always_inline]] inline void masked_pixels_arm(int32_t *zend, uint8_t *fend, const uint8_t *mend, int i,
                                                     uint32_t z, uint32_t dz, const uint8_t *colours) {
  uint32_t t0, t1, t2;
  asm volatile(
      "1:     ldr     %[t0], [%[zend], %[i], lsl #2]\n"
      "       rsb     %[t2], %[z], #0\n"
      "       cmp     %[t0], %[z]\n"
      "       bge     2f\n"
      "       ldrb    %[t1], [%[mend], %[i]]\n"
      "       mov     %[t2], %[t2], lsl #14\n"
      "       ldrb    %[t0], [%[col], %[t2], lsr #24]\n"
      "       add     %[t2], %[t1], #1\n"
      "       add     %[t1], %[t1], %[t2], lsr #8\n"
      "       smulbb  %[t0], %[t0], %[t1]\n"
      "       str     %[z], [%[zend], %[i], lsl #2]\n"
      "       mov     %[t0], %[t0], lsr #8\n"
      "       strb    %[t0], [%[fend], %[i]]\n"
      "2:     add     %[z], %[z], %[dz]\n"
      "       adds    %[i], %[i], #1\n"
      "       bne     1b\n"
      : [i] "+r"(i), [z] "+r"(z), [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2)
      : [dz] "r"(dz), [zend] "r"(zend), [fend] "r"(fend), [mend] "r"(mend), [col] "r"(colours)
      : "cc", "memory");
}
#endif

// Fills row y between the columns of l and r (16.16, both included), with
// depths lz and rz at the ends: the depth-tested pixels from column xs to
// xe, depth lz at the first, then lz + dz, and so on (wrapping as 32-bit
// words). The colour index is bits 10..17 of -z (the same for an
// arithmetic or a logical shift). The pixel index counts up from -n to 0
// and is also the loop's test (the callers turn induction-variable
// rewriting off: it would make it two pointers and a compare). With a mask
// row every pixel written is masked by the byte under it, read only where
// the depth test passes.
template <bool kMasked>
[[gnu::always_inline]] inline void fill_row(int y, int32_t l, int32_t lz, int32_t r, int32_t rz,
                                            uint8_t *framebuffer, const uint8_t *const *mask,
                                            const uint8_t *colours) {
  if (r < 0 || l >= kRightEdge) return;
  // Clamping moves the ends but not their depths.
  if (l < 0) l = 0;
  if (r >= kRightEdge) r = kLastColumn;
  const int xs = l >> 16, xe = r >> 16;
  if (xe < xs) return;  // a row no edge reached
  if (xs / 8 < zbuf_lo[y]) zbuf_lo[y] = int16_t(xs / 8);
  if (xe / 8 > zbuf_hi[y]) zbuf_hi[y] = int16_t(xe / 8);
  const int n = xe - xs + 1;
  // Divides by the pixel count (2..320, in the table), not the step count;
  // a single pixel takes no step.
  static_assert(FRAME_W < FDIV_TABLE);
  const uint32_t dz = n > 1 ? static_cast<uint32_t>(fdiv_small(sub(rz, lz), n)) : 0;
  uint32_t z = static_cast<uint32_t>(lz);
  int32_t *const zend = bare_zbuf + FRAME_W * y + xe + 1;
  uint8_t *const fend = framebuffer + FRAME_W * y + xe + 1;
  const uint8_t *const mend = kMasked ? mask[y] + xe + 1 : nullptr;
#if defined(__arm__) && defined(__ARM_FEATURE_DSP)
  if constexpr (kMasked) {
    masked_pixels_arm(zend, fend, mend, -n, z, dz, colours);
    return;
  }
#endif
  for (int i = -n; i != 0; i++, z += dz) {
    const int32_t zs = static_cast<int32_t>(z);
    if (zend[i] < zs) {
      const uint8_t colour = colours[((0u - z) >> 10) & 255];
      if constexpr (kMasked)
        fend[i] = bare_masked(colour, mend[i]);
      else
        fend[i] = colour;
      zend[i] = zs;
    }
  }
}

// A row's span from the edges that cross it, taken in the order a-b, b-c,
// c-a: the leftmost x and the rightmost, each with its depth, the edge
// taken first keeping a tie. A row no edge reaches gets no span.
template <bool kMasked>
[[gnu::optimize("no-ivopts")]] void general_row(int y, Edge (&e)[3], uint8_t *framebuffer,
                                                const uint8_t *const *mask, const uint8_t *colours) {
  int32_t l = kNoLeft, r = kNoRight, lz = 0, rz = 0;
  for (Edge &k : e) {
    if (!crosses(k, y)) continue;
    if (k.x < l) l = k.x, lz = k.z;
    if (k.x > r) r = k.x, rz = k.z;
    step(k);
  }
  fill_row<kMasked>(y, l, lz, r, rz, framebuffer, mask, colours);
}

// Rows y..end crossed by the edges p and q alone, p the one taken first.
// As neither span end can lie beyond the reset values (kNoLeft, kNoRight)
// without failing the fill's tests, the two ends are plainly the lesser
// and the greater, p keeping a tie.
template <bool kMasked>
[[gnu::optimize("no-ivopts")]] void two_edge_rows(int y, int end, Edge &p, Edge &q, uint8_t *framebuffer,
                                                  const uint8_t *const *mask, const uint8_t *colours) {
  int32_t px = p.x, pz = p.z, qx = q.x, qz = q.z;
  const int32_t pxs = p.xstep, pzs = p.zstep, qxs = q.xstep, qzs = q.zstep;
  for (; y <= end; y++) {
    const bool pl = px <= qx, pr = px >= qx;
    fill_row<kMasked>(y, pl ? px : qx, pl ? pz : qz, pr ? px : qx, pr ? pz : qz, framebuffer, mask, colours);
    px = add(px, pxs), pz = add(pz, pzs);
    qx = add(qx, qxs), qz = add(qz, qzs);
  }
  p.x = px, p.z = pz, q.x = qx, q.z = qz;
}

// Row by row. Every row of a triangle is crossed by its longest edge (in
// rows) and one of the other two, and only the middle vertex's row by all
// three: the runs of rows between take the two edges alone.
template <bool kMasked>
void draw_triangle(const ScreenPoint &a, const ScreenPoint &b, const ScreenPoint &c, uint8_t *framebuffer,
                   const uint8_t *const *mask, const uint8_t *colours) {
  // Positive for counter-clockwise on screen (y down); zero area is not drawn.
  const int32_t facing =
      add(mul(sub(b.x, a.x), sub(a.y, c.y)), mul(sub(c.x, a.x), sub(b.y, a.y)));
  if (facing <= 0) return;
  const int32_t ymin = std::min({1000000, a.y, b.y, c.y});
  const int32_t ymax = std::max({-1000000, a.y, b.y, c.y});
  if (ymax < 0 || ymin >= FRAME_H) return;
  const int ystart = std::max(ymin, 0), yend = std::min(ymax, FRAME_H - 1);
  Edge e[3] = {make_edge(a, b), make_edge(b, c), make_edge(c, a)};
  for (int y = ystart; y <= yend;) {
    const bool on0 = crosses(e[0], y), on1 = crosses(e[1], y), on2 = crosses(e[2], y);
    if (on0 + on1 + on2 != 2) {
      general_row<kMasked>(y++, e, framebuffer, mask, colours);
      continue;
    }
    Edge &p = on0 ? e[0] : e[1];                       // the earlier of the two
    Edge &q = on2 ? e[2] : e[1];                       // the later
    const Edge &o = on0 ? (on1 ? e[2] : e[1]) : e[0];  // the third, off this row
    int end = std::min(p.last, q.last);
    if (o.first > y && o.first <= end) end = o.first - 1;
    two_edge_rows<kMasked>(y, end, p, q, framebuffer, mask, colours);
    y = end + 1;
  }
}

ScreenPoint screen_point(int k) { return {bare_verts[k][0], bare_verts[k][1], bare_verts[k][2]}; }

template <bool kMasked>
void render(const int32_t *model, uint8_t *framebuffer, const uint8_t *colours, const uint8_t *const *mask) {
  const int32_t n = model[0];
  if (n < 0 || n > kMaxVerts) return;
  transform(model + 1, n);
  project_all(n);
  const int32_t f = model[3 * n + 1];
  const int32_t *tri = model + 3 * n + 2;
  for (int32_t i = 0; i < f; i++, tri += 3) {
    const int32_t a = tri[0], b = tri[1], c = tri[2];
    if (a < 0 || a >= n || b < 0 || b >= n || c < 0 || c >= n) continue;
    draw_triangle<kMasked>(screen_point(a), screen_point(b), screen_point(c), framebuffer, mask, colours);
  }
}

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
  render<false>(model, framebuffer, colours, nullptr);
}

void bare_render_masked(const int32_t *model, uint8_t *framebuffer, const uint8_t *colours,
                        const uint8_t *const *mask) {
  if (mask == nullptr)
    render<false>(model, framebuffer, colours, nullptr);
  else
    render<true>(model, framebuffer, colours, mask);
}
