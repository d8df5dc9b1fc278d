// Text rendering for the art jobs (FreeType, anti-aliased grey).
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

FT_Face face_of(const TextFont &f) { return static_cast<FT_Face>(f.face); }

// Code points of a UTF-8 string; malformed bytes are taken as Latin-1.
std::vector<uint32_t> decode(const std::string &s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = uint8_t(s[i]);
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = n ? c & (0x3F >> n) : c;
    if (i + n >= s.size()) n = 0, cp = c;
    for (int k = 1; k <= n; k++) cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += 1 + n;
  }
  return out;
}

// Walks the glyphs of `s`, calling fn(bitmap, left, top) with the pen
// position applied; returns the final pen x. The glyph bitmap is valid only
// during the call.
template <class Fn>
int walk(const TextFont &f, const std::string &s, int track, Fn fn) {
  FT_Face face = face_of(f);
  int pen = 0;
  FT_UInt prev = 0;
  std::vector<uint32_t> cps = decode(s);
  for (size_t i = 0; i < cps.size(); i++) {
    FT_UInt gi = FT_Get_Char_Index(face, cps[i]);
    if (prev && gi && FT_HAS_KERNING(face)) {
      FT_Vector k;
      if (FT_Get_Kerning(face, prev, gi, FT_KERNING_DEFAULT, &k) == 0) pen += int(k.x >> 6);
    }
    if (FT_Load_Glyph(face, gi, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    fn(g->bitmap, pen + g->bitmap_left, -g->bitmap_top);
    pen += int((g->advance.x + 32) >> 6);
    if (i + 1 < cps.size()) pen += track;
    prev = gi;
  }
  return pen;
}

}  // namespace

void text_open(TextFont &f, const char *path, int px) {
  FT_Library lib;
  FT_Face face;
  if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, path, 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, FT_UInt(px)) != 0) {
    std::fprintf(stderr, "assetgen: cannot open font %s\n", path);
    std::exit(1);
  }
  f.lib = lib;
  f.face = face;
  f.px = px;
}

void text_close(TextFont &f) {
  if (f.face) FT_Done_Face(face_of(f));
  if (f.lib) FT_Done_FreeType(static_cast<FT_Library>(f.lib));
  f = TextFont{};
}

int text_ascent(const TextFont &f) { return int((face_of(f)->size->metrics.ascender + 63) >> 6); }
int text_descent(const TextFont &f) { return int((-face_of(f)->size->metrics.descender + 63) >> 6); }

int text_width(const TextFont &f, const std::string &s, int track) {
  return walk(f, s, track, [](const FT_Bitmap &, int, int) {});
}

TextBox text_bounds(const TextFont &f, const std::string &s, int track) {
  TextBox b{0, 0, 0, 0};
  bool any = false;
  walk(f, s, track, [&](const FT_Bitmap &bm, int left, int top) {
    for (unsigned r = 0; r < bm.rows; r++)
      for (unsigned c = 0; c < bm.width; c++) {
        if (!bm.buffer[r * bm.pitch + c]) continue;
        int x = left + int(c), y = top + int(r);
        if (!any) b = {x, y, x + 1, y + 1};
        any = true;
        b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x + 1), b.y1 = std::max(b.y1, y + 1);
      }
  });
  return b;
}

void text_draw(const TextFont &f, uint8_t *buf, int w, int h, int x, int base, const std::string &s, int level,
               int track) {
  walk(f, s, track, [&](const FT_Bitmap &bm, int left, int top) {
    for (unsigned r = 0; r < bm.rows; r++) {
      int y = base + top + int(r);
      if (y < 0 || y >= h) continue;
      for (unsigned c = 0; c < bm.width; c++) {
        int xx = x + left + int(c);
        if (xx < 0 || xx >= w) continue;
        int v = bm.buffer[r * bm.pitch + c] * level / 255;
        uint8_t &d = buf[size_t(y) * w + xx];
        if (v > d) d = uint8_t(v);
      }
    }
  });
}
