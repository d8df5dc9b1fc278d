// Picture rasteriser: filled triangles by scan-line spans, outlines as thin
// or thick segments walked one quarter pixel per step.
//
// All positions are quarter pixels; a primitive rounds them to pixels itself.
// Intermediate 16.16 and 18.14 values are carried in 64 bits so that a
// position outside the expected +-65535 only draws oddly, never overflows.
#include "vector/cgm.h"

#include <cstring>
#include <utility>

#include "assets/frame.h"

int32_t cgm_spans[2][200];

namespace {

constexpr int32_t SPAN_FAR = 10000 << 16;  // beyond any column, 16.16

int qpix(int v) { return int((int64_t(v) + 2) >> 2); }  // quarter pixels to pixels, halves up

void put(uint8_t *fb, int64_t c, int64_t r, uint8_t colour) {
  if (c >= 0 && c < FRAME_W && r >= 0 && r < FRAME_H) fb[r * FRAME_W + c] = colour;
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
  int64_t step = int64_t(int32_t(((xb << 14) - (xt << 14)) / (rb - ra)));
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

void triangle(uint8_t *fb, const int *X, const int *Y, uint8_t colour) {
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
    // Round to nearest with exact halves going down: 2.5 px starts at column 2.
    int64_t xl = (int64_t(cgm_spans[0][r]) + 0x7FFF) >> 16;
    int64_t xr = (int64_t(cgm_spans[1][r]) + 0x7FFF) >> 16;
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
  int64_t step = int64_t(int32_t(((Y1 << 14) - (Y0 << 14)) / (X1 - X0)));
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
      for (int i = 0; i < e->ntriangles; i++, t += 6) {
        int X[3], Y[3];
        for (int k = 0; k < 3; k++) xform(t[2 * k], t[2 * k + 1], &X[k], &Y[k]);
        triangle(fb, X, Y, colour);
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
