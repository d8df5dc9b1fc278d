// Asset generator: PNG output, noise and dithering shared by the jobs.
#include "gen.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

void write_png(const std::string &path, int w, int h, int channels, const uint8_t *data) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "assetgen: PNG error on %s\n", path.c_str());
    std::exit(1);
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; y++)
    png_write_row(png, const_cast<png_bytep>(data + size_t(y) * w * channels));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

namespace {

uint32_t hash2(int x, int y, uint32_t salt) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + salt * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

double lattice(int x, int y, uint32_t salt, int per) {
  if (per > 0) {
    x = ((x % per) + per) % per;
    y = ((y % per) + per) % per;
  }
  return (hash2(x, y, salt) & 0xFFFFFF) / double(0xFFFFFF);
}

double smooth(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

}  // namespace

double vnoise(double x, double y, uint32_t salt, int per) {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  double tx = smooth(x - fx), ty = smooth(y - fy);
  double a = lattice(ix, iy, salt, per), b = lattice(ix + 1, iy, salt, per);
  double c = lattice(ix, iy + 1, salt, per), d = lattice(ix + 1, iy + 1, salt, per);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double fbm(double x, double y, uint32_t salt, int oct, int per) {
  double sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < oct; o++) {
    sum += amp * vnoise(x, y, salt + uint32_t(o) * 7919u, per);
    norm += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
    if (per > 0) per *= 2;
  }
  return sum / norm;
}

uint8_t quantise(double v, int x, int y) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  double d = (bayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
  double q = std::floor(v * 255.0 + d + 0.5);
  return uint8_t(q < 0 ? 0 : q > 255 ? 255 : q);
}
