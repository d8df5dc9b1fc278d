// piece1 and piece2: the worms' disc and body segment as compact vector
// pictures, made from the clear-text drawings in drawings/ through the same
// reader and writer the demo's picture code uses.
//
// The drawings give every fill as a grey; the rasteriser writes an
// element's fill straight into the frame as a palette index, and the
// demo's palettes are tinted grey ramps (index = brightness in pal_grey),
// so each element's fill becomes the level of its grey. That keeps the
// colour lists short (the catalogue fixes the pictures' byte sizes) while
// the fills reach any brightness: dark edges and lit bodies.
//
// The clear-text reader and the rasteriser keep static scratch tables, so
// only this job may use them while the generator runs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gen.h"
#include "tools/cgmtext/cgm_text.h"

namespace {

// Preview transform: the picture's half extent (65536) becomes 90 pixels
// around the frame centre, y up.
void preview_xform(int x, int y, int *X, int *Y) {
  *X = 640 + int(int64_t(x) * 360 / 65536);
  *Y = 400 - int(int64_t(y) * 360 / 65536);
}

// Replaces each element's fill (a colour entry) by the level of that
// entry's grey; exits when an entry is not a grey.
void fills_from_greys(cgm_picture *pic, const std::string &path) {
  for (cgm_element *e = pic->elements; e; e = e->next) {
    const uint32_t c = pic->colrtable[e->fillcolr & 0xFF];
    const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (r != g || g != b || r > 254) {
      std::fprintf(stderr, "assetgen: %s: fill colour %d is not a grey of 0..254\n", path.c_str(), e->fillcolr);
      std::exit(1);
    }
    e->fillcolr = int32_t(r);
  }
}

void make_piece(const char *sym, const char *drawing) {
  std::string path = std::string(ULV_SOURCE_DIR) + "/tools/assetgen/drawings/" + drawing;
  cgm_picture *pic = cgm_readtext(path.c_str());
  if (!pic) {
    std::fprintf(stderr, "assetgen: %s: %s\n", path.c_str(), cgm_errorstr);
    std::exit(1);
  }
  fills_from_greys(pic, path);
  size_t n = cgm_put(pic, asset(sym), asset_size(sym));
  cgm_free(pic);
  if (n != asset_size(sym)) {
    std::fprintf(stderr, "assetgen: %s makes %zu bytes, %s holds %zu\n", drawing, n, sym, asset_size(sym));
    std::exit(1);
  }
  // The preview is drawn from the embedded bytes, as the demo decodes them,
  // on the two grounds the worms crawl over: black (left half) and the
  // bright strip's middle grey (right half).
  cgm_picture *back = cgm_getn(asset(sym), asset_size(sym));
  if (!back) {
    std::fprintf(stderr, "assetgen: %s does not read back: %s\n", sym, cgm_errorstr);
    std::exit(1);
  }
  std::vector<uint8_t> frame(64000, 0);
  for (int i = 0; i < 64000; i++)
    if (i % 320 >= 160) frame[i] = 174;
  cgm_render(back, frame.data(), preview_xform);
  cgm_free(back);
  preview_grey(sym, 320, 200, frame.data());
}

}  // namespace

void job_pieces() {
  make_piece("piece1", "piece1.cgm");
  make_piece("piece2", "piece2.cgm");
}
