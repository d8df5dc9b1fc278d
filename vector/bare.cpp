// The transformation matrix and its set-up calls. Floating point is used
// only here, a few times per model per frame; the matrix itself is integer.
#include <cmath>
#include <cstring>

#include "maths/cr.h"
#include "vector/bare.h"
#include "vector/bare_fixed.h"

using namespace bare_fixed;

int32_t bare_matrix[4][4] = {
    {kOne, 0, 0, 0}, {0, kOne, 0, 0}, {0, 0, kOne, 0}, {0, 0, 0, kOne}};

namespace {

// Truncates toward zero; out-of-range values saturate instead of being
// undefined (NaN gives 0).
int32_t trunc_to_i32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// bare_matrix = bare_matrix * r, each product term rounded on its own.
void multiply(const int32_t (&r)[4][4]) {
  int32_t p[4][4];
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      int32_t sum = 0;
      for (int k = 0; k < 4; k++) sum = add(sum, mulq(bare_matrix[i][k], r[k][j]));
      p[i][j] = sum;
    }
  std::memcpy(bare_matrix, p, sizeof p);
}

struct CosSin {
  int32_t c, s, ms;  // cos * 4096, sin * 4096, sin * -4096, each truncated
};

// Correctly rounded sine and cosine: the same bits on every machine.
CosSin cos_sin(float angle) {
  const double a = angle;
  const double s = cr_sin(a);
  return {trunc_to_i32(cr_cos(a) * 4096.0), trunc_to_i32(s * 4096.0), trunc_to_i32(s * -4096.0)};
}

}  // namespace

void bare_loadidentity() {
  std::memset(bare_matrix, 0, sizeof bare_matrix);
  for (int i = 0; i < 4; i++) bare_matrix[i][i] = kOne;
}

void bare_translate(float x, float y, float z) {
  const float t[3] = {x, y, z};
  for (int i = 0; i < 3; i++) {
    const float product = t[i] * 4096.0f;
    const float sum = product + static_cast<float>(bare_matrix[i][3]);
    bare_matrix[i][3] = trunc_to_i32(sum);
  }
}

void bare_rotatex(float angle) {
  const CosSin k = cos_sin(angle);
  const int32_t r[4][4] = {{kOne, 0, 0, 0}, {0, k.c, k.ms, 0}, {0, k.s, k.c, 0}, {0, 0, 0, kOne}};
  multiply(r);
}

void bare_rotatey(float angle) {
  const CosSin k = cos_sin(angle);
  const int32_t r[4][4] = {{k.c, 0, k.s, 0}, {0, kOne, 0, 0}, {k.ms, 0, k.c, 0}, {0, 0, 0, kOne}};
  multiply(r);
}

void bare_rotatez(float angle) {
  const CosSin k = cos_sin(angle);
  const int32_t r[4][4] = {{k.c, k.ms, 0, 0}, {k.s, k.c, 0, 0}, {0, 0, kOne, 0}, {0, 0, 0, kOne}};
  multiply(r);
}
