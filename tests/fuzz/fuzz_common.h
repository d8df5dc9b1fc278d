// Shared by the fuzz targets and the corpus regression test: a bounded
// transform for drawing any decoded picture, and the check that the compact
// writer and reader agree on a picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/cgmtext/cgm_text.h"

namespace fuzzcheck {

// Picture space to quarter pixels, kept inside the rasteriser's +-65535
// whatever the coordinates: 65536 lands 64 pixels from the centre.
inline void bounded_xform(int x, int y, int *X, int *Y) {
  auto q = [](int v) { return v >> 10 < -8000 ? -8000 : v >> 10 > 8000 ? 8000 : v >> 10; };
  *X = 640 + q(x);
  *Y = 400 - q(y);
}

inline void render(const cgm_picture *pic) {
  static uint8_t frame[64000];
  cgm_render(pic, frame, bounded_xform);
}

// The compact form of `pic` decodes to its filled elements (in records of at
// most 255 triangles) with every coordinate rounded to a multiple of 4.
// Returns false on a mismatch; true also when the picture has no compact
// form.
inline bool compact_round_trip(const cgm_picture *pic) {
  size_t n = cgm_put(pic, nullptr, 0);
  if (n == 0) return true;
  std::vector<uint8_t> bytes(n);
  if (cgm_put(pic, bytes.data(), n) != n) return false;
  cgm_picture *back = cgm_getn(bytes.data(), n);
  if (!back || back->ncolours != pic->ncolours) return cgm_free(back), false;
  bool ok = true;
  for (int i = 0; i <= pic->ncolours; i++) ok &= back->colrtable[i] == (pic->colrtable[i] & 0xFFFFFF);
  const cgm_element *b = back->elements;
  for (const cgm_element *e = pic->elements; e && ok; e = e->next) {
    if (!(e->flags & CGM_FILL)) continue;
    // An element of more than 255 triangles comes back as several records.
    int t = e->ntriangles > 0 ? e->ntriangles : 0, first = 0;
    do {
      int k = t - first < 255 ? t - first : 255;
      ok = b && b->flags == CGM_FILL && b->fillcolr == (e->fillcolr & 0xFF) && b->ntriangles == k;
      for (int i = 0; ok && i < 6 * k; i++) ok = b->triangles[i] == ((e->triangles[6 * first + i] + 2) >> 2) * 4;
      if (b) b = b->next;
      first += k;
    } while (ok && first < t);
  }
  ok &= b == nullptr;
  cgm_free(back);
  return ok;
}

}  // namespace fuzzcheck
