// Clear-text CGM reader: the subset a drawing program writes for filled
// polygons, boxes and polylines. Words are runs of non-blank characters;
// keywords are lower case, enumerated values are told by their upper-case
// letters. Filled polygons are split into triangles by ear clipping and the
// whole drawing is normalised so that +-65536 is half its larger extent.
//
// Limits, each refused with a message rather than overrun: words of 103
// characters (longer runs are read as several words), 500 points per
// element, file colour indices 0..99, 199 colour entries.
#include "vector/cgm.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

int32_t cgm_colrmap[100];
int32_t cgm_points[500][2];

namespace {

constexpr int MAX_POINTS = 500;
constexpr int MAX_COLOURS = 199;
// Coordinates are held within +-(2^30 - 1), so that the cross products of
// the triangulation fit in 64 bits. Any drawing within the format's limits
// (32767 from its centre) is far inside.
constexpr int32_t MAX_COORD = (1 << 30) - 1;

int32_t saturate(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int32_t(v); }

// atoi without its undefined overflow: optional blanks and sign, then
// digits; anything else ends the number. Saturates at the 32-bit range.
int32_t word_int(const char *s) {
  while (std::isspace(static_cast<unsigned char>(*s))) s++;
  bool neg = *s == '-';
  if (*s == '-' || *s == '+') s++;
  int64_t v = 0;
  for (; *s >= '0' && *s <= '9'; s++)
    if (v < (int64_t(1) << 32)) v = v * 10 + (*s - '0');
  return saturate(neg ? -v : v);
}

struct Reader {
  FILE *f;
  char word[104];  // last word read; kept when a read finds only end of file
  cgm_picture *pic;
  cgm_element **tail;
  int32_t fill = 1, line = 1, width = 1;
  int style = 1;  // interior: 1 solid, 0 empty
  int edges = 1;  // edge visibility: 1 on, 0 off
  int64_t minx = INT32_MAX, miny = INT32_MAX, maxx = INT32_MIN, maxy = INT32_MIN;
  int next = 1;  // next free colour entry
  const char *error = nullptr;

  bool read_word() { return std::fscanf(f, "%103s", word) == 1; }

  // A decimal integer as fscanf's %d reads it (blanks, sign, digits), but
  // saturating instead of overflowing. False if no digit follows.
  bool read_int(int32_t *out) {
    int c;
    do c = std::fgetc(f);
    while (c != EOF && std::isspace(c));
    bool neg = c == '-';
    if (c == '-' || c == '+') c = std::fgetc(f);
    if (c < '0' || c > '9') {
      if (c != EOF) std::ungetc(c, f);
      return false;
    }
    int64_t v = 0;
    for (; c >= '0' && c <= '9'; c = std::fgetc(f))
      if (v < (int64_t(1) << 32)) v = v * 10 + (c - '0');
    if (c != EOF) std::ungetc(c, f);
    *out = saturate(neg ? -v : v);
    return true;
  }

  void fail(const char *msg) {
    if (!error) error = msg;
  }

  // Picture entry of file colour index `k`, or -1 (with a message) when k
  // lies outside the map.
  int32_t colour_of(int32_t k) {
    if (k < 0 || k > 99) {
      fail("colour index outside 0..99");
      return -1;
    }
    return cgm_colrmap[k];
  }

  void initial_colours();
  void colour_definition();
  void element(int kind);
  int read_points();
  void finish();
};

enum { POLYGON, LINE, RECT };

void Reader::initial_colours() {
  if (!read_word()) return fail("end of file inside the colour table");  // starting index, unused
  for (int n = 1;; n++) {
    int32_t r, g;
    if (!read_int(&r) || !read_int(&g) || !read_word()) return fail("broken colour table");
    if (n > MAX_COLOURS) return fail("more than 199 colours");
    pic->colrtable[n] = uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(word_int(word));
    // File indices above 99 cannot be used, so their entries stay unmapped.
    if (n < 100) cgm_colrmap[n] = n;
    next = n + 1;
    size_t len = std::strlen(word);
    if (len > 0 && word[len - 1] == ';') return;
  }
}

void Reader::colour_definition() {
  int32_t k, r, g, b;
  if (!read_int(&k) || !read_int(&r) || !read_int(&g) || !read_int(&b)) {
    if (!std::feof(f)) fail("broken colour definition");
    return;
  }
  if (k < 0 || k > 99) return fail("colour index outside 0..99");
  uint32_t c = uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b);
  int found = 0;
  for (int i = 1; i < next; i++)
    if (pic->colrtable[i] == c) found = i;  // the last match wins
  if (!found) {
    if (next > MAX_COLOURS) return fail("more than 199 colours");
    found = next++;
    pic->colrtable[found] = c;
  }
  cgm_colrmap[k] = found;
}

// Reads "(x,y) (x,y) ... ;" into cgm_points. Returns the number of points,
// 0 when the file ends before the first point (nothing to build), -1 on a
// broken or truncated list.
int Reader::read_points() {
  int n = 0;
  for (;;) {
    int c;
    while ((c = std::fgetc(f)) != '(')
      if (c == EOF) {
        if (n > 0) fail("end of file inside a point list");
        return n > 0 ? -1 : 0;
      }
    int32_t x, y;
    if (n == MAX_POINTS) return fail("more than 500 points in one element"), -1;
    if (!read_int(&x) || std::fgetc(f) == EOF || !read_int(&y) || std::fgetc(f) == EOF)
      return fail("broken point"), -1;
    x = x < -MAX_COORD ? -MAX_COORD : x > MAX_COORD ? MAX_COORD : x;
    y = y < -MAX_COORD ? -MAX_COORD : y > MAX_COORD ? MAX_COORD : y;
    cgm_points[n][0] = x;
    cgm_points[n][1] = y;
    n++;
    if (x < minx) minx = x;
    if (x > maxx) maxx = x;
    if (y < miny) miny = y;
    if (y > maxy) maxy = y;
    c = std::fgetc(f);
    if (c == ';') return n;
    if (c == EOF) return fail("end of file inside a point list"), -1;
  }
}

// Cross products of picture points need more than 32 bits for coordinates
// far apart; 64 bits give the true sign.
int64_t turn(const int32_t *a, const int32_t *b, const int32_t *c) {
  return int64_t(a[1] - int64_t(b[1])) * (c[0] - int64_t(a[0])) + int64_t(c[1] - int64_t(a[1])) * (b[0] - int64_t(a[0]));
}

// Splits the first n points of cgm_points into n - 2 triangles by ear
// clipping; on failure the element keeps no triangles.
void triangulate(cgm_element *e, int n) {
  e->ntriangles = 0;
  if (n < 3) return;  // fewer than three points enclose nothing
  int32_t(*p)[2] = cgm_points;
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
  if (!out) return;
  const int total = n - 2;
  int found = 0, i = 0, credit = 0;
  for (;;) {
    int i1 = (i + 1) % n, i2 = (i + 2) % n;
    const int32_t *k0 = p[i], *k1 = p[i1], *k2 = p[i2];
    bool ear = turn(k1, k2, k0) > 0;  // K1 is convex
    for (int q = 0; ear && q < n; q++)
      if (q != i && q != i1 && q != i2 && turn(k0, k1, p[q]) > 0 && turn(k1, k2, p[q]) > 0 &&
          turn(k2, k0, p[q]) > 0)
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
        return;
      }
      i = 0;
    }
    if (n == 2) break;
  }
  e->triangles = out;
  e->ntriangles = total;
}

void Reader::element(int kind) {
  int n = read_points();
  if (n <= 0) return;
  if (kind == RECT) {
    if (n != 2) return fail("a rectangle needs two corners");
    int32_t x0 = cgm_points[0][0], y0 = cgm_points[0][1], x1 = cgm_points[1][0], y1 = cgm_points[1][1];
    const int32_t box[5][2] = {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
    std::memcpy(cgm_points, box, sizeof box);
    n = 5;
  }
  cgm_element *e = static_cast<cgm_element *>(std::calloc(1, sizeof(cgm_element)));
  if (!e) return fail("out of memory");
  *tail = e;
  tail = &e->next;
  e->points = static_cast<int32_t *>(std::malloc(size_t(n) * 8));
  if (!e->points) return fail("out of memory");
  std::memcpy(e->points, cgm_points, size_t(n) * 8);
  e->npoints = n;
  e->fillcolr = fill;
  e->linecolr = line;
  e->linewidth = width;
  if (kind == LINE)
    e->flags = CGM_OUTLINE;
  else
    e->flags = (edges == 1 && width != 0 ? CGM_OUTLINE : 0) | (style == 1 ? CGM_FILL : 0);
  // A closed outline repeats its first point; the triangulation does not.
  if (n >= 2 && cgm_points[0][0] == cgm_points[n - 1][0] && cgm_points[0][1] == cgm_points[n - 1][1]) n--;
  if (e->flags & CGM_FILL) triangulate(e, n);
}

void Reader::finish() {
  pic->ncolours = next - 1;
  if (!pic->elements) return;
  int64_t cx = (minx + maxx) / 2, cy = (miny + maxy) / 2;
  int64_t half = (maxx - minx > maxy - miny ? maxx - minx : maxy - miny) / 2;
  // A drawing of no extent (one point, or a segment of length 1) maps every
  // point to within one unit of the centre instead of dividing by zero.
  if (half < 1) half = 1;
  const int32_t h = int32_t(half);
  // 32-bit products as the format defines them: points further than 32767
  // from the centre wrap.
  auto map = [h](int32_t *xy, int64_t c) { *xy = int32_t(uint32_t(*xy - c) * 65536u) / h; };
  for (cgm_element *e = pic->elements; e; e = e->next) {
    for (int i = 0; i < e->npoints; i++) {
      map(&e->points[2 * i], cx);
      map(&e->points[2 * i + 1], cy);
    }
    if ((e->flags & CGM_FILL) && e->ntriangles > 0)
      for (int i = 0; i < 3 * e->ntriangles; i++) {
        map(&e->triangles[2 * i], cx);
        map(&e->triangles[2 * i + 1], cy);
      }
  }
}

cgm_picture *fail_with(cgm_picture *pic, const char *msg) {
  cgm_free(pic);
  cgm_errorstr = msg;
  return nullptr;
}

}  // namespace

cgm_picture *cgm_readtextf(FILE *f) {
  Reader rd;
  rd.f = f;
  rd.word[0] = 0;
  if (!rd.read_word() || std::strcmp(rd.word, "BEGMF") != 0) return fail_with(nullptr, "not a clear-text CGM file");
  do
    if (!rd.read_word()) return fail_with(nullptr, "no colour table");
  while (std::strcmp(rd.word, "colrtable") != 0);
  rd.pic = static_cast<cgm_picture *>(std::calloc(1, sizeof(cgm_picture)));
  if (!rd.pic) return fail_with(nullptr, "out of memory");
  rd.tail = &rd.pic->elements;
  rd.initial_colours();
  while (!rd.error) {
    rd.read_word();
    const char *w = rd.word;
    if (!std::strcmp(w, "fillcolr") && rd.read_word()) rd.fill = rd.colour_of(word_int(w));
    if (!std::strcmp(w, "colrtable")) rd.colour_definition();
    if (!std::strcmp(w, "backcolr")) {
      int32_t r, g, b;
      if (rd.read_int(&r) && rd.read_int(&g) && rd.read_int(&b))
        rd.pic->backcolr = uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b);
      else if (!std::feof(f))
        rd.fail("broken background colour");
    }
    if (!std::strcmp(w, "linecolr") && rd.read_word()) rd.line = rd.colour_of(word_int(w));
    if ((!std::strcmp(w, "linewidth") || !std::strcmp(w, "edgewidth")) && rd.read_word())
      rd.width = word_int(w) / 15;
    if (!std::strcmp(w, "intstyle") && rd.read_word()) {
      if (w[0] == 'E') rd.style = 0;
      if (w[0] == 'S') rd.style = 1;
    }
    if (!std::strcmp(w, "edgevis") && rd.read_word() && w[0]) {
      if (w[1] == 'N') rd.edges = 1;
      if (w[1] == 'F') rd.edges = 0;
    }
    if (!std::strcmp(w, "polygon")) rd.element(POLYGON);
    if (!std::strcmp(w, "line")) rd.element(LINE);
    if (!std::strcmp(w, "rect")) rd.element(RECT);
    if (std::feof(f)) break;
    if (std::ferror(f)) rd.fail("read error");
  }
  if (rd.error) return fail_with(rd.pic, rd.error);
  rd.finish();
  return rd.pic;
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
