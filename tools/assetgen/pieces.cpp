// piece1 and piece2: the worms' disc and body segment as compact vector
// pictures, made from the clear-text drawings in drawings/ through the same
// reader and writer the demo's picture code uses.
//
// The clear-text reader and the rasteriser keep static scratch tables, so
// only this job may use them while the generator runs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gen.h"
#include "vector/cgm.h"

namespace {

// Preview transform: the picture's half extent (65536) becomes 90 pixels
// around the frame centre, y up.
void preview_xform(int x, int y, int *X, int *Y) {
  *X = 640 + int(int64_t(x) * 360 / 65536);
  *Y = 400 - int(int64_t(y) * 360 / 65536);
}

void make_piece(const char *sym, const char *drawing) {
  std::string path = std::string(ULV_SOURCE_DIR) + "/tools/assetgen/drawings/" + drawing;
  cgm_picture *pic = cgm_readtext(path.c_str());
  if (!pic) {
    std::fprintf(stderr, "assetgen: %s: %s\n", path.c_str(), cgm_errorstr);
    std::exit(1);
  }
  size_t n = cgm_put(pic, asset(sym), asset_size(sym));
  cgm_free(pic);
  if (n != asset_size(sym)) {
    std::fprintf(stderr, "assetgen: %s makes %zu bytes, %s holds %zu\n", drawing, n, sym, asset_size(sym));
    std::exit(1);
  }
  // The preview is drawn from the embedded bytes, as the demo decodes them:
  // white ground, the fill in its own index (1, near black).
  cgm_picture *back = cgm_getn(asset(sym), asset_size(sym));
  if (!back) {
    std::fprintf(stderr, "assetgen: %s does not read back: %s\n", sym, cgm_errorstr);
    std::exit(1);
  }
  std::vector<uint8_t> frame(64000, 255);
  cgm_render(back, frame.data(), preview_xform);
  cgm_free(back);
  preview_grey(sym, 320, 200, frame.data());
}

}  // namespace

void job_pieces() {
  make_piece("piece1", "piece1.cgm");
  make_piece("piece2", "piece2.cgm");
}
