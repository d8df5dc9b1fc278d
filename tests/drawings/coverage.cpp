// cgm_coverage REF.png OURS.png: how much of what REF draws OURS draws too.
//
// A pixel is drawn when one of its channels differs from white by more than
// 64 (both pictures are drawn on white). A drawn REF pixel counts as covered
// when OURS draws a pixel within one pixel of it (a 3x3 neighbourhood);
// OURS is tried at every shift up to 2 pixels each way and the best shift
// kept, since the two programs may round the page's corner differently.
// Prints "coverage C excess E ref N ours M shift DX DY": C the covered share
// of REF's drawn pixels, E the share of OURS's drawn pixels with no REF
// pixel within one pixel, N and M the drawn pixel counts.
// Exit status 0, or 2 when a file cannot be read as PNG.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Mask {
  int w = 0, h = 0;
  std::vector<uint8_t> on;
  bool at(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[size_t(y) * w + x]; }
};

// The pixels drawn within one pixel of a drawn pixel of m.
Mask grown(const Mask &m) {
  Mask g = m;
  for (int y = 0; y < m.h; y++)
    for (int x = 0; x < m.w; x++) {
      bool any = false;
      for (int dy = -1; dy <= 1 && !any; dy++)
        for (int dx = -1; dx <= 1 && !any; dx++) any = m.at(x + dx, y + dy);
      g.on[size_t(y) * m.w + x] = any;
    }
  return g;
}

Mask load(const char *path) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path)) {
    std::fprintf(stderr, "cgm_coverage: %s: %s\n", path, img.message);
    std::exit(2);
  }
  img.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) {
    std::fprintf(stderr, "cgm_coverage: %s: %s\n", path, img.message);
    std::exit(2);
  }
  Mask m;
  m.w = int(img.width), m.h = int(img.height);
  m.on.resize(size_t(m.w) * m.h);
  for (size_t i = 0; i < m.on.size(); i++)
    m.on[i] = 255 - rgb[3 * i] > 64 || 255 - rgb[3 * i + 1] > 64 || 255 - rgb[3 * i + 2] > 64;
  return m;
}

// Drawn pixels of `a` that the grown mask `b`, shifted by (sx, sy), holds.
long matched(const Mask &a, const Mask &b, int sx, int sy) {
  long n = 0;
  for (int y = 0; y < a.h; y++)
    for (int x = 0; x < a.w; x++)
      if (a.at(x, y) && b.at(x - sx, y - sy)) n++;
  return n;
}

long count(const Mask &m) {
  long n = 0;
  for (uint8_t v : m.on) n += v;
  return n;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: cgm_coverage REF.png OURS.png\n");
    return 2;
  }
  Mask ref = load(argv[1]), ours = load(argv[2]);
  Mask ref_near = grown(ref), ours_near = grown(ours);
  long best = -1;
  int bx = 0, by = 0;
  for (int sy = -2; sy <= 2; sy++)
    for (int sx = -2; sx <= 2; sx++) {
      long n = matched(ref, ours_near, sx, sy);
      if (n > best) best = n, bx = sx, by = sy;
    }
  long nref = count(ref), nours = count(ours);
  long excess = nours - matched(ours, ref_near, -bx, -by);
  std::printf("coverage %.4f excess %.4f ref %ld ours %ld shift %d %d\n", nref ? double(best) / nref : 1.0,
              nours ? double(excess) / nours : 0.0, nref, nours, bx, by);
  return 0;
}
