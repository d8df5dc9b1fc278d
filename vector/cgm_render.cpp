// Picture rasteriser: filled triangles by scan-line spans, outlines as thin
// or thick segments walked one quarter pixel per step.
//
// All positions are quarter pixels; a primitive rounds them to pixels itself.
// Intermediate 16.16 and 18.14 values are carried in 64 bits so that a
// position outside the expected +-65535 only draws oddly, never overflows;
// positions within it (all the worms draw) take 32-bit paths with the same
// results, and their divisions take the reciprocal table of fdiv.h.
#include "vector/cgm.h"
#include "vector/fdiv.h"

#include <cstring>
#include <utility>

#include "assets/frame.h"
#include "maths/words.h"

int32_t cgm_spans[2][200];

namespace {

constexpr int32_t SPAN_FAR = 10000 << 16;  // beyond any column, 16.16

// Screen positions of the corners of the element being filled, when its
// corners are shared (indices as in cgm_element::corners).
int corner_x[3 * CGM_SHAREDMAX], corner_y[3 * CGM_SHAREDMAX];

// Quarter pixels to pixels, halves up: (v + 2) >> 2 without the sum's
// overflow, v = 4q + r giving q + (r >= 2).
int qpix(int v) { return (v >> 2) + ((v & 3) >> 1); }

void put(uint8_t *fb, int64_t c, int64_t r, uint8_t colour) {
  if (c >= 0 && c < FRAME_W && r >= 0 && r < FRAME_H) fb[r * FRAME_W + c] = colour;
}

// edge for top row ra < bottom row rb and ends xt, xb within -65536..65535
// quarter pixels: the 16.16 values xt << 14 and xb << 14, their difference,
// and every x between them fit in 32 bits. Only the x after the last row
// may leave that range, so the steps add as unsigned words.
void edge32(int32_t xt, int ra, int32_t xb, int rb, int rbot) {
  const int32_t x0 = xt * 16384, x1 = xb * 16384;
  const int32_t step = fdiv(x1 - x0, rb - ra);
  const int last = rb < rbot ? rb : rbot;
  int r = ra < 0 ? 0 : ra;
  if (r > last) return;
  uint32_t x = uint32_t(x0) + uint32_t(step) * uint32_t(r - ra);
  for (; r <= last; r++, x += uint32_t(step)) {
    const int32_t v = int32_t(x);
    if (v < cgm_spans[0][r]) cgm_spans[0][r] = v;
    if (v > cgm_spans[1][r]) cgm_spans[1][r] = v;
  }
}

// Walks one edge from row ra to min(rb, rbot), widening the spans. x starts
// at the top end in 16.16 pixels and moves by `step` per row; rows above the
// frame are skipped arithmetically (x after k rows is exactly x + k * step).
void edge(int64_t xt, int ra, int64_t xb, int rb, int rbot) {
  if (rb < ra) {
    std::swap(xt, xb);
    std::swap(ra, rb);
  }
  if (ra == rb) return;
  if (xt >= -65536 && xt <= 65535 && xb >= -65536 && xb <= 65535) {
    edge32(int32_t(xt), ra, int32_t(xb), rb, rbot);
    return;
  }
  int64_t step = int64_t(int32_t(fdiv64((xb << 14) - (xt << 14), rb - ra)));
  int64_t x = xt << 14;
  int last = rb < rbot ? rb : rbot;
  int r = ra;
  if (r < 0) {
    x += step * int64_t(-r);
    r = 0;
  }
  for (; r <= last && r < FRAME_H; r++, x += step) {
    int32_t v = x < INT32_MIN ? INT32_MIN : x > INT32_MAX ? INT32_MAX : int32_t(x);
    if (v < cgm_spans[0][r]) cgm_spans[0][r] = v;
    if (v > cgm_spans[1][r]) cgm_spans[1][r] = v;
  }
}

// (v + 0x7FFF) >> 16 without the sum's overflow: round a 16.16 position to
// the nearest pixel, exact halves going down (2.5 px is column 2).
int32_t span_pixel(int32_t v) { return (v >> 16) + ((v & 0xFFFF) > 0x8000); }

// One row of a triangle: fills the pixels between the span ends, rounded
// and clipped to the frame (the ends need no table: nothing reads them).
inline void span_row(uint8_t *fb, int r, int32_t left, int32_t right, uint8_t colour) {
  // Both ends lie within +-SPAN_FAR, so the rounding sum cannot overflow.
  int32_t xl = (left + 0x7FFF) >> 16, xr = (right + 0x7FFF) >> 16;
  if (xr < 0 || xl >= FRAME_W) return;
  if (xl < 0) xl = 0;
  if (xr > FRAME_W - 1) xr = FRAME_W - 1;
  fill_bytes(fb + r * FRAME_W + xl, xr - xl + 1, colour);
}

// Rows `row`, `row` + FRAME_W, ... (n of them) of a triangle that needs
// no clipping, between edges whose x (16.16, as unsigned words, rounding
// bias 0x7FFF already added) is p and q on the first row and moves by dp
// and dq a row. With `ordered` p is known to be the left edge on every row;
// otherwise each row takes the lesser and greater.
template <bool ordered>
[[gnu::always_inline]] inline void rows_inside(uint8_t *row, int n, uint32_t p, int32_t dp, uint32_t q, int32_t dq,
                                               uint8_t colour) {
  for (; n > 0; n--, row += FRAME_W, p += uint32_t(dp), q += uint32_t(dq)) {
    int32_t xl = int32_t(p) >> 16, xr = int32_t(q) >> 16;
    if (!ordered && xr < xl) std::swap(xl, xr);
    const int w = xr - xl;
    uint8_t *s = row + xl;
    if (w < 4) {  // most rows of a link: conditional stores, no jump
      s[0] = colour;
      if (w > 0) s[1] = colour;
      if (w > 1) s[2] = colour;
      if (w > 2) s[3] = colour;
    } else {
      fill_bytes(s, w + 1, colour);
    }
  }
}

// x (16.16 as an unsigned word) of the edge from (xt, rt) with `step` at
// row r: every edge value is its top end plus whole steps.
inline uint32_t edge_x(int32_t xt, int rt, int32_t step, int r) {
  return uint32_t(xt) + uint32_t(step) * uint32_t(r - rt);
}

// triangle for corners within -40000..40000 quarter pixels across and
// -65536..65535 down: every 16.16 x on an edge lies between its ends, so
// within -SPAN_FAR..SPAN_FAR, the tables' reset values, which thus never
// decide a span and need no place in the comparisons. The corners sorted by row
// (a on top, c at the bottom) give the long edge a-c, which crosses every
// row, and the short edges a-b and b-c, which meet at row rb; each row's
// span is the least and greatest x of the edges crossing it, exactly what
// the span tables collect, computed without resetting and updating them.
void triangle32(uint8_t *fb, const int *X, const int *Y, uint8_t colour) {
  int a = 0, b = 1, c = 2;
  const int row[3] = {qpix(Y[0]), qpix(Y[1]), qpix(Y[2])};
  if (row[b] < row[a]) std::swap(a, b);
  if (row[c] < row[b]) std::swap(b, c);
  if (row[b] < row[a]) std::swap(a, b);
  const int ra = row[a], rb = row[b], rc = row[c];
  const int top = ra < 0 ? 0 : ra, bot = rc > FRAME_H - 1 ? FRAME_H - 1 : rc;
  if (bot < top) return;
  if (ra == rc) return;  // no edge crosses a row: nothing to fill
  const int32_t xa = X[a] * 16384, xb = X[b] * 16384, xc = X[c] * 16384;
  const int32_t sl = fdiv(xc - xa, rc - ra);
  const int32_t s1 = ra < rb ? fdiv(xb - xa, rb - ra) : 0, s2 = rb < rc ? fdiv(xc - xb, rc - rb) : 0;
  const int32_t xmin = xa < xb ? (xa < xc ? xa : xc) : (xb < xc ? xb : xc);
  const int32_t xmax = xa > xb ? (xa > xc ? xa : xc) : (xb > xc ? xb : xc);
  int r = top;
  if ((xmin + 0x7FFF) >> 16 >= 0 && (xmax + 0x7FFF) >> 16 <= FRAME_W - 1) {
    // Every x on an edge lies between its ends, so no row needs clipping:
    // the rounding bias is added once, rows are walked by pointer, and
    // above the middle corner the edges, both from a, keep their order
    // (their distance is (s1 - sl) (r - ra)).
    constexpr uint32_t BIAS = 0x7FFF;
    uint8_t *line = fb + top * FRAME_W;
    const int above = (rb < bot + 1 ? rb : bot + 1) - top;
    if (above > 0) {
      const uint32_t l = edge_x(xa, ra, sl, top) + BIAS, e = edge_x(xa, ra, s1, top) + BIAS;
      if (s1 < sl)
        rows_inside<true>(line, above, e, s1, l, sl, colour);
      else
        rows_inside<true>(line, above, l, sl, e, s1, colour);
      r += above, line += above * FRAME_W;
    }
    if (r == rb && r <= bot) {  // the middle corner's row: a-c, a-b if it has rows, b-c if it has
      int32_t lo = int32_t(edge_x(xa, ra, sl, r)), hi = lo;
      if (ra < rb) {
        const int32_t e = int32_t(edge_x(xa, ra, s1, r));
        lo = e < lo ? e : lo, hi = e > hi ? e : hi;
      }
      if (rb < rc) lo = xb < lo ? xb : lo, hi = xb > hi ? xb : hi;
      rows_inside<true>(line, 1, uint32_t(lo) + BIAS, 0, uint32_t(hi) + BIAS, 0, colour);
      r++, line += FRAME_W;
    }
    if (r <= bot)  // rows below it: a-c and b-c
      rows_inside<false>(line, bot - r + 1, edge_x(xa, ra, sl, r) + BIAS, sl, edge_x(xb, rb, s2, r) + BIAS, s2,
                         colour);
    return;
  }
  for (; r < rb && r <= bot; r++) {  // rows above the middle corner: a-c and a-b
    const int32_t l = int32_t(edge_x(xa, ra, sl, r)), e = int32_t(edge_x(xa, ra, s1, r));
    span_row(fb, r, l < e ? l : e, l > e ? l : e, colour);
  }
  if (r == rb && r <= bot) {  // the middle corner's row, as above
    int32_t lo = int32_t(edge_x(xa, ra, sl, r)), hi = lo;
    if (ra < rb) {
      const int32_t e = int32_t(edge_x(xa, ra, s1, r));
      lo = e < lo ? e : lo, hi = e > hi ? e : hi;
    }
    if (rb < rc) lo = xb < lo ? xb : lo, hi = xb > hi ? xb : hi;
    span_row(fb, r, lo, hi, colour);
    r++;
  }
  for (; r <= bot; r++) {  // rows below it: a-c and b-c
    const int32_t l = int32_t(edge_x(xa, ra, sl, r)), e = int32_t(edge_x(xb, rb, s2, r));
    span_row(fb, r, l < e ? l : e, l > e ? l : e, colour);
  }
}

void triangle(uint8_t *fb, const int *X, const int *Y, uint8_t colour) {
  bool small = true;
  for (int i = 0; i < 3; i++) small &= uint32_t(X[i]) + 40000u <= 80000u && uint32_t(Y[i]) + 65536u <= 131071u;
  if (small) {
    triangle32(fb, X, Y, colour);
    return;
  }
  int ylo = 100000, yhi = -100000;
  for (int i = 0; i < 3; i++) {
    if (Y[i] < ylo) ylo = Y[i];
    if (Y[i] > yhi) yhi = Y[i];
  }
  int rtop = qpix(ylo), rbot = qpix(yhi);
  if (rtop < 0) rtop = 0;
  if (rbot > FRAME_H - 1) rbot = FRAME_H - 1;
  if (rbot < rtop) return;
  for (int r = rtop; r <= rbot; r++) {
    cgm_spans[0][r] = SPAN_FAR;
    cgm_spans[1][r] = -SPAN_FAR;
  }
  for (int i = 0; i < 3; i++) {
    int j = i == 2 ? 0 : i + 1;
    edge(X[i], qpix(Y[i]), X[j], qpix(Y[j]), rbot);
  }
  for (int r = rtop; r <= rbot; r++) {
    int32_t xl = span_pixel(cgm_spans[0][r]), xr = span_pixel(cgm_spans[1][r]);
    if (xr < 0 || xl >= FRAME_W) continue;
    if (xl < 0) xl = 0;
    if (xr > FRAME_W - 1) xr = FRAME_W - 1;
    if (xr >= xl) std::memset(fb + r * FRAME_W + xl, colour, size_t(xr - xl + 1));
  }
}

// A run of w pixels across the main direction at cross position `q`
// (quarter pixels in 18.14, before the + 8192 bias is dropped): pixels
// ((q >> 14) + 2 - 2w + 4j) >> 2 for j = 0..w-1, which are w consecutive
// pixels starting at the j = 0 one. Clipped to 0..limit-1.
void run(uint8_t *fb, int64_t q, int64_t w, int64_t along, bool xmajor, uint8_t colour) {
  int64_t first = ((q >> 14) + 2 - 2 * w) >> 2;
  int64_t lo = first < 0 ? 0 : first, hi = first + w - 1;
  int64_t limit = xmajor ? FRAME_H : FRAME_W;
  if (hi > limit - 1) hi = limit - 1;
  for (int64_t p = lo; p <= hi; p++) {
    if (xmajor)
      fb[p * FRAME_W + along] = colour;
    else
      fb[along * FRAME_W + p] = colour;
  }
}

void segment(uint8_t *fb, int64_t X0, int64_t Y0, int64_t X1, int64_t Y1, int w, uint8_t colour) {
  if (X0 == X1 && Y0 == Y1) {
    put(fb, (X0 + 2) >> 2, (Y0 + 2) >> 2, colour);
    return;
  }
  int64_t dx = X1 - X0, dy = Y1 - Y0;
  bool xmajor = (dy < 0 ? -dy : dy) < (dx < 0 ? -dx : dx);
  if (!xmajor) {  // walk y; the roles of x and y are exchanged below
    std::swap(X0, Y0);
    std::swap(X1, Y1);
  }
  if (X1 < X0) {
    std::swap(X0, X1);
    std::swap(Y0, Y1);
  }
  int64_t step = int64_t(int32_t(fdiv64((Y1 << 14) - (Y0 << 14), X1 - X0)));
  int64_t y = (Y0 << 14) + 8192;
  for (int64_t X = X0; X <= X1; X++, y += step) {
    if (w == 1) {
      int64_t a = (X + 2) >> 2, c = ((y >> 14) + 2) >> 2;
      if (xmajor)
        put(fb, a, c, colour);
      else
        put(fb, c, a, colour);
    } else if (w > 0) {
      int64_t a = (X + 2) >> 2;
      if (a >= 0 && a < (xmajor ? FRAME_W : FRAME_H)) run(fb, y, w, a, xmajor, colour);
    }
  }
}

}  // namespace

void cgm_render(const cgm_picture *pic, uint8_t *fb, cgm_xform xform) {
  for (const cgm_element *e = pic->elements; e; e = e->next) {
    if ((e->flags & CGM_FILL) && e->ntriangles > 0) {
      const uint8_t colour = uint8_t(e->fillcolr);
      const int32_t *t = e->triangles;
      const uint16_t *c = e->ntriangles <= CGM_SHAREDMAX ? e->corners : nullptr;
      bool small = false;  // every corner within triangle32's range: all taken above
      if (c) {  // each distinct point transformed once: the same positions
        small = true;
        for (int k = 0; k < 3 * e->ntriangles; k++) {
          if (c[k] == k) {
            xform(t[2 * k], t[2 * k + 1], &corner_x[k], &corner_y[k]);
            small &= uint32_t(corner_x[k]) + 40000u <= 80000u && uint32_t(corner_y[k]) + 65536u <= 131071u;
          } else {
            corner_x[k] = corner_x[c[k]], corner_y[k] = corner_y[c[k]];
          }
        }
        if (small)  // as triangle() decides for each
          for (int i = 0; i < e->ntriangles; i++) triangle32(fb, &corner_x[3 * i], &corner_y[3 * i], colour);
      }
      for (int i = 0; i < e->ntriangles && !small; i++, t += 6) {
        int X[3], Y[3];
        const int *px = X, *py = Y;
        if (c)
          px = &corner_x[3 * i], py = &corner_y[3 * i];
        else
          for (int k = 0; k < 3; k++) xform(t[2 * k], t[2 * k + 1], &X[k], &Y[k]);
        triangle(fb, px, py, colour);
      }
    }
    if ((e->flags & CGM_OUTLINE) && e->npoints >= 2) {
      const uint8_t colour = uint8_t(e->linecolr);
      const int32_t *p = e->points;
      for (int i = 0; i + 1 < e->npoints; i++, p += 2) {
        int X0, Y0, X1, Y1;
        xform(p[0], p[1], &X0, &Y0);
        xform(p[2], p[3], &X1, &Y1);
        segment(fb, X0, Y0, X1, Y1, e->linewidth, colour);
      }
    }
  }
}
