// Clear-text CGM reader: the subset a drawing program writes for polygons,
// boxes, polylines, circles, ellipses and arcs with solid or hatched fills.
//
// The file is read element by element: a name, its parameters, and the
// terminator ';' (or '/'). Blanks and commas separate parameters and may be
// left out where a parenthesis or quote already does; comments (% ... %) and
// quoted strings are skipped wherever they stand. Element names are lower
// case, "BEGMF" upper case; enumerated values are told by their upper-case
// letters. Unknown elements are skipped whole.
//
// Geometry: filled polygons are split into triangles by ear clipping in
// drawing units as they are read. Everything that needs the drawing's
// extent waits until the end: the normalisation to picture space (+-65536 is
// half the larger extent), then in picture space the nonzero-rule sweep for
// polygons the ear clipping cannot take, the flattening of curves and the
// hatch lines, both sized by cgm_limits.pixels.
//
// Limits, each refused with a message rather than overrun: cgm_limits.points
// points per element, file colour indices 0..cgm_limits.colrindex, 199
// colour entries, coordinates within +-(2^30 - 1).
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "tools/cgmtext/cgm_text.h"
#include "tools/cgmtext/cgm_shape.h"

int32_t cgm_colrmap[100];
int32_t cgm_points[500][2];
cgm_textlimits cgm_limits = {500, 99, 160, 0};
cgm_textinfo cgm_lastinfo;
int32_t cgm_textread;

namespace {

constexpr int MAX_COLOURS = 199;
constexpr int EAR_POINTS = 500;  // ear clipping's search is cubic at worst: larger polygons are swept
// Coordinates are held within +-(2^30 - 1), so that the cross products of
// the triangulation fit in 64 bits and the normalisation's products in 48.
constexpr int32_t MAX_COORD = (1 << 30) - 1;
constexpr double PI = 3.14159265358979323846;
// Points made for curves and hatch lines, over the whole drawing: a bound on
// the memory a small file of many large curves can claim.
constexpr int64_t GENERATED_MAX = 16000000;
constexpr const char *TOO_COMPLEX = "more than 16 million points of curves and hatch lines";

int32_t saturate(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int32_t(v); }

// Characters of the file with CGM clear-text tokens on top.
struct Lexer {
  FILE *f;

  int get() { return std::fgetc(f); }
  void unget(int c) {
    if (c != EOF) std::ungetc(c, f);
  }

  // Skips blanks, commas and comments; returns the next character, unread.
  int peek() {
    for (;;) {
      int c = get();
      if (c == '%') {
        do c = get();
        while (c != '%' && c != EOF);
        if (c == EOF) return EOF;
        continue;
      }
      if (c == ',' || (c != EOF && std::isspace(c))) continue;
      unget(c);
      return c;
    }
  }

  bool at_terminator() {
    int c = peek();
    return c == ';' || c == '/';
  }

  void skip_string(int quote) {  // a doubled quote stands for itself
    for (int c = get(); c != EOF; c = get())
      if (c == quote) {
        int d = get();
        if (d != quote) return unget(d);
      }
  }

  // Skips the rest of the element and its terminator; false when the file
  // ends first.
  bool skip_element() {
    for (int c = peek(); c != EOF; c = peek()) {
      get();
      if (c == ';' || c == '/') return true;
      if (c == '\'' || c == '"') skip_string(c);
    }
    return false;
  }

  // A name: letters, digits and '_'. Longer than the buffer holds, it is
  // no name we know and comes back empty. False at end of file.
  bool name(char *out, size_t cap) {
    int c = peek();
    if (c == EOF) return false;
    size_t n = 0;
    bool overlong = false;
    for (c = get(); c != EOF && (std::isalnum(c) || c == '_'); c = get())
      if (n + 1 < cap)
        out[n++] = char(c);
      else
        overlong = true;
    unget(c);
    out[overlong ? 0 : n] = 0;
    return true;
  }

  // A number: sign, digits, and an optional fraction and exponent, rounded
  // to the nearest integer and saturated to 32 bits. False if none follows.
  bool number(int32_t *out) {
    char buf[48];
    size_t n = 0;
    int64_t whole = 0;
    bool digits = false, real = false;
    int c = peek();
    if (c == '+' || c == '-') buf[n++] = char(get());
    for (c = get(); c != EOF; c = get()) {
      if (c >= '0' && c <= '9') {
        if (!real && whole < (int64_t(1) << 32)) whole = whole * 10 + (c - '0');
        digits = true;
      } else if (c == '.' || ((c == 'e' || c == 'E') && digits) ||
                 ((c == '+' || c == '-') && real && (buf[n - 1] | 32) == 'e')) {
        real = true;
      } else {
        break;
      }
      if (n + 1 < sizeof buf) buf[n++] = char(c);
    }
    unget(c);
    if (!digits) return false;
    buf[n] = 0;
    bool neg = buf[0] == '-';
    if (!real) {
      *out = saturate(neg ? -whole : whole);
      return true;
    }
    double v = std::strtod(buf, nullptr);
    *out = v < -2147483648.0 ? INT32_MIN : v > 2147483647.0 ? INT32_MAX : int32_t(std::lround(v));
    return true;
  }

  // One point: "(x, y)", or "x y" as the encoding also allows.
  bool point(int32_t *x, int32_t *y) {
    bool paren = peek() == '(';
    if (paren) get();
    if (!number(x) || !number(y)) return false;
    if (paren && peek() != ')') return false;
    if (paren) get();
    return true;
  }
};

enum Closure { OPEN, FULL, PIE, CHORD };

// A curve kept in drawing units until the drawing's extent is known: the
// points (cx, cy) + (ax, ay) cos t + (bx, by) sin t for t from t0 over sweep.
struct Curve {
  cgm_element *e;
  double cx, cy, ax, ay, bx, by, t0, sweep;
  Closure closure;
};

// A hatched element; its hatch lines go in before it, at *link.
struct Hatch {
  cgm_element **link;
  cgm_element *e;
  int style;
  int32_t colour;
};

// Cross products of drawing points need more than 32 bits for coordinates
// far apart; 64 bits give the true sign.
int64_t turn(const int32_t *a, const int32_t *b, const int32_t *c) {
  return int64_t(a[1] - int64_t(b[1])) * (c[0] - int64_t(a[0])) +
         int64_t(c[1] - int64_t(a[1])) * (b[0] - int64_t(a[0]));
}

// True when two edges of the closed n-point polygon that share no corner
// cross each other properly (each strictly on both sides of the other).
bool crosses_itself(int32_t (*p)[2], int n) {
  for (int i = 0; i < n; i++) {
    const int32_t *a = p[i], *b = p[(i + 1) % n];
    for (int j = i + 2; j < n; j++) {
      if (i == 0 && j == n - 1) continue;
      const int32_t *c = p[j], *d = p[(j + 1) % n];
      int64_t s1 = turn(a, b, c), s2 = turn(a, b, d), s3 = turn(c, d, a), s4 = turn(c, d, b);
      if (((s1 > 0 && s2 < 0) || (s1 < 0 && s2 > 0)) && ((s3 > 0 && s4 < 0) || (s3 < 0 && s4 > 0))) return true;
    }
  }
  return false;
}

// Splits the n points of p into n - 2 triangles by ear clipping, reordering
// p. False when no ear is left before the end: the element keeps none.
bool ear_clip(cgm_element *e, int32_t (*p)[2], int n) {
  // Orientation at the first lowest point: make the order counter-clockwise.
  int v = 0;
  for (int i = 1; i < n; i++)
    if (p[i][1] < p[v][1]) v = i;
  const int32_t *pv = p[v], *pp = p[(v + n - 1) % n], *pq = p[(v + 1) % n];
  if (int64_t(pp[1] - int64_t(pv[1])) * (pq[0] - int64_t(pv[0])) +
          int64_t(pv[1] - int64_t(pq[1])) * (pp[0] - int64_t(pv[0])) <
      0)
    for (int i = 0, j = n - 1; i < j; i++, j--) std::swap(p[i], p[j]);
  int32_t *out = static_cast<int32_t *>(std::malloc(size_t(n - 2) * 24));
  if (!out) return false;
  const int total = n - 2;
  int found = 0, i = 0, credit = 0;
  for (;;) {
    int i1 = (i + 1) % n, i2 = (i + 2) % n;
    const int32_t *k0 = p[i], *k1 = p[i1], *k2 = p[i2];
    bool ear = turn(k1, k2, k0) > 0;  // K1 is convex
    for (int q = 0; ear && q < n; q++)
      if (q != i && q != i1 && q != i2 && turn(k0, k1, p[q]) > 0 && turn(k1, k2, p[q]) > 0 && turn(k2, k0, p[q]) > 0)
        ear = false;  // strictly inside: blocks the ear
    if (ear) {
      int32_t *t = out + 6 * found++;
      t[0] = k0[0], t[1] = k0[1], t[2] = k1[0], t[3] = k1[1], t[4] = k2[0], t[5] = k2[1];
      std::memmove(p[i1], p[i1 + 1], sizeof(p[0]) * size_t(n - i1 - 1));
      n--;
      credit++;
    }
    if (++i >= n) {
      if (--credit == -1) {
        std::free(out);
        return false;
      }
      i = 0;
    }
    if (n == 2) break;
  }
  e->triangles = out;
  e->ntriangles = total;
  return true;
}

// Parameter angle of direction (dx, dy) on the ellipse c + a cos t + b sin t.
double angle_on(double ax, double ay, double bx, double by, double dx, double dy) {
  double det = ax * by - ay * bx;
  if (det == 0) return std::atan2(dy, dx);
  return std::atan2((ax * dy - ay * dx) / det, (dx * by - dy * bx) / det);
}

// Sweep from t0 to t1 going forward, in (0, 2 pi].
double forward(double t0, double t1) {
  double s = std::fmod(t1 - t0, 2 * PI);
  if (s <= 0) s += 2 * PI;
  return s;
}

struct Reader;
using Handler = void (Reader::*)();

struct Reader {
  Lexer lx;
  cgm_picture *pic = nullptr;
  cgm_element **tail = nullptr;
  char name[104] = {};
  int32_t fill = 1, line_colr = 1, line_width = 1, edge_colr = 1, edge_width = 1;
  int style = 1;  // interior: 0 empty, 1 solid, 2 hatched
  int hatch = 1;  // hatch index
  int edges = 1;  // edge visibility: 1 on, 0 off
  int64_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
  int next = 1;  // next free colour entry
  const char *error = nullptr;
  cgm_textinfo info = {};
  cgm_textlimits lim;
  int32_t *map;                  // file colour index -> picture entry
  std::vector<int32_t> own_map;  // when indices go beyond cgm_colrmap
  std::vector<int32_t> own_pts;  // when points go beyond cgm_points
  std::vector<cgm_element *> sweeps;
  std::vector<Curve> curves;
  std::vector<Hatch> hatches;
  int64_t generated = 0;  // points made at the end, against GENERATED_MAX
  int32_t complete = 0;   // elements read up to their terminator

  explicit Reader(FILE *f) : lx{f} {
    lim = cgm_limits;
    if (lim.points < 1) lim.points = 1;
    if (lim.points > CGM_MAXPOINTS) lim.points = CGM_MAXPOINTS;
    if (lim.colrindex < 0) lim.colrindex = 0;
    if (lim.colrindex > 65535) lim.colrindex = 65535;
    if (lim.pixels < 1) lim.pixels = 1;
    if (lim.colrindex <= 99) {
      map = cgm_colrmap;
    } else {
      own_map.assign(size_t(lim.colrindex) + 1, 0);
      map = own_map.data();
    }
  }

  int32_t (*points())[2] { return lim.points <= 500 ? cgm_points : reinterpret_cast<int32_t(*)[2]>(own_pts.data()); }
  // Room for n points in points(), within the limit (checked by callers).
  void room(int n) {
    if (lim.points > 500 && own_pts.size() < size_t(2 * n)) own_pts.resize(std::max(size_t(2 * n), own_pts.size() * 2));
  }

  void fail(const char *msg) {
    if (!error) error = msg;
  }

  cgm_picture *read();
  void initial_colours();
  void dispatch();
  void finish();

  // Attributes.
  int32_t colour_index() {
    int32_t k;
    if (!lx.number(&k)) return fail("broken colour index"), 0;
    if (k < 0 || k > lim.colrindex) return fail("colour index outside the reader's range"), 0;
    return map[k];
  }
  int32_t width() {
    int32_t w;
    if (!lx.number(&w)) return fail("broken width"), 0;
    return w / 15;
  }
  void fillcolr() { fill = colour_index(); }
  void linecolr() { line_colr = colour_index(); }
  void edgecolr() { edge_colr = colour_index(); }
  void linewidth() { line_width = width(); }
  void edgewidth() { edge_width = width(); }
  void intstyle();
  void edgevis();
  void hatchindex() {
    int32_t h;
    if (lx.number(&h)) hatch = h;
  }
  void backcolr();
  void colrtable();
  void vdcext();
  void define_colour(int32_t k, uint32_t c);
  int entry_of(uint32_t c);

  // Elements.
  int read_points(bool must_end);
  cgm_element *add_element(bool area);
  void set_points(cgm_element *e, int n, bool close);
  void fill_polygon(cgm_element *e, int n);
  void polygon();
  void rect();
  void line();
  void disjtline();
  void add_curve(bool area, Curve c);
  void circle();
  void ellipse();
  void arcctr(bool close);
  void arcctr_open() { arcctr(false); }
  void arcctr_closed() { arcctr(true); }
  void arc3pt(bool close);
  void arc3pt_open() { arc3pt(false); }
  void arc3pt_closed() { arc3pt(true); }
  void elliparc(bool close);
  void elliparc_open() { elliparc(false); }
  void elliparc_closed() { elliparc(true); }
  Closure closure_word();
  void text() { info.text++; }
  void image() { info.images++; }
  void marker() { info.markers++; }

  // At the end.
  int32_t to_picture(double v, double c) const { return int32_t(std::lround((v - c) * 65536.0 / double(info.half))); }
  void normalise();
  void sweep(cgm_element *e);
  void flatten(const Curve &c);
  void hatch_lines(Hatch &h);

  void widen(int64_t x, int64_t y) {
    if (x < minx) minx = x;
    if (x > maxx) maxx = x;
    if (y < miny) miny = y;
    if (y > maxy) maxy = y;
  }
};

void Reader::intstyle() {
  char w[16];
  if (!lx.name(w, sizeof w)) return;
  if (w[0] == 'E' || !std::strcmp(w, "HOLLOW")) style = 0;
  if (w[0] == 'S') style = 1;
  if (!std::strcmp(w, "HATCH") || !std::strcmp(w, "PAT")) style = 2;
}

void Reader::edgevis() {
  char w[16];
  if (!lx.name(w, sizeof w) || !w[0]) return;
  if (w[1] == 'N') edges = 1;
  if (w[1] == 'F') edges = 0;
}

void Reader::backcolr() {
  int32_t r, g, b;
  if (lx.number(&r) && lx.number(&g) && lx.number(&b))
    pic->backcolr = uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b);
  else if (lx.peek() != EOF)
    fail("broken background colour");
}

void Reader::vdcext() {
  int32_t v[4];
  if (!lx.point(&v[0], &v[1]) || !lx.point(&v[2], &v[3])) return;
  std::memcpy(info.vdc, v, sizeof v);
  info.hasvdc = 1;
}

// The last picture entry holding colour c, or 0. With the entries full
// and cgm_limits.nearest set, the nearest colour held (squared distance,
// the last of equals) stands in for one not held.
int Reader::entry_of(uint32_t c) {
  int found = 0;
  for (int i = 1; i < next; i++)
    if (pic->colrtable[i] == c) found = i;  // the last match wins
  if (found || next <= MAX_COLOURS || !lim.nearest) return found;
  int64_t best = INT64_MAX;
  for (int i = 1; i < next; i++) {
    int64_t d = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      int64_t v = int64_t(pic->colrtable[i] >> shift & 0xFF) - int64_t(c >> shift & 0xFF);
      d += v * v;
    }
    if (d <= best) best = d, found = i;
  }
  info.approximated++;
  return found;
}

// The first colour table: its starting index is ignored, and its n-th entry
// is picture entry n and stands for file index n. A table longer than the
// 199 entries a picture holds (drawing programs repeat their colours
// freely) keeps each colour once instead, and index n stands for the entry
// of its colour.
void Reader::initial_colours() {
  int32_t start, r, g, b;
  std::vector<uint32_t> table;
  if (!lx.number(&start)) return fail(lx.peek() == EOF ? "end of file inside the colour table" : "broken colour table");
  while (!lx.at_terminator()) {
    if (!lx.number(&r) || !lx.number(&g) || !lx.number(&b))
      return fail(lx.peek() == EOF ? "end of file inside the colour table" : "broken colour table");
    if (table.size() > 65536) return fail("more than 65536 entries in the colour table");
    table.push_back(uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b));
  }
  const bool once = table.size() > MAX_COLOURS;
  for (int n = 1; n <= int(table.size()) && !error; n++) {
    int entry = once ? entry_of(table[n - 1]) : 0;
    if (!entry) {
      if (next > MAX_COLOURS) return fail("more than 199 colours");
      entry = next++;
      pic->colrtable[entry] = table[n - 1];
    }
    if (n <= lim.colrindex) map[n] = entry;
  }
}

// A later definition reuses the last entry of the same colour, if any.
void Reader::define_colour(int32_t k, uint32_t c) {
  if (k < 0 || k > lim.colrindex) return fail("colour index outside the reader's range");
  int found = entry_of(c);
  if (!found) {
    if (next > MAX_COLOURS) return fail("more than 199 colours");
    found = next++;
    pic->colrtable[found] = c;
  }
  map[k] = found;
}

// "colrtable k r g b [r g b ...]": consecutive indices from k.
void Reader::colrtable() {
  int32_t k, r, g, b;
  if (!lx.number(&k)) return fail("broken colour definition");
  for (int i = 0; !lx.at_terminator() && !error; i++) {
    if (!lx.number(&r) || !lx.number(&g) || !lx.number(&b)) {
      if (lx.peek() != EOF) fail("broken colour definition");
      return;
    }
    define_colour(saturate(int64_t(k) + i), uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b));
  }
}

// Reads a point list into points(), up to the terminator (left unread).
// Returns the number of points, or -1 on a broken or truncated list. At end
// of file without a terminator the list is refused when `must_end`.
int Reader::read_points(bool must_end) {
  int n = 0;
  for (;;) {
    int c = lx.peek();
    if (c == ';' || c == '/') return n;
    if (c == EOF) {
      if (must_end) return fail("end of file inside a point list"), -1;
      return n;
    }
    int32_t x, y;
    if (!lx.point(&x, &y)) return fail(lx.peek() == EOF ? "end of file inside a point list" : "broken point list"), -1;
    if (x < -MAX_COORD || x > MAX_COORD || y < -MAX_COORD || y > MAX_COORD)
      return fail("coordinate beyond +-1073741823"), -1;
    if (n == lim.points) return fail("too many points in one element for this reader"), -1;
    room(n + 1);
    points()[n][0] = x;
    points()[n][1] = y;
    widen(x, y);
    n++;
  }
}

// A new element at the end of the list with the current attributes: a line
// takes the line attributes, an area (polygon, box, closed curve) the edge
// and interior ones.
cgm_element *Reader::add_element(bool area) {
  cgm_element *e = static_cast<cgm_element *>(std::calloc(1, sizeof(cgm_element)));
  if (!e) return fail("out of memory"), nullptr;
  cgm_element **link = tail;
  *tail = e;
  tail = &e->next;
  e->fillcolr = fill;
  if (!area) {
    e->flags = CGM_OUTLINE;
    e->linecolr = line_colr;
    e->linewidth = line_width;
    return e;
  }
  e->flags = (edges == 1 && edge_width != 0 ? CGM_OUTLINE : 0) | (style == 1 ? CGM_FILL : 0);
  e->linecolr = edge_colr;
  e->linewidth = edge_width;
  if (style == 2) hatches.push_back({link, e, hatch, fill});
  return e;
}

// Copies the first n points as the element's outline; `close` repeats the
// first point at the end unless it is there already. A single point is
// doubled, so that it draws as a dot.
void Reader::set_points(cgm_element *e, int n, bool close) {
  int32_t(*p)[2] = points();
  bool closed = n >= 2 && p[0][0] == p[n - 1][0] && p[0][1] == p[n - 1][1];
  int m = n + ((close && !closed) || n == 1 ? 1 : 0);
  e->points = static_cast<int32_t *>(std::malloc(size_t(m) * 8));
  if (!e->points) return fail("out of memory");
  std::memcpy(e->points, p, size_t(n) * 8);
  if (m > n) std::memcpy(e->points + 2 * n, p[0], 8);
  e->npoints = m;
}

// Triangles for the n points of points() (closing repeat dropped): ear
// clipping for a polygon that does not cross itself and is small enough,
// else (or if it stalls) the sweep at the end.
void Reader::fill_polygon(cgm_element *e, int n) {
  int32_t(*p)[2] = points();
  if (n >= 2 && p[0][0] == p[n - 1][0] && p[0][1] == p[n - 1][1]) n--;
  if (n < 3) return;  // fewer than three points enclose nothing
  if (n <= EAR_POINTS && !crosses_itself(p, n) && ear_clip(e, p, n)) return;
  sweeps.push_back(e);
}

void Reader::polygon() {
  int n = read_points(true);
  if (n <= 0) return;
  cgm_element *e = add_element(true);
  if (!e) return;
  set_points(e, n, true);
  if (e->flags & CGM_FILL) fill_polygon(e, n);
}

void Reader::rect() {
  int n = read_points(true);
  if (n <= 0) return;
  if (n != 2) return fail("a rectangle needs two corners");
  int32_t(*p)[2] = points();
  int32_t x0 = p[0][0], y0 = p[0][1], x1 = p[1][0], y1 = p[1][1];
  if (lim.points < 5) return fail("too many points in one element for this reader");
  room(5);
  const int32_t box[5][2] = {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
  std::memcpy(points(), box, sizeof box);
  cgm_element *e = add_element(true);
  if (!e) return;
  set_points(e, 5, true);
  if (e->flags & CGM_FILL) fill_polygon(e, 5);
}

void Reader::line() {
  int n = read_points(true);
  if (n <= 0) return;
  cgm_element *e = add_element(false);
  if (e) set_points(e, n, false);
}

// Disjoint polyline: every two points are one segment.
void Reader::disjtline() {
  int n = read_points(true);
  for (int i = 0; i + 1 < n && !error; i += 2) {
    cgm_element *e = add_element(false);
    if (!e) return;
    e->points = static_cast<int32_t *>(std::malloc(16));
    if (!e->points) return fail("out of memory");
    std::memcpy(e->points, points()[i], 16);
    e->npoints = 2;
  }
}

// Widens the bounding box by the curve's exact extent (its ends, its centre
// for a pie, and the extreme points inside its sweep) and keeps it for the
// end. Refuses a curve reaching beyond the coordinate range.
void Reader::add_curve(bool area, Curve c) {
  double t[12];
  int nt = 0;
  t[nt++] = c.t0;
  t[nt++] = c.t0 + c.sweep;
  double lo = c.sweep < 0 ? c.t0 + c.sweep : c.t0, hi = c.sweep < 0 ? c.t0 : c.t0 + c.sweep;
  for (double base : {std::atan2(c.bx, c.ax), std::atan2(c.by, c.ay)})
    for (int k = -3; k <= 3; k++) {
      double tk = base + k * PI;
      if (tk > lo && tk < hi && nt < 12) t[nt++] = tk;
    }
  double x[14], y[14];
  int np = 0;
  for (int i = 0; i < nt; i++, np++) {
    x[np] = c.cx + c.ax * std::cos(t[i]) + c.bx * std::sin(t[i]);
    y[np] = c.cy + c.ay * std::cos(t[i]) + c.by * std::sin(t[i]);
  }
  if (c.closure == PIE) x[np] = c.cx, y[np++] = c.cy;
  for (int i = 0; i < np; i++)
    if (!(std::fabs(x[i]) <= MAX_COORD && std::fabs(y[i]) <= MAX_COORD)) return fail("coordinate beyond +-1073741823");
  for (int i = 0; i < np; i++) widen(std::llround(x[i]), std::llround(y[i]));
  c.e = add_element(area);
  if (c.e) curves.push_back(c);
}

void Reader::circle() {
  int32_t x, y, r;
  if (!lx.point(&x, &y) || !lx.number(&r)) return fail("broken circle");
  add_curve(true, {nullptr, double(x), double(y), double(r), 0, 0, double(r), 0, 2 * PI, FULL});
}

// Centre and the ends of two conjugate diameters.
void Reader::ellipse() {
  int32_t x, y, x1, y1, x2, y2;
  if (!lx.point(&x, &y) || !lx.point(&x1, &y1) || !lx.point(&x2, &y2)) return fail("broken ellipse");
  add_curve(true, {nullptr, double(x), double(y), double(x1) - x, double(y1) - y, double(x2) - x, double(y2) - y, 0,
                   2 * PI, FULL});
}

Closure Reader::closure_word() {
  char w[16];
  if (!lx.name(w, sizeof w)) return fail("end of file inside an arc"), PIE;
  if (w[0] == 'P') return PIE;
  if (w[0] == 'C') return CHORD;
  return fail("arc closure is neither PIE nor CHORD"), PIE;
}

// Centre, start and end directions, radius; counter-clockwise.
void Reader::arcctr(bool close) {
  int32_t x, y, sx, sy, ex, ey, r;
  if (!lx.point(&x, &y) || !lx.point(&sx, &sy) || !lx.point(&ex, &ey) || !lx.number(&r)) return fail("broken arc");
  Closure cl = close ? closure_word() : OPEN;
  double t0 = std::atan2(double(sy), double(sx));
  add_curve(close, {nullptr, double(x), double(y), double(r), 0, 0, double(r), t0,
                    forward(t0, std::atan2(double(ey), double(ex))), cl});
}

// Start, a point on the way, end. Three points on a line are a polyline.
void Reader::arc3pt(bool close) {
  int32_t p[3][2];
  for (auto &q : p)
    if (!lx.point(&q[0], &q[1])) return fail("broken arc");
  Closure cl = close ? closure_word() : OPEN;
  double x1 = p[0][0], y1 = p[0][1], x2 = p[1][0], y2 = p[1][1], x3 = p[2][0], y3 = p[2][1];
  double d = 2 * (x1 * (y2 - y3) + x2 * (y3 - y1) + x3 * (y1 - y2));
  double cx = ((x1 * x1 + y1 * y1) * (y2 - y3) + (x2 * x2 + y2 * y2) * (y3 - y1) + (x3 * x3 + y3 * y3) * (y1 - y2)) / d;
  double cy = ((x1 * x1 + y1 * y1) * (x3 - x2) + (x2 * x2 + y2 * y2) * (x1 - x3) + (x3 * x3 + y3 * y3) * (x2 - x1)) / d;
  double r = std::hypot(x1 - cx, y1 - cy);
  if (d == 0 || !(r < MAX_COORD)) {
    if (lim.points < 3) return fail("too many points in one element for this reader");
    room(3);
    std::memcpy(points(), p, sizeof p);
    for (auto &q : p) widen(q[0], q[1]);
    cgm_element *e = add_element(close);
    if (e) set_points(e, 3, close);
    if (e && (e->flags & CGM_FILL)) fill_polygon(e, 3);
    return;
  }
  double t1 = std::atan2(y1 - cy, x1 - cx), t2 = std::atan2(y2 - cy, x2 - cx), t3 = std::atan2(y3 - cy, x3 - cx);
  double ccw = forward(t1, t3);
  double sweep = forward(t1, t2) < ccw ? ccw : ccw - 2 * PI;  // through the middle point
  add_curve(close, {nullptr, cx, cy, r, 0, 0, r, t1, sweep, cl});
}

// Centre, two conjugate diameter ends, start and end directions; from the
// first diameter towards the second.
void Reader::elliparc(bool close) {
  int32_t v[10];
  for (int i = 0; i < 10; i += 2)
    if (!lx.point(&v[i], &v[i + 1])) return fail("broken elliptical arc");
  Closure cl = close ? closure_word() : OPEN;
  double ax = double(v[2]) - v[0], ay = double(v[3]) - v[1], bx = double(v[4]) - v[0], by = double(v[5]) - v[1];
  double t0 = angle_on(ax, ay, bx, by, v[6], v[7]), t1 = angle_on(ax, ay, bx, by, v[8], v[9]);
  add_curve(close, {nullptr, double(v[0]), double(v[1]), ax, ay, bx, by, t0, forward(t0, t1), cl});
}

struct Entry {
  const char *name;
  Handler handler;
};

const Entry ELEMENTS[] = {
    {"fillcolr", &Reader::fillcolr},
    {"linecolr", &Reader::linecolr},
    {"edgecolr", &Reader::edgecolr},
    {"linewidth", &Reader::linewidth},
    {"edgewidth", &Reader::edgewidth},
    {"intstyle", &Reader::intstyle},
    {"edgevis", &Reader::edgevis},
    {"hatchindex", &Reader::hatchindex},
    {"backcolr", &Reader::backcolr},
    {"colrtable", &Reader::colrtable},
    {"vdcext", &Reader::vdcext},
    {"polygon", &Reader::polygon},
    {"line", &Reader::line},
    {"rect", &Reader::rect},
    {"disjtline", &Reader::disjtline},
    {"circle", &Reader::circle},
    {"ellipse", &Reader::ellipse},
    {"arcctr", &Reader::arcctr_open},
    {"arcctrclose", &Reader::arcctr_closed},
    {"arc3pt", &Reader::arc3pt_open},
    {"arc3ptclose", &Reader::arc3pt_closed},
    {"elliparc", &Reader::elliparc_open},
    {"elliparcclose", &Reader::elliparc_closed},
    {"text", &Reader::text},
    {"restrtext", &Reader::text},
    {"apndtext", &Reader::text},
    {"cellarray", &Reader::image},
    {"marker", &Reader::marker},
};

void Reader::dispatch() {
  for (const Entry &en : ELEMENTS)
    if (!std::strcmp(name, en.name)) return (this->*en.handler)();
}

void Reader::normalise() {
  const int64_t h = info.half;
  auto map_xy = [&](int32_t *xy) {
    xy[0] = int32_t((int64_t(xy[0]) - info.cx) * 65536 / h);
    xy[1] = int32_t((int64_t(xy[1]) - info.cy) * 65536 / h);
  };
  for (cgm_element *e = pic->elements; e; e = e->next) {
    for (int i = 0; i < e->npoints; i++) map_xy(&e->points[2 * i]);
    if ((e->flags & CGM_FILL) && e->ntriangles > 0)
      for (int i = 0; i < 3 * e->ntriangles; i++) map_xy(&e->triangles[2 * i]);
  }
}

// Fills an element by the nonzero rule from its (normalised) outline.
void Reader::sweep(cgm_element *e) {
  std::vector<int32_t> tri;
  if (!cgm_sweepfill(e->points, e->npoints - 1, tri))  // the outline repeats its first point
    return fail("a polygon crosses itself too often to be filled");
  if (tri.empty()) return;
  e->triangles = static_cast<int32_t *>(std::malloc(tri.size() * 4));
  if (!e->triangles) return fail("out of memory");
  std::memcpy(e->triangles, tri.data(), tri.size() * 4);
  e->ntriangles = int32_t(tri.size() / 6);
}

// Points of a curve in picture space, within a quarter pixel of the true
// curve at cgm_limits.pixels; closed curves filled as a fan from their first
// point (the centre of a pie), which covers every one of them exactly.
void Reader::flatten(const Curve &c) {
  double r = std::sqrt(std::max(c.ax * c.ax + c.ay * c.ay, c.bx * c.bx + c.by * c.by)) * lim.pixels / double(info.half);
  double full = std::ceil(PI * std::sqrt(2 * r));  // sagitta r (1 - cos(pi / n)) <= 1/4 pixel
  int n = int(std::min(4096.0, std::max(8.0, full) * std::fabs(c.sweep) / (2 * PI) + 1));
  if ((generated += n + 3) > GENERATED_MAX) return fail(TOO_COMPLEX);
  std::vector<int32_t> p;
  if (c.closure == PIE) p.insert(p.end(), {to_picture(c.cx, double(info.cx)), to_picture(c.cy, double(info.cy))});
  for (int i = 0; i <= n; i++) {
    if (c.closure == FULL && i == n) break;
    double t = c.t0 + c.sweep * i / n;
    p.push_back(to_picture(c.cx + c.ax * std::cos(t) + c.bx * std::sin(t), double(info.cx)));
    p.push_back(to_picture(c.cy + c.ay * std::cos(t) + c.by * std::sin(t), double(info.cy)));
  }
  const int distinct = int(p.size() / 2);
  if (c.closure != OPEN) p.insert(p.end(), {p[0], p[1]});
  cgm_element *e = c.e;
  e->points = static_cast<int32_t *>(std::malloc(p.size() * 4));
  if (!e->points) return fail("out of memory");
  std::memcpy(e->points, p.data(), p.size() * 4);
  e->npoints = int32_t(p.size() / 2);
  if (!(e->flags & CGM_FILL) || distinct < 3) return;
  e->triangles = static_cast<int32_t *>(std::malloc(size_t(distinct - 2) * 24));
  if (!e->triangles) return fail("out of memory");
  for (int i = 1; i + 1 < distinct; i++) {
    const int32_t t[6] = {p[0], p[1], p[2 * i], p[2 * i + 1], p[2 * i + 2], p[2 * i + 3]};
    std::memcpy(e->triangles + 6 * (i - 1), t, 24);
  }
  e->ntriangles = distinct - 2;
}

// Hatch lines 6 output pixels apart, in the fill colour, one outline
// element per line, before the hatched element. Hatch indices beyond the
// six standard ones (a drawing program's patterns) draw as rising lines.
void Reader::hatch_lines(Hatch &h) {
  cgm_element *e = h.e;
  if (e->npoints < 4) return;
  int kind = h.style >= 1 && h.style <= 6 ? h.style : 3;
  int32_t spacing = int32_t(6 * int64_t(65536) / lim.pixels);
  std::vector<int32_t> seg;
  if (!cgm_hatchlines(e->points, e->npoints - 1, kind, spacing < 1 ? 1 : spacing, GENERATED_MAX - generated, seg))
    return fail(TOO_COMPLEX);
  generated += int64_t(seg.size() / 2);
  for (size_t i = 0; i + 4 <= seg.size() && !error; i += 4) {
    cgm_element *l = static_cast<cgm_element *>(std::calloc(1, sizeof(cgm_element)));
    int32_t *pts = static_cast<int32_t *>(std::malloc(16));
    if (!l || !pts) return std::free(l), std::free(pts), fail("out of memory");
    std::memcpy(pts, &seg[i], 16);
    *l = {CGM_OUTLINE, 1, h.colour, h.colour, 0, 2, pts, nullptr, *h.link};
    *h.link = l;
    h.link = &l->next;
  }
}

void Reader::finish() {
  pic->ncolours = next - 1;
  info.cx = (minx + maxx) / 2, info.cy = (miny + maxy) / 2;
  info.half = (maxx - minx > maxy - miny ? maxx - minx : maxy - miny) / 2;
  // A drawing of no extent (one point, or a segment of length 1) maps every
  // point to within one unit of the centre instead of dividing by zero.
  if (info.half < 1) info.half = 1;
  if (!pic->elements) return;
  // 64-bit products: a point far from the centre maps like any other.
  normalise();
  for (size_t i = 0; i < sweeps.size() && !error; i++) sweep(sweeps[i]);
  for (size_t i = 0; i < curves.size() && !error; i++) flatten(curves[i]);
  for (size_t i = 0; i < hatches.size() && !error; i++) hatch_lines(hatches[i]);
}

cgm_picture *fail_with(cgm_picture *pic, const char *msg) {
  cgm_free(pic);
  cgm_errorstr = msg;
  return nullptr;
}

cgm_picture *Reader::read() {
  if (!lx.name(name, sizeof name) || std::strcmp(name, "BEGMF") != 0)
    return fail_with(nullptr, "not a clear-text CGM file");
  complete += lx.skip_element();
  // Up to the first colour table only the declared extent matters.
  for (;;) {
    if (!lx.name(name, sizeof name)) return fail_with(nullptr, "no colour table");
    if (!std::strcmp(name, "colrtable")) break;
    if (!std::strcmp(name, "vdcext")) vdcext();
    complete += lx.skip_element();
  }
  pic = static_cast<cgm_picture *>(std::calloc(1, sizeof(cgm_picture)));
  if (!pic) return fail_with(nullptr, "out of memory");
  tail = &pic->elements;
  initial_colours();
  if (!error) complete += lx.skip_element();
  while (!error && lx.name(name, sizeof name)) {
    dispatch();
    if (error || !lx.skip_element()) break;
    complete++;
    if (!strcasecmp(name, "ENDPIC") || !strcasecmp(name, "ENDMF")) info.ended = 1;
  }
  if (!error && std::ferror(lx.f)) fail("read error");
  if (!error) finish();
  if (error) return fail_with(pic, error);
  cgm_lastinfo = info;
  return pic;
}

}  // namespace

cgm_picture *cgm_readtextf(FILE *f) {
  Reader rd(f);
  cgm_picture *pic = rd.read();
  cgm_textread = rd.complete;
  return pic;
}

cgm_picture *cgm_readtext(const char *path) {
  FILE *f = std::fopen(path, "rb");
  if (!f) {
    cgm_errorstr = "cannot open the file";
    return nullptr;
  }
  cgm_picture *pic = cgm_readtextf(f);
  std::fclose(f);
  return pic;
}
