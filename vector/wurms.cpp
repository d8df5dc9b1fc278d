// Worms: the path is built once from circular arcs in double precision; per
// frame every link is drawn in integers only: a segment link by one
// cgm_render call through wurms_xform, a disc link from runs cgm_render
// made once at start-up (wurms_disc).
#include "vector/wurms.h"

#include <cmath>
#include <cstring>

#include "assets/assets.h"
#include "assets/frame.h"
#include "maths/cr.h"
#include "maths/rng.h"
#include "maths/words.h"

cgm_picture *wurms_pic1;
cgm_picture *wurms_pic2;
double wurms_arcs[8][28][2];
int32_t wurms_path[560][2];
int32_t wurms_xoff[16];
int32_t wurms_yoff[16];
int32_t wurms_scale;
int32_t wurms_cx, wurms_cy;
int32_t wurms_mat[4];
int (*wurms_rand)() = rng_next;

namespace {

constexpr int PATH_LEN = 560;
constexpr double HALF_PI = 1.5707963267948966;
constexpr double STEP = 0.05609986881410345;  // pi / 56: 27 chords make 27/28 of a quarter turn

// Arc of each 28-step segment of the path: 0..3 turn one way, 4..7 the other.
constexpr int8_t arc_order[20] = {0, 1, 4, 5, 6, 7, 4, 1, 2, 3, 6, 7, 4, 1, 2, 3, 6, 3, 0, 5};

// Products that keep their low 32 bits, as the transform defines them.
int32_t mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }

void build_arcs() {
  for (int i = 0; i < 8; i++) {
    double b = (i & 3) * (i < 4 ? HALF_PI : -HALF_PI);
    double u = cr_cos(b), w = cr_sin(b), s = 0;
    for (int j = 0; j < 28; j++) {
      double angle = i < 4 ? s + b : b - s;
      double t = cr_cos(angle), z = cr_sin(angle);
      wurms_arcs[i][j][0] = t - u;
      wurms_arcs[i][j][1] = z - w;
      u = t;
      w = z;
      s += STEP;
    }
  }
}

void build_path() {
  double x = 0, y = 0;
  for (int i = 0; i < PATH_LEN; i++) {
    wurms_path[i][0] = int32_t(100 * x);  // truncates toward zero
    wurms_path[i][1] = int32_t(100 * y);
    const double *d = wurms_arcs[arc_order[i / 28]][i % 28];
    x += d[0];
    y += d[1];
  }
}

// The disc worms' links, drawn once per scale and quarter-pixel phase. An
// upright link at (cx, cy) is the one at (cx & 3, cy & 3) moved by whole
// pixels (cx >> 2, cy >> 2): the transform adds cx and cy to every point,
// the rasteriser rounds rows and columns by the same rule wherever they lie
// and its steps depend on corner differences only, so every span moves
// with the link (for corners within the small triangles' range, which
// |cx|, |cy| <= DISC_NEAR keeps). Each variant is the runs of equal colour
// that cgm_render leaves in a row, in row order, as words: bits 0..15 the
// signed offset (row - 100) * 320 + (column - 160) from the frame centre of
// the reference render, 16..23 the length (1..255), 24..31 the colour.
constexpr int32_t DISC_NEAR = 32767;  // quarter pixels from the frame centre
constexpr int DISC_VARIANTS = 64;     // scales 4..7 x (cy & 3) x (cx & 3)
constexpr int DISC_RUNS = 4096;       // runs of all variants (the disc, piece1, takes about 2300)
constexpr int DISC_REACH_MAX = 40;    // pixels from the centre a variant may cover
constexpr int DISC_SIDE = 2 * DISC_REACH_MAX + 1;

struct disc_variant {
  int32_t first, count;  // its runs in disc_runs
  int32_t top, bottom;   // rows covered, relative to the centre (top > bottom: none)
  int32_t left, right;   // columns covered, relative to the centre
};

const cgm_picture *disc_source;  // the picture the variants show; null: none were made
disc_variant disc_variants[DISC_VARIANTS];
uint32_t disc_runs[DISC_RUNS];
uint8_t disc_scratch[FRAME_BYTES];         // a reference render (start-up only)
uint8_t disc_first[DISC_SIDE * DISC_SIDE];  // the window of the render on 0x00, rows of DISC_SIDE

int disc_index(int32_t scale, int32_t cx, int32_t cy) { return (scale - 4) * 16 + (cy & 3) * 4 + (cx & 3); }

// Pixels from the frame centre that a fill of `pic` can reach at scale 7
// and any phase, or -1 when it has outlines (not made into runs) or is too
// large for the runs' offsets.
int disc_reach(const cgm_picture *pic) {
  int64_t most = 0;
  for (const cgm_element *e = pic->elements; e; e = e->next) {
    if (e->flags & CGM_OUTLINE) return -1;
    if (!(e->flags & CGM_FILL)) continue;
    for (int32_t i = 0; i < 6 * e->ntriangles; i++) {
      const int64_t v = e->triangles[i] < 0 ? -int64_t(e->triangles[i]) : e->triangles[i];
      most = v > most ? v : most;
    }
  }
  const int64_t reach = (most * 7 / 16384 + 3) / 4 + 2;  // quarter pixels out, the phase, rounding
  return reach <= DISC_REACH_MAX ? int(reach) : -1;
}

// The window of +-reach pixels about the frame centre of `pic` rendered
// as variant `index` on `background`, to `out` (rows of DISC_SIDE) or, with
// out null, left in disc_scratch.
void disc_render(const cgm_picture *pic, int reach, int index, uint8_t background, uint8_t *out) {
  wurms_scale = index / 16 + 4, wurms_cx = index & 3, wurms_cy = (index >> 2) & 3;
  std::memset(disc_scratch, background, FRAME_BYTES);
  cgm_render(pic, disc_scratch, wurms_xform_upright);
  if (out)
    for (int dy = -reach; dy <= reach; dy++)
      std::memcpy(out + (dy + reach) * DISC_SIDE, disc_scratch + (100 + dy) * FRAME_W + 160 - reach, size_t(2 * reach + 1));
}

// Renders one variant on two backgrounds and keeps the runs of the pixels
// both renders agree on (the ones drawn); false when the runs do not fit.
bool disc_make(const cgm_picture *pic, int reach, int index, int32_t &used) {
  disc_render(pic, reach, index, 0x00, disc_first);
  disc_render(pic, reach, index, 0xFF, nullptr);
  disc_variant &v = disc_variants[index];
  v = {used, 0, reach + 1, -reach - 1, reach + 1, -reach - 1};
  for (int dy = -reach; dy <= reach; dy++) {
    const uint8_t *a = disc_first + (dy + reach) * DISC_SIDE + reach, *b = disc_scratch + (100 + dy) * FRAME_W + 160;
    for (int dx = -reach; dx <= reach;) {
      if (a[dx] != b[dx]) {
        dx++;
        continue;
      }
      int len = 1;
      while (dx + len <= reach && a[dx + len] == b[dx + len] && a[dx + len] == a[dx]) len++;
      if (used == DISC_RUNS) return false;
      disc_runs[used++] = uint32_t(uint16_t(dy * FRAME_W + dx)) | uint32_t(len) << 16 | uint32_t(a[dx]) << 24;
      v.count++;
      v.top = dy < v.top ? dy : v.top, v.bottom = dy > v.bottom ? dy : v.bottom;
      v.left = dx < v.left ? dx : v.left, v.right = dx + len - 1 > v.right ? dx + len - 1 : v.right;
      dx += len;
    }
  }
  return true;
}

// Makes every variant of `pic`, or none (disc_source stays null).
void disc_build(const cgm_picture *pic) {
  disc_source = nullptr;
  const int reach = disc_reach(pic);
  if (reach < 0) return;
  int32_t used = 0;
  for (int i = 0; i < DISC_VARIANTS; i++)
    if (!disc_make(pic, reach, i, used)) return;
  disc_source = pic;
}

// A variant's runs with every pixel in the frame; `at` is the frame offset
// of the link's centre pixel.
void disc_inside(uint8_t *fb, int32_t at, const uint32_t *run, int32_t n) {
  for (; n > 0; n--, run++) {
    const uint32_t w = *run;
    fill_bytes(fb + (at + int16_t(w)), int((w >> 16) & 0xFF), uint8_t(w >> 24));
  }
}

// A variant's runs clipped to the frame; (row, col) is the link's centre
// pixel, anywhere. An offset's column part is within +-DISC_REACH_MAX, so
// the row is the offset divided by the pitch, rounded to nearest.
void disc_clipped(uint8_t *fb, int32_t row, int32_t col, const uint32_t *run, int32_t n) {
  for (; n > 0; n--, run++) {
    const uint32_t w = *run;
    const int32_t off = int16_t(w), dy = (off + FRAME_W / 2 + 128 * FRAME_W) / FRAME_W - 128, r = row + dy;
    if (r < 0 || r >= FRAME_H) continue;
    int32_t l = col + off - dy * FRAME_W, e = l + int32_t((w >> 16) & 0xFF) - 1;
    l = l < 0 ? 0 : l, e = e > FRAME_W - 1 ? FRAME_W - 1 : e;
    if (e >= l) fill_bytes(fb + r * FRAME_W + l, e - l + 1, uint8_t(w >> 24));
  }
}

void place(int32_t x, int32_t y, int i) {
  wurms_cx = x + wurms_xoff[i];
  wurms_cy = y + wurms_yoff[i];
}

}  // namespace

void wurms_xform(int x, int y, int *X, int *Y) {
  const int32_t a = wurms_mat[0], b = wurms_mat[1], c = wurms_mat[2], d = wurms_mat[3];
  int32_t u = int32_t(uint32_t(mul(a, x)) + uint32_t(mul(b, y))) >> 12;
  int32_t v = int32_t(uint32_t(mul(c, x)) + uint32_t(mul(d, y))) >> 12;
  *X = int32_t(uint32_t(wurms_cx) + uint32_t(mul(u, wurms_scale) >> 14) + 640u);
  *Y = int32_t(uint32_t(wurms_cy) + 400u - uint32_t(mul(v, wurms_scale) >> 14));
}

void wurms_xform_upright(int x, int y, int *X, int *Y) {
  *X = int32_t(uint32_t(wurms_cx) + uint32_t(mul(x, wurms_scale) >> 14) + 640u);
  *Y = int32_t(uint32_t(wurms_cy) + 400u - uint32_t(mul(y, wurms_scale) >> 14));
}

void wurms_disc(uint8_t *fb) {
  const int32_t cx = wurms_cx, cy = wurms_cy, s = wurms_scale;
  if (disc_source == nullptr || disc_source != wurms_pic1 || s < 4 || s > 7 || cx < -DISC_NEAR || cx > DISC_NEAR ||
      cy < -DISC_NEAR || cy > DISC_NEAR) {
    cgm_render(wurms_pic1, fb, wurms_xform_upright);
    return;
  }
  const disc_variant &v = disc_variants[disc_index(s, cx, cy)];
  const int32_t row = FRAME_H / 2 + (cy >> 2), col = FRAME_W / 2 + (cx >> 2);
  const uint32_t *run = disc_runs + v.first;
  if (row + v.top >= 0 && row + v.bottom < FRAME_H && col + v.left >= 0 && col + v.right < FRAME_W)
    disc_inside(fb, row * FRAME_W + col, run, v.count);
  else
    disc_clipped(fb, row, col, run, v.count);
}

void wurms_init() {
  cgm_free(wurms_pic1);  // only when run again (tests): the demo runs it once
  cgm_free(wurms_pic2);
  wurms_pic1 = cgm_get(piece1);
  wurms_pic2 = cgm_get(piece2);
  cgm_share_corners(wurms_pic1);  // a link's points are transformed once each
  cgm_share_corners(wurms_pic2);
  disc_build(wurms_pic1);
  build_arcs();
  build_path();
  for (int i = 0; i < 16; i++) {
    wurms_xoff[i] = ((wurms_rand() % 200 + 540 * i) % 800) - 300;
    wurms_yoff[i] = ((wurms_rand() % 200 + 150 * i) % 800) - 300;
  }
}

void wurms(uint8_t *fb, int t, int n) {
  if (n > 16) n = 16;  // the offset tables hold 16 worms
  for (int i = 0; i < n; i++) {
    wurms_mat[0] = 4096, wurms_mat[1] = 0, wurms_mat[2] = 0, wurms_mat[3] = 4096;
    uint32_t j = uint32_t(t / (i / 5 + 20) + 35 * i);
    for (int k = 0; k < 25; k++) {
      j = (j + 4) % PATH_LEN;
      place(wurms_path[j][0], wurms_path[j][1], i);
      wurms_scale = k < 24 ? k / 6 + 4 : 4;  // radius 4..7 px, and a small head
      wurms_disc(fb);
    }
  }
}

void wurms2(uint8_t *fb, int t, int n) {
  if (n > 16) n = 16;
  for (int i = 0; i < n; i++) {
    uint32_t j = uint32_t(t / (i / 5 + 20) + 35 * i) % PATH_LEN;
    for (int k = 0; k < 25; k++) {
      uint32_t m = (j + 5) % PATH_LEN;
      int32_t dx = wurms_path[m][0] - wurms_path[j][0], dy = wurms_path[m][1] - wurms_path[j][1];
      place(wurms_path[m][0], wurms_path[m][1], i);
      // Rotates the segment into the direction of travel, about 1.1 in 4.12.
      wurms_mat[0] = 160 * dx, wurms_mat[1] = 160 * dy, wurms_mat[2] = -160 * dy, wurms_mat[3] = 160 * dx;
      wurms_scale = 11;
      cgm_render(wurms_pic2, fb, wurms_xform);
      j = m;
    }
  }
}
