// Nonzero-rule fill and hatching of closed polygons in picture space, for
// the shapes that ear clipping cannot take: polygons that cross themselves,
// touch themselves, or are too large for its quadratic search.
#include "tools/cgmtext/cgm_shape.h"

#include <algorithm>

namespace {

constexpr int64_t LIMIT = int64_t(1) << 18;
constexpr int64_t NONE = INT64_MIN;

// Floor of n / d, and nearest with halves up, for d > 0.
int64_t floor_div(int64_t n, int64_t d) { return n / d - (n % d != 0 && n < 0); }
int64_t round_div(int64_t n, int64_t d) { return floor_div(2 * n + d, 2 * d); }

bool in_range(const int32_t *p, int n) {
  for (int i = 0; i < 2 * n; i++)
    if (p[i] < -LIMIT || p[i] > LIMIT) return false;
  return true;
}

// An edge from its lower end (x0, y0) to its upper end (x1, y1), y0 < y1;
// w is +1 when the polygon runs upwards along it, -1 when downwards.
struct Edge {
  int64_t x0, y0, x1, y1;
  int w;
};

int64_t x_at(const Edge &e, int64_t y) { return e.x0 + round_div((e.x1 - e.x0) * (y - e.y0), e.y1 - e.y0); }

// Non-horizontal edges of the closed polygon; horizontal ones change no
// winding number.
std::vector<Edge> edges_of(const int32_t *p, int n) {
  std::vector<Edge> e;
  for (int i = 0; i < n; i++) {
    int j = i + 1 == n ? 0 : i + 1;
    int64_t ax = p[2 * i], ay = p[2 * i + 1], bx = p[2 * j], by = p[2 * j + 1];
    if (ay < by) e.push_back({ax, ay, bx, by, 1});
    if (ay > by) e.push_back({bx, by, ax, ay, -1});
  }
  return e;
}

// Height where edges a and b cross, as the smallest whole height above y
// not below the crossing (the crossing's floor, or the next height when the
// floor is y itself); NONE when they are parallel.
int64_t crossing(const Edge &a, const Edge &b, int64_t y) {
  int64_t dxa = a.x1 - a.x0, dya = a.y1 - a.y0, dxb = b.x1 - b.x0, dyb = b.y1 - b.y0;
  int64_t den = dxa * dyb - dxb * dya;
  int64_t num = b.x0 * dya * dyb - a.x0 * dya * dyb - dxb * b.y0 * dya + dxa * a.y0 * dyb;
  if (den == 0) return NONE;
  if (den < 0) den = -den, num = -num;
  int64_t c = floor_div(num, den);
  return c > y ? c : y + 1;
}

struct Sweep {
  std::vector<Edge> e;
  std::vector<int32_t> &tri;
  std::vector<int> active;
  std::vector<int64_t> xa, xb;  // per edge: x at the slab's lower and upper height
  std::vector<int64_t> top;     // per left edge: where its open trapezoid began
  std::vector<int> right;       // per left edge: that trapezoid's right edge
  std::vector<int64_t> stamp;   // per left edge: slab in which cur_right holds
  std::vector<int> cur_right;
  std::vector<std::pair<int, int>> prev, cur;  // (left, right) spans of the last and this slab
  int64_t slab = 0;
  int64_t work = 0;  // active edges passed, summed over the slabs

  Sweep(std::vector<Edge> edges, std::vector<int32_t> &out)
      : e(std::move(edges)),
        tri(out),
        xa(e.size()),
        xb(e.size()),
        top(e.size(), NONE),
        right(e.size()),
        stamp(e.size(), -1),
        cur_right(e.size()) {}

  void triangle(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy) {
    const int32_t t[6] = {int32_t(ax), int32_t(ay), int32_t(bx), int32_t(by), int32_t(cx), int32_t(cy)};
    tri.insert(tri.end(), t, t + 6);
  }

  // The trapezoid between edges l and r from height y0 up to y1.
  void emit(int l, int r, int64_t y0, int64_t y1) {
    if (y1 <= y0) return;
    int64_t lx0 = x_at(e[l], y0), rx0 = x_at(e[r], y0), lx1 = x_at(e[l], y1), rx1 = x_at(e[r], y1);
    if (lx0 != rx0) triangle(lx0, y0, rx0, y0, rx1, y1);
    if (lx1 != rx1) triangle(lx0, y0, rx1, y1, lx1, y1);
  }

  // Closes the spans of the last slab that this one does not continue and
  // opens this slab's new ones, at height y.
  void update(int64_t y) {
    slab++;
    for (auto [l, r] : cur) stamp[l] = slab, cur_right[l] = r;
    for (auto [l, r] : prev) {
      if (stamp[l] == slab && cur_right[l] == r) continue;
      emit(l, r, top[l], y);
      top[l] = NONE;
    }
    for (auto [l, r] : cur)
      if (top[l] == NONE) top[l] = y, right[l] = r;
    prev.swap(cur);
    cur.clear();
  }

  // Lowers yb to the first crossing of two active edges above y, so that no
  // slab holds a crossing (except one a unit high, which is kept as it is).
  int64_t first_crossing(int64_t y, int64_t yb) {
    for (;;) {
      for (int a : active) xb[a] = x_at(e[a], yb);
      std::sort(active.begin(), active.end(), [&](int p, int q) {
        return xa[p] != xa[q] ? xa[p] < xa[q] : xb[p] != xb[q] ? xb[p] < xb[q] : p < q;
      });
      int64_t low = yb;
      for (size_t i = 0; i + 1 < active.size(); i++)
        if (xb[active[i]] > xb[active[i + 1]]) {
          int64_t c = crossing(e[active[i]], e[active[i + 1]], y);
          if (c != NONE && c < low) low = c;
        }
      if (low == yb) return yb;
      yb = low;
    }
  }

  void spans() {
    std::sort(active.begin(), active.end(), [&](int p, int q) {
      int64_t mp = xa[p] + xb[p], mq = xa[q] + xb[q];
      return mp != mq ? mp < mq : xa[p] != xa[q] ? xa[p] < xa[q] : p < q;
    });
    int wind = 0, left = -1;
    for (int a : active) {
      int before = wind;
      wind += e[a].w;
      if (before == 0 && wind != 0) left = a;
      if (before != 0 && wind == 0) cur.emplace_back(left, a);
    }
  }

  bool run() {
    std::vector<int> order(e.size());
    for (size_t i = 0; i < e.size(); i++) order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int p, int q) { return e[p].y0 != e[q].y0 ? e[p].y0 < e[q].y0 : p < q; });
    size_t next = 0;
    int64_t y = e.empty() ? 0 : e[order[0]].y0;
    while (next < order.size() || !active.empty()) {
      while (next < order.size() && e[order[next]].y0 <= y) active.push_back(order[next++]);
      active.erase(std::remove_if(active.begin(), active.end(), [&](int a) { return e[a].y1 <= y; }), active.end());
      if (active.empty()) {
        update(y);
        if (next < order.size()) y = e[order[next]].y0;
        continue;
      }
      work += int64_t(active.size());
      if (work > CGM_SWEEPWORK) return false;
      int64_t yb = next < order.size() ? e[order[next]].y0 : INT64_MAX;
      for (int a : active) yb = std::min(yb, e[a].y1), xa[a] = x_at(e[a], y);
      yb = first_crossing(y, yb);
      spans();
      update(y);
      y = yb;
    }
    update(y);
    return true;
  }
};

// Hatch directions: lines of constant f = ux*x + uy*y, running along
// g = vx*x + vy*y; diagonal ones are spaced sqrt(2) further apart in f.
struct Direction {
  int ux, uy, vx, vy;
  bool diagonal;
};
constexpr Direction HORIZONTAL{0, 1, 1, 0, false}, VERTICAL{1, 0, 0, 1, false}, RISING{-1, 1, 1, 1, true},
    FALLING{1, 1, 1, -1, true};

struct Cut {
  int64_t level, g;
  int w;
};

int64_t f_of(const Direction &d, const int32_t *p) { return d.ux * int64_t(p[0]) + d.uy * int64_t(p[1]); }

int64_t step_of(const Direction &d, int64_t spacing) { return d.diagonal ? spacing * 181 / 128 : spacing; }

// Upper bound of the crossings of the lines with the outline.
int64_t cuts_bound(const int32_t *p, int n, const Direction &d, int64_t spacing) {
  int64_t total = 0;
  for (int i = 0; i < n; i++) {
    int64_t f0 = f_of(d, p + 2 * i), f1 = f_of(d, p + 2 * (i + 1 == n ? 0 : i + 1));
    total += (f0 < f1 ? f1 - f0 : f0 - f1) / step_of(d, spacing) + 1;
  }
  return total;
}

void hatch_direction(const int32_t *p, int n, const Direction &d, int64_t spacing, std::vector<int32_t> &seg) {
  const int64_t step = step_of(d, spacing);
  std::vector<Cut> cuts;
  for (int i = 0; i < n; i++) {
    int j = i + 1 == n ? 0 : i + 1;
    int64_t f0 = d.ux * int64_t(p[2 * i]) + d.uy * int64_t(p[2 * i + 1]);
    int64_t g0 = d.vx * int64_t(p[2 * i]) + d.vy * int64_t(p[2 * i + 1]);
    int64_t f1 = d.ux * int64_t(p[2 * j]) + d.uy * int64_t(p[2 * j + 1]);
    int64_t g1 = d.vx * int64_t(p[2 * j]) + d.vy * int64_t(p[2 * j + 1]);
    if (f0 == f1) continue;
    int w = f1 > f0 ? 1 : -1;
    if (f1 < f0) std::swap(f0, f1), std::swap(g0, g1);
    // Levels in [f0, f1): a level through a vertex counts once.
    for (int64_t k = -floor_div(-f0, step); k * step < f1; k++)
      cuts.push_back({k, g0 + round_div((g1 - g0) * (k * step - f0), f1 - f0), w});
  }
  std::sort(cuts.begin(), cuts.end(),
            [](const Cut &a, const Cut &b) { return a.level != b.level ? a.level < b.level : a.g < b.g; });
  const int64_t det = int64_t(d.ux) * d.vy - int64_t(d.uy) * d.vx;  // +-1 or +-2
  auto point = [&](int64_t f, int64_t g) {
    int64_t x = f * d.vy - d.uy * g, y = d.ux * g - d.vx * f;
    if (det < 0) x = -x, y = -y;
    seg.push_back(int32_t(round_div(x, det < 0 ? -det : det)));
    seg.push_back(int32_t(round_div(y, det < 0 ? -det : det)));
  };
  int wind = 0;
  int64_t start = 0;
  for (size_t i = 0; i < cuts.size(); i++) {
    if (i > 0 && cuts[i].level != cuts[i - 1].level) wind = 0;
    int before = wind;
    wind += cuts[i].w;
    if (before == 0 && wind != 0) start = cuts[i].g;
    if (before != 0 && wind == 0 && cuts[i].g > start) {
      int64_t f = cuts[i].level * step;
      point(f, start);
      point(f, cuts[i].g);
    }
  }
}

}  // namespace

bool cgm_sweepfill(const int32_t *pts, int n, std::vector<int32_t> &tri) {
  if (!in_range(pts, n)) return false;
  Sweep s(edges_of(pts, n), tri);
  return s.run();
}

bool cgm_hatchlines(const int32_t *pts, int n, int style, int32_t spacing, int64_t budget, std::vector<int32_t> &seg) {
  if (!in_range(pts, n) || spacing < 1) return false;
  int64_t bound = 0;
  for (const Direction *d : {&HORIZONTAL, &VERTICAL, &RISING, &FALLING}) bound += cuts_bound(pts, n, *d, spacing);
  if (bound > budget) return false;
  if (style == 1 || style == 5) hatch_direction(pts, n, HORIZONTAL, spacing, seg);
  if (style == 2 || style == 5) hatch_direction(pts, n, VERTICAL, spacing, seg);
  if (style == 3 || style == 6) hatch_direction(pts, n, RISING, spacing, seg);
  if (style == 4 || style == 6) hatch_direction(pts, n, FALLING, spacing, seg);
  return true;
}
