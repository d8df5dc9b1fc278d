// Compact vector pictures: the readers (memory and file), the writer and the
// release helper.
//
// Byte format, big-endian, no padding:
//   NC (1 byte, <= 199), NC x (r, g, b),
//   element records: fill colour (1 byte, 0xFF ends the picture), T (1 byte),
//                    T x six signed 16-bit coordinates x0 y0 x1 y1 x2 y2,
//   0xFF.
// Coordinates are stored at a quarter of picture space.
#include "vector/cgm.h"

#include <cstdlib>

const char *cgm_errorstr = "";

namespace {

// One byte source for the three readers. `fail` is set when a read runs
// past the end of the data; the readers then give up.
struct Source {
  const uint8_t *p;
  size_t left;  // bytes left in memory; SIZE_MAX when unbounded
  FILE *f;      // file source when not null
  bool fail;

  int byte() {
    if (f) {
      int c = std::fgetc(f);
      if (c == EOF) {
        fail = true;
        return 0;
      }
      return c;
    }
    if (left == 0) {
      fail = true;
      return 0;
    }
    if (left != SIZE_MAX) left--;
    return *p++;
  }

  // True when nothing follows: a bounded or file source has no byte left.
  // The unbounded source cannot tell and is taken at its word.
  bool at_end() {
    if (f) return std::fgetc(f) == EOF;
    return left == 0 || left == SIZE_MAX;
  }
};

cgm_picture *fail_with(cgm_picture *pic, const char *msg) {
  cgm_free(pic);
  cgm_errorstr = msg;
  return nullptr;
}

cgm_picture *decode(Source &s) {
  cgm_picture *pic = static_cast<cgm_picture *>(std::malloc(sizeof(cgm_picture)));
  if (!pic) return fail_with(nullptr, "out of memory");
  pic->colrtable[0] = 0;
  pic->backcolr = 0;
  pic->elements = nullptr;
  pic->ncolours = 0;
  int nc = s.byte();
  if (s.fail) return fail_with(pic, "picture ends inside the colour list");
  if (nc > 199) return fail_with(pic, "more than 199 colours");
  pic->ncolours = nc;
  for (int i = 1; i <= nc; i++) {
    uint32_t r = uint32_t(s.byte()), g = uint32_t(s.byte()), b = uint32_t(s.byte());
    pic->colrtable[i] = r * 65536 + g * 256 + b;
  }
  if (s.fail) return fail_with(pic, "picture ends inside the colour list");
  cgm_element **tail = &pic->elements;
  for (;;) {
    int k = s.byte();
    if (s.fail) return fail_with(pic, "picture ends before its terminator");
    if (k == 0xFF) return s.at_end() ? pic : fail_with(pic, "bytes follow the picture's terminator");
    cgm_element *e = static_cast<cgm_element *>(std::calloc(1, sizeof(cgm_element)));
    if (!e) return fail_with(pic, "out of memory");
    e->flags = CGM_FILL;
    e->fillcolr = k;
    *tail = e;
    tail = &e->next;
    int t = s.byte();
    e->ntriangles = t;
    if (t > 0) {
      e->triangles = static_cast<int32_t *>(std::malloc(size_t(t) * 24));
      if (!e->triangles) {
        e->ntriangles = 0;
        return fail_with(pic, "out of memory");
      }
      for (int i = 0; i < 6 * t; i++) {
        int hi = s.byte(), lo = s.byte();
        // Sign-extend the 16-bit value, then scale to picture space.
        e->triangles[i] = int32_t(int16_t(uint16_t(hi << 8 | lo))) * 4;
      }
    }
    if (s.fail) return fail_with(pic, "picture ends inside an element");
  }
}

void put_byte(uint8_t *out, size_t cap, size_t &n, int v) {
  if (n < cap) out[n] = uint8_t(v);
  n++;
}

// The 6 * t coordinates at quarter scale; false if one does not fit 16 bits.
bool put_triangles(uint8_t *out, size_t cap, size_t &n, const int32_t *v, int t) {
  for (int i = 0; i < 6 * t; i++) {
    if (v[i] < -262144 || v[i] > 262144) return false;  // keeps v + 2 far from overflow
    int32_t q = (v[i] + 2) >> 2;                        // nearest, halves up
    if (q < -32768 || q > 32767) return false;
    put_byte(out, cap, n, q >> 8 & 0xFF);
    put_byte(out, cap, n, q & 0xFF);
  }
  return true;
}

}  // namespace

cgm_picture *cgm_get(const uint8_t *data) {
  Source s{data, SIZE_MAX, nullptr, false};
  return decode(s);
}

cgm_picture *cgm_getn(const uint8_t *data, size_t size) {
  // SIZE_MAX is the unbounded marker; no real buffer is that large.
  Source s{data, size == SIZE_MAX ? SIZE_MAX - 1 : size, nullptr, false};
  return decode(s);
}

cgm_picture *cgm_getf(FILE *f) {
  Source s{nullptr, 0, f, false};
  return decode(s);
}

cgm_picture *cgm_getfile(const char *path) {
  FILE *f = std::fopen(path, "rb");
  if (!f) {
    cgm_errorstr = "cannot open the file";
    return nullptr;
  }
  cgm_picture *pic = cgm_getf(f);
  std::fclose(f);
  return pic;
}

size_t cgm_put(const cgm_picture *pic, uint8_t *out, size_t cap) {
  if (pic->ncolours < 0 || pic->ncolours > 199) return 0;
  size_t n = 0;
  put_byte(out, cap, n, pic->ncolours);
  for (int i = 1; i <= pic->ncolours; i++) {
    uint32_t c = pic->colrtable[i];
    put_byte(out, cap, n, int(c >> 16 & 0xFF));
    put_byte(out, cap, n, int(c >> 8 & 0xFF));
    put_byte(out, cap, n, int(c & 0xFF));
  }
  for (const cgm_element *e = pic->elements; e; e = e->next) {
    if (!(e->flags & CGM_FILL)) continue;
    if ((e->fillcolr & 0xFF) == 0xFF) return 0;
    int total = e->ntriangles > 0 ? e->ntriangles : 0;
    // Records of at most 255 triangles; an element of none keeps its record.
    int first = 0;
    do {
      int t = total - first < 255 ? total - first : 255;
      put_byte(out, cap, n, e->fillcolr & 0xFF);
      put_byte(out, cap, n, t);
      if (!put_triangles(out, cap, n, e->triangles + 6 * first, t)) return 0;
      first += t;
    } while (first < total);
  }
  put_byte(out, cap, n, 0xFF);
  return n;
}

void cgm_share_corners(cgm_picture *pic) {
  if (!pic) return;
  for (cgm_element *e = pic->elements; e; e = e->next) {
    std::free(e->corners);
    e->corners = nullptr;
    const int n = e->ntriangles;
    if (!(e->flags & CGM_FILL) || n <= 0 || n > CGM_SHAREDMAX) continue;
    uint16_t *c = static_cast<uint16_t *>(std::malloc(size_t(3 * n) * sizeof(uint16_t)));
    if (!c) continue;
    const int32_t *t = e->triangles;
    for (int k = 0; k < 3 * n; k++) {
      int j = 0;
      while (t[2 * j] != t[2 * k] || t[2 * j + 1] != t[2 * k + 1]) j++;  // stops at k at the latest
      c[k] = uint16_t(j);
    }
    e->corners = c;
  }
}

void cgm_free(cgm_picture *pic) {
  if (!pic) return;
  for (cgm_element *e = pic->elements; e;) {
    cgm_element *next = e->next;
    std::free(e->points);
    std::free(e->triangles);
    std::free(e->corners);
    std::free(e);
    e = next;
  }
  std::free(pic);
}
