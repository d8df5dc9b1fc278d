// Correctly rounded sine and cosine in double-double arithmetic.
//
// x = k * pi/2 + r, |r| <= pi/4 (r as a double-double; pi/2 in three
// pieces for k < 2^20, else in five 24-bit pieces so that k * piece is
// exact for k < 2^29). Fast path: r = a + t with
// a = j/256 from a table of sin a and cos a in double-double (made at
// compile time), |t| <= 1/512, a short polynomial in t; the result is a
// double-double with an absolute error below 2^-68 (relative for j = 0),
// and its rounding to double is returned when the error bound cannot move
// it across a rounding boundary. Otherwise the slow path sums the Taylor
// series of r in double-double (error below 2^-100). Every operation is a
// plain IEEE double operation, with no fused multiply-add (the build uses
// -ffp-contract=off), so the bits are the same on every machine.
#include "maths/cr.h"

#include <array>
#include <cmath>

namespace {

struct dd {
  double hi, lo;  // value hi + lo, |lo| at most half an ulp of hi
};

// a + b exactly, when |a| >= |b| or a is 0.
constexpr dd fast_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a + b exactly.
constexpr dd two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a as two halves of 26 bits (Dekker).
constexpr dd split(double a) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double hi = c - (c - a);
  return {hi, a - hi};
}

// a * b exactly.
constexpr dd two_prod(double a, double b) {
  const double p = a * b;
  const dd x = split(a), y = split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

constexpr dd add(dd x, dd y) {
  dd s = two_sum(x.hi, y.hi);
  const dd t = two_sum(x.lo, y.lo);
  s = fast_two_sum(s.hi, s.lo + t.hi);
  return fast_two_sum(s.hi, s.lo + t.lo);
}

constexpr dd mul(dd x, dd y) {
  const dd p = two_prod(x.hi, y.hi);
  return fast_two_sum(p.hi, p.lo + (x.hi * y.lo + x.lo * y.hi));
}

constexpr dd div(dd x, double d) {
  const double q = x.hi / d;
  const dd p = two_prod(q, d);
  return fast_two_sum(q, ((x.hi - p.hi) - p.lo + x.lo) / d);
}

constexpr dd neg(dd x) { return {-x.hi, -x.lo}; }

// Taylor series of sin r and cos r, 15 terms each: the first term left out
// is below 2^-120 for |r| <= 0.8.
constexpr int SERIES_TERMS = 15;

constexpr dd sin_series(dd r) {
  const dd r2 = mul(r, r);
  dd term = r, sum = r;
  for (int n = 1; n < SERIES_TERMS; n++) {
    term = neg(div(mul(term, r2), double((2 * n) * (2 * n + 1))));
    sum = add(sum, term);
  }
  return sum;
}

constexpr dd cos_series(dd r) {
  const dd r2 = mul(r, r);
  dd term = {1.0, 0.0}, sum = {1.0, 0.0};
  for (int n = 1; n < SERIES_TERMS; n++) {
    term = neg(div(mul(term, r2), double((2 * n - 1) * (2 * n))));
    sum = add(sum, term);
  }
  return sum;
}

// sin and cos of j/256 for j = 0..203 (|r| stays below 0.79).
struct Entry {
  dd s, c;
};
constexpr int TABLE_STEPS = 256;
constexpr int TABLE_SIZE = 204;
constexpr std::array<Entry, TABLE_SIZE> make_table() {
  std::array<Entry, TABLE_SIZE> t{};
  for (int j = 0; j < TABLE_SIZE; j++) {
    const dd a = {double(j) / TABLE_STEPS, 0.0};
    t[j] = {sin_series(a), cos_series(a)};
  }
  return t;
}
constexpr std::array<Entry, TABLE_SIZE> table = make_table();

// pi/2 in five pieces of at most 24 significant bits; the rest is 1.2e-36.
constexpr double HALF_PI[5] = {0x1.921fb4p+0, 0x1.4442d0p-24, 0x1.846988p-48, 0x1.8cc516p-72, 0x1.01b838p-96};
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
constexpr double QUARTER_PI = 0x1.921fb54442d18p-1;  // just below pi/4

struct Reduced {
  int quadrant;  // k mod 4, 0..3
  dd r;          // x - k * pi/2
};

// pi/2 in two pieces of 32 significant bits and a rounded third (the rest
// is 1.0e-37): for |k| < 2^20 the first two products are exact and the
// third is off by at most 2^-102.
constexpr double SHORT_HALF_PI[3] = {0x1.921fb544p+0, 0x1.0b4611a6p-34, 0x1.3198a2e037073p-69};
constexpr double SHORT_K_LIMIT = 0x1p20;
constexpr double SHORT_R_MIN = 0x1p-20;  // below, the short form's relative error grows

// k mod 4, 0..3; every step is exact.
int quadrant_of(double k) { return int(k - 4.0 * std::floor(k * 0.25)); }

Reduced reduce(double x) {
  if (std::fabs(x) <= QUARTER_PI) return {0, {x, 0.0}};
  const double k = std::floor(x * TWO_OVER_PI + 0.5);
  if (std::fabs(k) < SHORT_K_LIMIT) {
    // x and k * piece 0 lie within a factor of two: the difference is exact.
    dd r = two_sum(x - k * SHORT_HALF_PI[0], -k * SHORT_HALF_PI[1]);
    r = fast_two_sum(r.hi, r.lo - k * SHORT_HALF_PI[2]);
    if (std::fabs(r.hi) >= SHORT_R_MIN) return {quadrant_of(k), r};
  }
  dd r = two_sum(x - k * HALF_PI[0], -k * HALF_PI[1]);
  for (int i = 2; i < 5; i++) {
    const dd t = two_sum(r.hi, -k * HALF_PI[i]);
    r.hi = t.hi;
    r.lo += t.lo;
  }
  return {quadrant_of(k), fast_two_sum(r.hi, r.lo)};
}

constexpr double ERROR_BOUND = 0x1p-66;  // 8 times the fast path's worst error

// The nearest double to y.hi + y.lo when no value within `err` of it
// rounds differently; false otherwise.
bool rounds_surely(dd y, double err, double &out) {
  if (y.hi + (y.lo + err) != y.hi || y.hi + (y.lo - err) != y.hi) return false;
  out = y.hi;
  return true;
}

// sin r (want_cos false) or cos r, |r| <= 0.79, through the table.
bool fast_core(dd r, bool want_cos, double &out) {
  double sign = 1.0;
  if (r.hi < 0) {
    r = neg(r);
    if (!want_cos) sign = -1.0;
  }
  const int j = int(r.hi * TABLE_STEPS + 0.5);
  const double th = r.hi - double(j) / TABLE_STEPS;  // exact, |th| <= 1/512
  const double tl = r.lo;
  const double t2 = th * th;
  // sin t - t and cos t - 1 for t = th, to their t^7 and t^6 terms: the
  // next ones are below 2^-99 and 2^-87.
  const double ps = th * t2 * (-1.0 / 6 + t2 * (1.0 / 120 + t2 * (-1.0 / 5040)));
  const double pc = t2 * (-0.5 + t2 * (1.0 / 24 + t2 * (-1.0 / 720)));
  const Entry &e = table[j];
  dd y;
  if (!want_cos) {
    // sin(a + t) = sin a + cos a * t + sin a (cos t - 1) + cos a (sin t - t)
    const dd p = two_prod(e.c.hi, th);
    const dd h = two_sum(e.s.hi, p.hi);
    const double small = p.lo + e.s.lo + e.c.lo * th + e.s.hi * (pc - tl * th) + e.c.hi * (tl + ps);
    y = fast_two_sum(h.hi, h.lo + small);
  } else {
    // cos(a + t) = cos a - sin a * t + cos a (cos t - 1) - sin a (sin t - t)
    const dd p = two_prod(e.s.hi, th);
    const dd h = two_sum(e.c.hi, -p.hi);
    const double small = -p.lo + e.c.lo - e.s.lo * th + e.c.hi * (pc - tl * th) - e.s.hi * (tl + ps);
    y = fast_two_sum(h.hi, h.lo + small);
  }
  const double err = j == 0 && !want_cos ? std::fabs(y.hi) * ERROR_BOUND : ERROR_BOUND;
  if (!rounds_surely(y, err, out)) return false;
  out *= sign;
  return true;
}

double accurate_core(dd r, bool want_cos) {
  const dd y = want_cos ? cos_series(r) : sin_series(r);
  return y.hi;  // y is normalised: hi is the nearest double to hi + lo
}

double core(dd r, bool want_cos) {
  double out;
  if (fast_core(r, want_cos, out)) return out;
  return accurate_core(r, want_cos);
}

// sin x (want_cos false) or cos x from the quadrant and r.
template <typename Core>
double sin_or_cos(double x, bool want_cos, Core f) {
  if (!std::isfinite(x)) return x - x;
  if (x == 0) return want_cos ? 1.0 : x;
  const Reduced red = reduce(x);
  const int q = (red.quadrant + (want_cos ? 1 : 0)) & 3;
  // sin(r + q pi/2): sin r, cos r, -sin r, -cos r.
  const double v = f(red.r, (q & 1) != 0);
  return q >= 2 ? -v : v;
}

}  // namespace

double cr_sin(double x) { return sin_or_cos(x, false, core); }
double cr_cos(double x) { return sin_or_cos(x, true, core); }
double cr_sin_accurate(double x) { return sin_or_cos(x, false, accurate_core); }
double cr_cos_accurate(double x) { return sin_or_cos(x, true, accurate_core); }
