// cgmtool FILE [-o OUT.png [--size WxH] [--grey]] [--compact OUT.bin] [--info]
//
// FILE is a clear-text CGM drawing (it starts with "BEGMF") or a picture in
// the compact form. The PNG is drawn with cgm_render, the picture centred
// and its half extent (65536) filling 45% of the shorter side. The
// rasteriser draws into 320x200 frames, so a larger image is drawn as a
// grid of 320x200 tiles, each through the same transform shifted by the
// tile's origin: every size is drawn at its own resolution, not scaled.
// Outline widths stay in pixels.
//
// Colours: by default each palette index is looked up in the picture's own
// colour table, on the picture's background colour (white for a compact
// picture, which has none); --grey shows the indices through pal_grey
// instead, on index 0, as the demo would.
//
// Exit status: 0 on success, 2 on a usage error or a file that cannot be
// read or written.
#include <png.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "vector/cgm.h"

namespace {

const char *USAGE = "usage: cgmtool FILE [-o OUT.png [--size WxH] [--grey]] [--compact OUT.bin] [--info]";
constexpr uint8_t BACKGROUND = 255;  // frame index for the ground; pictures use at most 254

[[noreturn]] void usage_error(const char *msg) {
  std::fprintf(stderr, "cgmtool: %s\n%s\n", msg, USAGE);
  std::exit(2);
}

void help() {
  std::printf(
      "cgmtool: reads a vector picture, draws it with the demo's rasteriser, writes its compact form\n\n"
      "%s\n\n"
      "  FILE           a clear-text CGM drawing (starting with BEGMF) or a compact picture\n"
      "  -o OUT.png     draw the picture, centred, its half extent 45%% of the shorter side\n"
      "  --size WxH     size of the PNG, each 1 to 8000 (default 320x200)\n"
      "  --grey         show the palette indices through the demo's grey palette\n"
      "  --compact OUT  write the picture in the compact form\n"
      "  --info         print the colours, elements, triangle counts and bounds\n"
      "  --help, --version\n\n"
      "example: cgmtool drawing.cgm -o drawing.png --size 640x400 --info\n",
      USAGE);
}

[[noreturn]] void fail(const std::string &file, const char *msg) {
  std::fprintf(stderr, "cgmtool: %s: %s\n", file.c_str(), msg);
  std::exit(2);
}

bool is_clear_text(const char *path) {
  FILE *f = std::fopen(path, "rb");
  if (!f) return false;
  char head[8] = {};
  size_t n = std::fread(head, 1, 7, f);
  std::fclose(f);
  size_t i = 0;
  while (i < n && std::isspace(static_cast<unsigned char>(head[i]))) i++;
  return n - i >= 5 && std::memcmp(head + i, "BEGMF", 5) == 0;
}

// Transform of the tile being drawn: picture space to quarter pixels.
int64_t tile_x, tile_y;  // tile origin in the image, quarter pixels
int64_t centre_x, centre_y, scale;  // image centre and half extent, quarter pixels

void tile_xform(int x, int y, int *X, int *Y) {
  *X = int(centre_x + int64_t(x) * scale / 65536 - tile_x);
  *Y = int(centre_y - int64_t(y) * scale / 65536 - tile_y);
}

// Draws the picture into a w x h index image, tile by tile.
std::vector<uint8_t> draw(const cgm_picture *pic, int w, int h) {
  std::vector<uint8_t> image(size_t(w) * h);
  std::vector<uint8_t> frame(64000);
  centre_x = int64_t(w) * 2, centre_y = int64_t(h) * 2;
  scale = int64_t(w < h ? w : h) * 4 * 45 / 100;
  for (int ty = 0; ty < h; ty += 200)
    for (int tx = 0; tx < w; tx += 320) {
      tile_x = int64_t(tx) * 4, tile_y = int64_t(ty) * 4;
      std::memset(frame.data(), BACKGROUND, frame.size());
      cgm_render(pic, frame.data(), tile_xform);
      for (int y = ty; y < h && y < ty + 200; y++)
        std::memcpy(&image[size_t(y) * w + tx], &frame[size_t(y - ty) * 320], size_t(std::min(320, w - tx)));
    }
  return image;
}

void write_png(const std::string &path, int w, int h, const std::vector<uint8_t> &rgb) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) fail(path, "cannot write");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) fail(path, "PNG error");
  png_init_io(png, f);
  png_set_IHDR(png, info, uint32_t(w), uint32_t(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; y++) png_write_row(png, const_cast<png_bytep>(&rgb[size_t(y) * w * 3]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) fail(path, "cannot write");
}

uint32_t colour_of(const cgm_picture *pic, int index, bool grey) {
  if (grey) {
    int i = index == BACKGROUND ? 0 : index;
    return uint32_t(pal_grey[3 * i]) << 16 | uint32_t(pal_grey[3 * i + 1]) << 8 | pal_grey[3 * i + 2];
  }
  if (index == BACKGROUND) return pic->backcolr;
  if (index <= pic->ncolours) return pic->colrtable[index];
  return uint32_t(index) * 0x010101u;  // beyond the table: its grey
}

void info(const std::string &file, const cgm_picture *pic) {
  std::printf("%s: %d colours, background %06X\n", file.c_str(), pic->ncolours, pic->backcolr);
  int n = 0, points = 0, tris = 0;
  int64_t minx = INT64_MAX, maxx = INT64_MIN, miny = INT64_MAX, maxy = INT64_MIN;
  auto widen = [&](int32_t x, int32_t y) {
    minx = std::min<int64_t>(minx, x), maxx = std::max<int64_t>(maxx, x);
    miny = std::min<int64_t>(miny, y), maxy = std::max<int64_t>(maxy, y);
  };
  for (const cgm_element *e = pic->elements; e; e = e->next, n++) {
    std::printf("  element %d: flags %d (%s%s%s), fill %d", n, e->flags, e->flags & CGM_FILL ? "fill" : "",
                (e->flags & 3) == 3 ? "+" : "", e->flags & CGM_OUTLINE ? "outline" : "", e->fillcolr);
    if (e->flags & CGM_FILL) {
      std::printf(", %d triangles", e->ntriangles);
      tris += e->ntriangles;
      for (int i = 0; i < 3 * e->ntriangles; i++) widen(e->triangles[2 * i], e->triangles[2 * i + 1]);
    }
    if (e->flags & CGM_OUTLINE) {
      std::printf(", line %d width %d, %d points", e->linecolr, e->linewidth, e->npoints);
      points += e->npoints;
      for (int i = 0; i < e->npoints; i++) widen(e->points[2 * i], e->points[2 * i + 1]);
    }
    std::printf("\n");
  }
  std::printf("  %d elements, %d outline points, %d triangles\n", n, points, tris);
  if (minx <= maxx)
    std::printf("  bounding box x %lld..%lld, y %lld..%lld\n", (long long)minx, (long long)maxx, (long long)miny,
                (long long)maxy);
  else
    std::printf("  bounding box empty\n");
}

}  // namespace

int main(int argc, char **argv) {
  std::string file, png_out, compact_out;
  int w = 320, h = 200;
  bool want_info = false, grey = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      help();
      return 0;
    }
    if (a == "--version") {
      std::printf("cgmtool %s\n", CGMTOOL_VERSION);
      return 0;
    }
    if (a == "-o" || a == "--compact" || a == "--size") {
      if (i + 1 >= argc) usage_error((a + " needs a value").c_str());
      std::string v = argv[++i];
      if (a == "-o") png_out = v;
      if (a == "--compact") compact_out = v;
      if (a == "--size") {
        char x = 0, extra = 0;
        if (std::sscanf(v.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || x != 'x' || w < 1 || h < 1 ||
            w > 8000 || h > 8000)
          usage_error("--size wants WxH, each 1 to 8000");
      }
    } else if (a == "--info") {
      want_info = true;
    } else if (a == "--grey") {
      grey = true;
    } else if (!a.empty() && a[0] == '-') {
      usage_error(("unknown option " + a).c_str());
    } else if (file.empty()) {
      file = a;
    } else {
      usage_error("more than one input file");
    }
  }
  if (file.empty()) usage_error("no input file");
  if (png_out.empty() && compact_out.empty() && !want_info) usage_error("nothing to do");

  const bool text = is_clear_text(file.c_str());
  cgm_picture *pic = text ? cgm_readtext(file.c_str()) : cgm_getfile(file.c_str());
  if (!pic) fail(file, cgm_errorstr);

  if (want_info) info(file, pic);
  if (!compact_out.empty()) {
    size_t n = cgm_put(pic, nullptr, 0);
    if (n == 0) fail(file, "cannot be written in the compact form (colour, triangle count or coordinate range)");
    std::vector<uint8_t> bytes(n);
    cgm_put(pic, bytes.data(), n);
    FILE *f = std::fopen(compact_out.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, n, f) != n || std::fclose(f) != 0) fail(compact_out, "cannot write");
  }
  if (!png_out.empty()) {
    if (!text) pic->backcolr = 0xFFFFFF;
    std::vector<uint8_t> image = draw(pic, w, h);
    std::vector<uint8_t> rgb(image.size() * 3);
    for (size_t i = 0; i < image.size(); i++) {
      uint32_t c = colour_of(pic, image[i], grey);
      rgb[3 * i] = uint8_t(c >> 16), rgb[3 * i + 1] = uint8_t(c >> 8), rgb[3 * i + 2] = uint8_t(c);
    }
    write_png(png_out, w, h, rgb);
  }
  cgm_free(pic);
  return 0;
}
