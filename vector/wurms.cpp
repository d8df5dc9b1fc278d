// Worms: the path is built once from circular arcs in double precision; per
// frame every link is one cgm_render call through wurms_xform, integers only.
#include "vector/wurms.h"

#include <cmath>

#include "assets/assets.h"
#include "maths/cr.h"
#include "maths/rng.h"

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

void wurms_init() {
  cgm_free(wurms_pic1);  // only when run again (tests): the demo runs it once
  cgm_free(wurms_pic2);
  wurms_pic1 = cgm_get(piece1);
  wurms_pic2 = cgm_get(piece2);
  cgm_share_corners(wurms_pic1);  // a link's points are transformed once each
  cgm_share_corners(wurms_pic2);
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
      cgm_render(wurms_pic1, fb, wurms_xform_upright);  // the matrix is the identity
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
